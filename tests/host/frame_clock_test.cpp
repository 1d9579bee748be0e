#include "host/frame_clock.h"

#include "host/screen_saver_view.h"

#include <gtest/gtest.h>

using kaleon::host::FrameClock;
using kaleon::host::runFrameIfDue;

TEST(FrameClock, CallsOncePerInterval)
{
    FrameClock clock(10.0);
    EXPECT_FALSE(clock.isDue(9.99));
    EXPECT_TRUE(clock.isDue(10.0));
    clock.frameDone(10.1, 4.5);
    EXPECT_DOUBLE_EQ(clock.nextDue(), 14.5); // the schedule does not drift with the frame's own cost
    EXPECT_FALSE(clock.isDue(14.4));
}

TEST(FrameClock, SkipsAheadInsteadOfQueueingLateFrames)
{
    FrameClock clock(0.0);
    // The frame due at 0 took 10 seconds with a 1-second interval: nine calls are not made up.
    clock.frameDone(10.0, 1.0);
    EXPECT_DOUBLE_EQ(clock.nextDue(), 11.0);
    EXPECT_FALSE(clock.isDue(10.5));
}

namespace {

class CountingView : public kaleon::host::ScreenSaverView {
public:
    CountingView()
        : ScreenSaverView({ 0, 0, 10, 10 }, false)
    {
    }
    void animateOneFrame() override { ++frames; }
    int frames = 0;
};

} // namespace

TEST(FrameClock, ANewIntervalTakesEffectAtOnce)
{
    CountingView view;
    view.setAnimationTimeInterval(100);
    FrameClock clock(0.0);
    EXPECT_TRUE(runFrameIfDue(view, clock, 0));
    EXPECT_DOUBLE_EQ(clock.nextDue(), 100);
    // The settings changed at 5 s: the next shape comes one new interval later, not at 100 s.
    view.setAnimationTimeInterval(1);
    EXPECT_FALSE(runFrameIfDue(view, clock, 5));
    EXPECT_DOUBLE_EQ(clock.nextDue(), 6);
    EXPECT_TRUE(runFrameIfDue(view, clock, 6));
    EXPECT_EQ(view.frames, 2);
    EXPECT_DOUBLE_EQ(clock.nextDue(), 7);
}
