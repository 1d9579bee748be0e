#include "host/offscreen_host.h"

#include "anim/animator.h"
#include "anim/cairo_target.h"
#include "core/log.h"
#include "host/view_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace kaleon::host {

namespace {

Error renderError(std::string message)
{
    return Error { "Render", 1, std::move(message) };
}

// With --fps, the most pictures one interval (or the logo's fade) may give: a stored interval
// can be hours long.
constexpr int kMostPicturesPerInterval = 1000;

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
    if (options.fps && !(*options.fps > 0 && *options.fps <= 1000))
        return renderError("the frame rate must be above 0 and at most 1000");
    const double pixelWidth = std::floor(options.size.width * options.scale);
    const double pixelHeight = std::floor(options.size.height * options.scale);
    constexpr int largest = gfx::kLargestBitmapSide;
    if (pixelWidth < 1 || pixelHeight < 1 || pixelWidth > largest || pixelHeight > largest)
        return renderError("the render must be from 1 to " + std::to_string(largest) + " pixels wide and high");

    std::error_code error;
    std::filesystem::create_directories(options.directory, error);
    if (error)
        return renderError("cannot create " + options.directory.string() + ": " + error.message());

    auto target = anim::BitmapTarget::create(static_cast<int>(pixelWidth), static_cast<int>(pixelHeight));
    if (!target)
        return renderError("cannot make a bitmap of that size");

    const gfx::Rect frame { 0, 0, options.size.width, options.size.height };
    const auto session = ViewSession::make(makeView, frame, options.scale, Screen { frame, options.scale }, 0.0);
    if (!session)
        return renderError("the view could not be made");
    session->setTarget(target.get(), options.scale);
    // A render waits for layers that draw themselves on a worker thread.
    session->compositor()->setWaitsForDrawing(true);
    std::vector<std::filesystem::path> written;
    const auto writePicture = [&](double now) -> Result<void> {
        anim::Animator::shared().tick(now);
        if (session->view().cannotDraw())
            return renderError("the saver cannot make pictures of " + std::to_string(static_cast<int>(pixelWidth)) + "x"
                + std::to_string(static_cast<int>(pixelHeight)) + " pixels (not enough memory?)");
        if (!session->view().layer())
            return {};
        session->draw(now);
        auto path = framePath(options.directory, static_cast<int>(written.size()) + 1);
        if (auto result = target->bitmap()->writePNG(path); !result)
            return result.error();
        written.push_back(std::move(path));
        return {};
    };

    bool toldOfCap = false;
    // The pictures from `from` up to (not including) `to`, fps a second but no more than the cap.
    const auto writePicturesUntil = [&](double from, double to) -> Result<void> {
        double step = 1.0 / *options.fps;
        if ((to - from) / step > kMostPicturesPerInterval) {
            step = (to - from) / kMostPicturesPerInterval;
            if (!std::exchange(toldOfCap, true))
                log("Render: more than " + std::to_string(kMostPicturesPerInterval)
                    + " pictures an interval; writing that many, evenly spread");
        }
        for (int index = 0; from + index * step + 1e-9 < to; ++index) {
            if (auto result = writePicture(from + index * step); !result)
                return result;
        }
        return {};
    };

    double now = 0;
    anim::Animator::shared().tick(now);
    if (options.fps) {
        // Pictures of the logo's fade, before the first frame call.
        if (auto result = writePicturesUntil(now, session->nextFrameDue()); !result)
            return result.error();
    }
    for (int index = 1; index <= options.frames; ++index) {
        now = session->nextFrameDue();
        session->runFrameIfDue(now);
        const double next = session->nextFrameDue();
        if (options.fps) {
            if (auto result = writePicturesUntil(now, next); !result)
                return result.error();
        } else {
            // Just before the next frame call: the shape has come to rest and been painted in.
            if (auto result = writePicture(next - std::min(1e-3, (next - now) / 2)); !result)
                return result.error();
        }
        if (options.progress)
            options.progress(index, options.frames);
    }
    return written;
}

} // namespace kaleon::host
