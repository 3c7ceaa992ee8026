#pragma once

#include <QRect>

class QPainter;

namespace vellumin::ui {

// The keyboard focus mark of the skinned controls: a dark line with a white dotted line on it,
// one pixel inside `rect`, so it reads on the light and the dark parts of any artwork.
void DrawFocusMark(QPainter& painter, const QRect& rect);

}  // namespace vellumin::ui
