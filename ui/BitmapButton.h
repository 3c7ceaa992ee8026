#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace vellumin::ui {

// A push button drawn from up to four bitmaps (normal, pressed, focused, disabled); a state
// without its own bitmap shows the normal one. Its caption is kept but never drawn.
class BitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit BitmapButton(QWidget* parent = nullptr);

    // Replaces all four bitmaps (null pixmaps for the states that have none) and repaints.
    void LoadBitmaps(const QPixmap& normal, const QPixmap& pressed = {}, const QPixmap& focus = {},
                     const QPixmap& disabled = {});
    // Resizes the button to its normal bitmap (in its logical size, a twice-size bitmap for a
    // screen of device pixel ratio 2 counting as the same size), keeping its top-left corner.
    void SizeToContent();

    QSize sizeHint() const override;

    enum class Look { Normal, Pressed, Focus, Disabled };
    // The bitmap state a paint would choose now.
    Look CurrentLook() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_normal, m_pressed, m_focus, m_disabled;
};

}  // namespace vellumin::ui
