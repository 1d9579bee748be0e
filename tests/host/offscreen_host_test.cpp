#include "host/offscreen_host.h"

#include "core/log.h"
#include "support/solid_view.h"
#include "support/test_support.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace kaleon;

using test::SolidView;

TEST(OffscreenHost, WritesOnePictureOfTheViewPerFrameCall)
{
    test::TemporaryDirectory folder;
    std::shared_ptr<SolidView> view;
    const gfx::Color color = gfx::Color::fromRGB8(0x2a, 0x9d, 0x8f);
    host::RenderOptions options;
    options.directory = folder / "frames";
    options.frames = 3;
    options.size = { 64, 32 };
    options.scale = 2;
    int reported = 0;
    options.progress = [&](int done, int total) {
        EXPECT_EQ(total, 3);
        reported = done;
    };
    const auto written = host::renderOffscreen(options, [&](gfx::Rect frame, bool isPreview) {
        EXPECT_EQ(frame, gfx::Rect(0, 0, 64, 32));
        EXPECT_FALSE(isPreview);
        view = std::make_shared<SolidView>(frame, color);
        return view;
    });
    ASSERT_TRUE(written) << written.error().message;
    ASSERT_EQ(written->size(), 3u);
    EXPECT_EQ(written->back().filename(), "frame-0003.png");
    EXPECT_EQ(view->frames, 3);
    EXPECT_EQ(view->scaleSeen, 2.0);
    EXPECT_EQ(reported, 3);

    const auto png = gfx::Bitmap::readPNG(written->front());
    ASSERT_TRUE(png) << png.error().message;
    EXPECT_EQ((*png)->width(), 128);
    EXPECT_EQ((*png)->height(), 64);
    EXPECT_EQ((*png)->pixel(100, 10), color);
}

TEST(OffscreenHost, RefusesBadSizesAndUnwritableFolders)
{
    test::TemporaryDirectory folder;
    const host::ViewFactory never = [](gfx::Rect, bool) -> std::shared_ptr<host::ScreenSaverView> {
        ADD_FAILURE() << "no view expected";
        return nullptr;
    };
    host::RenderOptions options;
    options.directory = folder.path();
    options.size = { 0, 10 };
    EXPECT_FALSE(host::renderOffscreen(options, never));
    options.size = { 10, 10 };
    options.scale = -1;
    EXPECT_FALSE(host::renderOffscreen(options, never));
    options.scale = 1;
    test::writeFile(folder / "file", "");
    options.directory = folder / "file" / "below";
    EXPECT_FALSE(host::renderOffscreen(options, never));
}

TEST(OffscreenHost, AnIntervalGivesAtMostAThousandPictures)
{
    test::TemporaryDirectory folder;
    host::RenderOptions options;
    options.directory = folder.path();
    options.size = { 2, 2 };
    options.fps = 240; // 4.5 s of them: 1080
    ScopedLogCapture capture;
    const auto written = host::renderOffscreen(
        options, [](gfx::Rect frame, bool) { return std::make_shared<SolidView>(frame, gfx::Color::black()); });
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(written->size(), 1000u);
    EXPECT_EQ(capture.lines(),
        std::vector<std::string> { "Render: more than 1000 pictures an interval; writing that many, evenly spread" });
}

TEST(OffscreenHost, StopsWithAnErrorWhenTheViewCannotDraw)
{
    class BrokenView : public SolidView {
    public:
        using SolidView::SolidView;
        bool cannotDraw() const override { return frames >= 2; }
    };
    test::TemporaryDirectory folder;
    host::RenderOptions options;
    options.directory = folder.path();
    options.frames = 4;
    const auto written = host::renderOffscreen(
        options, [](gfx::Rect frame, bool) { return std::make_shared<BrokenView>(frame, gfx::Color::black()); });
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().message.find("cannot make pictures of 1280x720 pixels"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(folder / "frame-0001.png"));
    EXPECT_FALSE(std::filesystem::exists(folder / "frame-0002.png"));
}
