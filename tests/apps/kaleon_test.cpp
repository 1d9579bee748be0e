#include "gfx/bitmap.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace kaleon;

TEST(KaleonRender, SIGTERMLeavesOnlyWholePictures)
{
    test::TemporaryDirectory folder;
    // Large pictures, so the signal lands while one is being flattened or written.
    const std::string script = "\"$0\" --render \"$1\" --frames 500 --size 1920x1080 --scale 2 --speed 100 & "
                               "sleep 1.5; kill -TERM $!; wait $!";
    const auto result = test::runProgram({ "/bin/sh", "-c", script, KALEON_BINARY, folder.path().string() });
    EXPECT_EQ(result.status, 128 + 15) << result.errors;
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(entry.path().extension(), ".png") << "a temporary file was left behind";
        EXPECT_TRUE(gfx::Bitmap::readPNG(entry.path())) << "a picture was cut short";
        ++pictures;
    }
    EXPECT_LT(pictures, 500);
}
