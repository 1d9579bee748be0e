#include "host/offscreen_host.h"

#include "anim/cairo_target.h"
#include "anim/compositor.h"
#include "host/frame_clock.h"

#include <cmath>
#include <cstdio>

namespace kaleon::host {

namespace {

Error renderError(std::string message)
{
    return Error { "Render", 1, std::move(message) };
}

std::filesystem::path framePath(const std::filesystem::path& directory, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.png", index);
    return directory / name;
}

} // namespace

Result<std::vector<std::filesystem::path>> renderOffscreen(const RenderOptions& options, const ViewFactory& makeView)
{
    if (!(options.size.width >= 1 && options.size.height >= 1 && options.scale > 0 && std::isfinite(options.scale)))
        return renderError("the render size and scale must be positive");
    const double pixelWidth = std::floor(options.size.width * options.scale);
    const double pixelHeight = std::floor(options.size.height * options.scale);
    if (pixelWidth < 1 || pixelHeight < 1 || pixelWidth > 32767 || pixelHeight > 32767)
        return renderError("the render must be from 1 to 32767 pixels wide and high");

    std::error_code error;
    std::filesystem::create_directories(options.directory, error);
    if (error)
        return renderError("cannot create " + options.directory.string() + ": " + error.message());

    auto target = anim::BitmapTarget::create(static_cast<int>(pixelWidth), static_cast<int>(pixelHeight));
    if (!target)
        return renderError("cannot make a bitmap of that size");

    const gfx::Rect frame { 0, 0, options.size.width, options.size.height };
    const Screen screen { frame, options.scale };
    const auto window = Window::create(frame, options.scale, screen);
    const auto view = makeView(frame, false);
    if (!view)
        return renderError("the view could not be made");
    view->moveToWindow(window);
    view->startAnimation();

    anim::Compositor compositor(*target);
    std::vector<std::filesystem::path> written;
    double now = 0;
    FrameClock clock(now);
    for (int index = 1; index <= options.frames; ++index) {
        now = clock.nextDue();
        view->animateOneFrame();
        clock.frameDone(now, view->animationTimeInterval());
        if (const auto root = view->layer())
            compositor.drawFrame(*root, options.scale);
        auto path = framePath(options.directory, index);
        if (auto result = target->bitmap()->writePNG(path); !result)
            return result.error();
        written.push_back(std::move(path));
        if (options.progress)
            options.progress(index, options.frames);
    }
    view->stopAnimation();
    return written;
}

} // namespace kaleon::host
