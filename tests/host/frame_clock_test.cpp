#include "host/frame_clock.h"

#include <gtest/gtest.h>

using kaleon::host::FrameClock;

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
