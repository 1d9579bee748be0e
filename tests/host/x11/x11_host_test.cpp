#include "host/x11/x11_host.h"

#include "support/solid_view.h"

// Before Xlib, whose macros (None, Bool) would rename gtest's own.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <future>
#include <thread>

using namespace kaleon;

TEST(X11Host, WindowIdsAreDecimalOrHexAndNothingElse)
{
    const std::vector<std::pair<std::string_view, std::optional<unsigned long>>> cases {
        { "4194312", 4194312 },
        { "0x400008", 0x400008 },
        { "0X1f", 0x1f },
        { "0", std::nullopt },
        { "0x", std::nullopt },
        { "", std::nullopt },
        { "12 ", std::nullopt },
        { "-5", std::nullopt },
        { "0x40g", std::nullopt },
        { "99999999999999999999999", std::nullopt },
        { "+5", std::nullopt },
    };
    for (const auto& [text, id] : cases)
        EXPECT_EQ(host::x11::parseWindowId(text), id) << "'" << text << "'";
}

// The backend in a window of ours, as XScreenSaver hands one over: its picture reaches the
// window, and the window going away ends it.
TEST(X11Host, DrawsIntoAForeignWindowAndEndsWhenItGoes)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        GTEST_SKIP() << "no X display (run under xvfb-run)";
    const int screen = DefaultScreen(display);
    const ::Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 64, 32, 0,
        WhitePixel(display, screen), WhitePixel(display, screen));
    XMapWindow(display, window);
    XSync(display, False);

    const gfx::Color color = gfx::Color::fromRGB8(0xe9, 0xc4, 0x6a);
    host::x11::X11Options options;
    options.windowId = window;
    auto ended = std::async(std::launch::async, [&] {
        return host::x11::runX11(
            options, [&](gfx::Rect frame, bool) { return std::make_shared<test::SolidView>(frame, color); }, nullptr);
    });

    const auto pixelShown = [&] {
        XImage* image = XGetImage(display, window, 0, 0, 64, 32, AllPlanes, ZPixmap);
        if (!image)
            return 0ul;
        const unsigned long pixel = XGetPixel(image, 63, 31);
        XDestroyImage(image);
        return pixel;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pixelShown() != 0xe9c46a && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pixelShown(), 0xe9c46aul);

    XDestroyWindow(display, window);
    XSync(display, False);
    ASSERT_EQ(ended.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(ended.get(), 0);
    XCloseDisplay(display);
}
