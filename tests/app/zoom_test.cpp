// The zoom on Qt's offscreen platform (a screen large enough for every zoom): the picture
// enlarged pixel for pixel, and the keys that step it. The zoom on a small screen is tested on
// a real X server (screen_test.cpp).
#include <gtest/gtest.h>

#include <QTest>

#include "window_fixture.h"

namespace zirvak::test {
namespace {

// The picture at 2× is the 1× picture with every pixel doubled, exactly.
TEST_F(MainDialogTest, ZoomEnlargesThePicturePixelForPixel) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));  // keys go to the active window
    const QImage one = Grab(window);
    ASSERT_EQ(one.size(), QSize(405, 308));
    const QSize frame = window.size() - window.view()->size();
    QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(window.zoom(), 2);
    EXPECT_EQ(window.view()->size(), QSize(810, 616));
    EXPECT_EQ(window.size(), QSize(810, 616) + frame);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const QImage two = Grab(window);
    ASSERT_EQ(two.size(), QSize(810, 616));
    int wrong = 0;
    for (int y = 0; y < 616; ++y)
        for (int x = 0; x < 810; ++x) wrong += two.pixel(x, y) != one.pixel(x / 2, y / 2);
    EXPECT_EQ(wrong, 0);
    for (int i = 0; i < 5; ++i) QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(window.zoom(), 4);
    QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(window.zoom(), 3);
    QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(window.zoom(), 1);  // the screen's own pixels: one to one here
    QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(window.zoom(), 1);
}

}  // namespace
}  // namespace zirvak::test
