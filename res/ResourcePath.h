#pragma once

// Where the embedded artwork lives. The images are compiled into the GUI library from the
// generated resource file; EnsureResources() makes sure the static library's resource
// initialiser has run before anything is looked up.

#include <QIcon>
#include <QPixmap>
#include <QString>

#include "res/Resources.h"

namespace vellumin::res {

// Registers the embedded artwork once; cheap after the first call. Every lookup below calls it
// itself, so only raw ":/res/..." paths need it first.
void EnsureResources();

// ":/res/png/<id>.png", ":/res/bmp/<id>.bmp" or ":/res/icon/<id>.png"; scale 2 names the
// twice-size image, ":/res/png/<id>@2x.png" and so on.
QString ResourcePath(Kind kind, int id, int scale = 1);

// The kind named by a resource type text: "PNG", "BITMAP" (or "BMP"), "ICON";
// false for anything else.
bool KindFromType(const char* type, Kind* kind);

// Loaded images, null when the id has no embedded image of that kind. On a screen of device
// pixel ratio above 1 the bitmap is the twice-size one, its ratio set, so it draws in the same
// logical size; the icon holds both.
QPixmap LoadBitmap(int id);
QIcon LoadIcon(int id);

}  // namespace vellumin::res
