#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "controls/CGdipButton.h"

namespace vellumin::controls {

namespace {

const QColor kBehind(200, 30, 30);

// A parent with a plain background that records the buttons' reports.
class Parent : public QWidget {
public:
    Parent() {
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, kBehind);
        setPalette(pal);
        resize(300, 200);
    }
    struct Report {
        int message, x, y;
    };
    std::vector<Report> reports;

protected:
    bool event(QEvent* e) override {
        if (const auto* m = CGdipButtonEvent::From(e)) {
            reports.push_back({m->Message(), m->X(), m->Y()});
            return true;
        }
        return QWidget::event(e);
    }
};

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void Leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(w, &e);
}

bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

class ImageButton : public ::testing::Test {
protected:
    void SetUp() override {
        button = new CGdipButton(&parent);
        button->setGeometry(10, 10, 89, 44);
        parent.show();
    }
    // Paints the button once, as the screen would.
    QImage Paint() { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    Parent parent;
    CGdipButton* button = nullptr;
};

}  // namespace

TEST(ImageButtonMatrix, BrightensEachColourChannelAndKeepsAlpha) {
    QImage img(3, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(100, 0, 240, 255));
    img.setPixel(1, 0, qRgba(255, 128, 20, 128));
    img.setPixel(2, 0, qRgba(0, 0, 0, 0));
    const QImage out = CGdipButton::Brighten(img);
    // 1.05 x v + 0.05 on 0..1, i.e. 1.05 v + 12.75 on 0..255, clamped.
    EXPECT_EQ(out.pixel(0, 0), qRgba(118, 13, 255, 255));
    EXPECT_EQ(out.pixel(1, 0), qRgba(255, 147, 34, 128));
    EXPECT_EQ(qAlpha(out.pixel(2, 0)), 0);
}

TEST_F(ImageButton, TransparentCornersShowTheParentAsFirstPainted) {
    ASSERT_TRUE(button->SetNormalImage(130));
    // The first paint comes from the window system, as on screen.
    parent.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Normal);
    EXPECT_EQ(button->NormalSurface().pixelColor(0, 0), kBehind);
    const QImage shown = Paint();
    EXPECT_EQ(shown.pixelColor(0, 0), kBehind);
    EXPECT_EQ(shown.pixelColor(88, 43), kBehind);
    EXPECT_NE(shown.pixelColor(44, 2), kBehind);
    // The capture is not refreshed when the parent changes later.
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(0, 90, 0));
    parent.setPalette(pal);
    EXPECT_EQ(Paint().pixelColor(0, 0), kBehind);
}

TEST_F(ImageButton, NormalOnlyMakesPressedShiftedAndHoverBrightened) {
    ASSERT_TRUE(button->SetNormalImage(130));
    Paint();
    const QImage normal = button->NormalSurface().convertToFormat(QImage::Format_RGB32);
    const QImage pressed = button->PressedSurface().convertToFormat(QImage::Format_RGB32);
    const QImage hover = button->HoverSurface().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(normal.size(), QSize(89, 44));
    for (int y = 2; y < 40; y += 5) {
        for (int x = 2; x < 85; x += 7) {
            EXPECT_EQ(pressed.pixel(x + 1, y + 1), normal.pixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(pressed.pixelColor(0, 20), kBehind);  // the column uncovered by the shift

    // Over an opaque pixel the hover look is exactly the matrix applied to the image.
    CGdiPlusBitmapResource image;
    ASSERT_TRUE(image.Load(130));
    const QImage straight = image.GetBitmap()->convertToFormat(QImage::Format_ARGB32);
    const QImage bright = CGdipButton::Brighten(straight);
    ASSERT_EQ(qAlpha(straight.pixel(44, 22)), 255);
    EXPECT_EQ(hover.pixel(44, 22) & 0xFFFFFF, bright.pixel(44, 22) & 0xFFFFFF);
    EXPECT_NE(hover.pixel(44, 22), normal.pixel(44, 22));
}

TEST_F(ImageButton, LooksFollowMouseAndLatchOverridesThem) {
    button->SetNormalImage(130);
    button->SetHoverImage(136);
    button->SetPressedImage(136);
    Paint();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Normal);

    Mouse(button, QEvent::MouseMove, {20, 20});
    ASSERT_TRUE(WaitFor([&] { return button->IsHover(); }));
    Paint();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Hover);
    Mouse(button, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton);
    Paint();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Pressed);
    Mouse(button, QEvent::MouseButtonRelease, {20, 20}, Qt::LeftButton);
    Leave(button);
    Paint();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Normal);

    button->SetLatched(true);
    for (int step = 0; step < 4; ++step) {
        if (step == 0) Mouse(button, QEvent::MouseMove, {30, 10});
        if (step == 1) Mouse(button, QEvent::MouseButtonPress, {30, 10}, Qt::LeftButton);
        if (step == 2) Mouse(button, QEvent::MouseButtonRelease, {30, 10}, Qt::LeftButton);
        if (step == 3) Leave(button);
        WaitFor([] { return false; }, 20);  // let the hover timer run
        Paint();
        EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Pressed) << step;
    }
    button->SetLatched(false);
    Paint();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Normal);
}

TEST_F(ImageButton, ReportsEveryMoveInParentCoordinatesAndOneLeave) {
    button->SetNormalImage(130);
    for (QPoint at : {QPoint(5, 5), QPoint(20, 7), QPoint(40, 30)}) {
        Mouse(button, QEvent::MouseMove, at);
    }
    Leave(button);
    Leave(button);  // no visit in between: nothing more
    ASSERT_EQ(parent.reports.size(), 4u);
    const std::vector<std::array<int, 3>> expected = {
        {9000, 15, 15}, {9000, 30, 17}, {9000, 50, 40}, {9001, 1, 1}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(parent.reports[i].message, expected[i][0]) << i;
        EXPECT_EQ(parent.reports[i].x, expected[i][1]) << i;
        EXPECT_EQ(parent.reports[i].y, expected[i][2]) << i;
    }
    // A new visit reports again.
    Mouse(button, QEvent::MouseMove, {1, 2});
    Leave(button);
    ASSERT_EQ(parent.reports.size(), 6u);
    EXPECT_EQ(parent.reports[4].x, 11);
    EXPECT_EQ(parent.reports[5].message, CGdipButton::kMsgMouseLeft);
}

TEST_F(ImageButton, DoubleClickCountsAsTwoClicks) {
    button->SetNormalImage(130);
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
    Mouse(button, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
    Mouse(button, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton);
    Mouse(button, QEvent::MouseButtonDblClick, {10, 10}, Qt::LeftButton);
    Mouse(button, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
}

TEST_F(ImageButton, ImagesSetAfterTheFirstPaintChangeNothing) {
    button->SetNormalImage(130);
    const QImage before = Paint();
    EXPECT_TRUE(button->SetNormalImage(135));
    EXPECT_EQ(Paint(), before);
}

TEST_F(ImageButton, WithoutNormalImagePaintsNothingOfItsOwn) {
    EXPECT_FALSE(button->SetNormalImage(9999));
    EXPECT_TRUE(button->SetHoverImage(136));
    Paint();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::None);
    EXPECT_TRUE(button->NormalSurface().isNull());
}

TEST_F(ImageButton, FocusByTabDrawsAMarkOverTheLookAndFocusByClickDoesNot) {
    button->SetNormalImage(130);
    button->setFocusPolicy(Qt::StrongFocus);
    QApplication::setActiveWindow(&parent);
    button->clearFocus();  // the active window may have given it the focus already
    const QImage plain = Paint();
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->hasFocus());
    EXPECT_TRUE(button->ShowsFocusMark());
    const QImage marked = Paint();
    EXPECT_NE(marked, plain);
    EXPECT_EQ(marked.pixel(button->width() / 2, button->height() / 2),
              plain.pixel(button->width() / 2, button->height() / 2))
        << "the mark lies along the edge, the artwork stays";
    button->clearFocus();
    button->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(button->ShowsFocusMark());
    EXPECT_EQ(Paint(), plain);
}

TEST_F(ImageButton, DisabledButtonKeepsItsLook) {
    button->SetNormalImage(160);
    button->setEnabled(false);
    button->setGeometry(10, 10, 9, 258);
    Paint();
    EXPECT_EQ(button->ShownLook(), CGdipButton::Look::Normal);
    EXPECT_FALSE(button->NormalSurface().isNull());
}

TEST_F(ImageButton, ScreenReadersSeeAButtonByItsTextAndAPictureAsWhatItIs) {
    button->setText("Drive Info");
    button->SetLatched(true);
    QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->role(), QAccessible::Button);
    EXPECT_EQ(seen->text(QAccessible::Name), "Drive Info");
    EXPECT_TRUE(seen->state().pressed);  // latched: drawn pressed, read as pressed
    const QString press = QAccessibleActionInterface::pressAction();
    EXPECT_TRUE(seen->actionInterface()->actionNames().contains(press));

    // A side label: a disabled picture that a screen reader reads as plain text.
    button->SetAccessibleRole(QAccessible::StaticText);
    button->setEnabled(false);
    EXPECT_EQ(seen->role(), QAccessible::StaticText);
    EXPECT_FALSE(seen->state().disabled);
    EXPECT_FALSE(seen->actionInterface()->actionNames().contains(press));
}

}  // namespace vellumin::controls
