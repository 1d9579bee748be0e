#include "core/log.h"

#include <gtest/gtest.h>

using namespace kaleon;

TEST(Log, CaptureCollectsEachMessageAsOneLine)
{
    ScopedLogCapture capture;
    log("first");
    log("second\nhalf");
    log("");
    ASSERT_EQ(capture.lines().size(), 3u);
    EXPECT_EQ(capture.lines()[0], "first");
    EXPECT_EQ(capture.lines()[1], "second half");
    EXPECT_EQ(capture.lines()[2], "");
    EXPECT_EQ(capture.count("first"), 1u);
}

TEST(Log, NestedCapturesRestoreTheOuterOne)
{
    ScopedLogCapture outer;
    {
        ScopedLogCapture inner;
        log("inner");
        EXPECT_EQ(inner.count("inner"), 1u);
    }
    log("outer");
    EXPECT_EQ(outer.lines(), std::vector<std::string> { "outer" });
}
