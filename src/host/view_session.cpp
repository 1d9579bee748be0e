#include "host/view_session.h"

#include "anim/animator.h"
#include "anim/layer.h"

#include <algorithm>

namespace kaleon::host {

namespace {

// Longer than any wait a loop needs: it is woken by what happens long before.
constexpr double kLongestWait = 3600.0;

} // namespace

std::unique_ptr<ViewSession> ViewSession::make(
    const ViewFactory& makeView, gfx::Rect frame, double scale, const Screen& screen, double now, bool isPreview)
{
    const gfx::Rect bounds { 0, 0, frame.width(), frame.height() };
    auto view = makeView(bounds, isPreview);
    if (!view)
        return nullptr;
    auto window = Window::create(bounds, scale, screen);
    view->moveToWindow(window);
    view->startAnimation();
    const double firstFrame = now + view->firstFrameDelay();
    return std::unique_ptr<ViewSession>(new ViewSession(std::move(view), std::move(window), firstFrame));
}

ViewSession::ViewSession(std::shared_ptr<ScreenSaverView> view, std::shared_ptr<Window> window, double firstFrame)
    : m_view(std::move(view))
    , m_window(std::move(window))
    , m_clock(firstFrame)
{
}

ViewSession::~ViewSession()
{
    m_view->stopAnimation();
    m_compositor.reset();
}

void ViewSession::setTarget(anim::RenderTarget* target, double pixelsPerPoint)
{
    m_compositor.reset();
    m_pixelsPerPoint = pixelsPerPoint;
    if (!target)
        return;
    m_compositor = std::make_unique<anim::Compositor>(*target);
    m_wholePicture = true;
}

void ViewSession::resize(gfx::Size size, double scale)
{
    const bool scaleChanged = scale != m_window->backingScaleFactor();
    const bool sizeChanged = size.width != m_view->frame().width() || size.height != m_view->frame().height();
    if (sizeChanged) {
        m_window->setFrame({ { 0, 0 }, size });
        m_view->setFrameSize(size);
    }
    if (scaleChanged) {
        m_window->setBackingScaleFactor(scale);
        m_view->backingPropertiesChanged();
    }
    if (sizeChanged || scaleChanged)
        invalidate();
}

void ViewSession::invalidate()
{
    m_wholePicture = true;
    if (m_compositor)
        m_compositor->invalidate();
}

void ViewSession::invalidate(const gfx::PixelRect& area)
{
    if (m_compositor)
        m_compositor->invalidate(area);
    m_areaInvalid = true;
}

bool ViewSession::runFrameIfDue(double now)
{
    return host::runFrameIfDue(*m_view, m_clock, now);
}

bool ViewSession::needsDraw() const
{
    const auto root = m_view->layer();
    return root
        && (m_wholePicture || m_areaInvalid || anim::Animator::shared().hasRunningAnimations()
            || root->revision() != m_drawnRevision);
}

gfx::PixelRect ViewSession::draw(double now)
{
    const auto root = m_view->layer();
    if (!m_compositor || !root || !needsDraw())
        return {};
    if (m_wholePicture)
        m_compositor->invalidate();
    const gfx::PixelRect changed = m_compositor->drawFrame(*root, m_pixelsPerPoint, now);
    m_drawnRevision = root->revision();
    m_wholePicture = false;
    m_areaInvalid = false;
    return changed;
}

void FrameLoop::remove(const ViewSession& session)
{
    std::erase(m_sessions, &session);
}

bool FrameLoop::advance(double now)
{
    auto& animator = anim::Animator::shared();
    animator.tick(now);
    m_framesRun = 0;
    for (ViewSession* session : m_sessions)
        m_framesRun += session->runFrameIfDue(now) ? 1 : 0;
    m_moving = animator.hasRunningAnimations();
    return m_moving;
}

int FrameLoop::draw(double now)
{
    int drawn = 0;
    for (ViewSession* session : m_sessions) {
        if (session->needsDraw() && session->compositor()) {
            session->draw(now);
            ++drawn;
        }
    }
    return drawn;
}

double FrameLoop::secondsToNextFrameCall(double now) const
{
    double wait = kLongestWait;
    for (ViewSession* session : m_sessions)
        wait = std::min(wait, session->nextFrameDue() - now);
    return std::max(0.0, wait);
}

double FrameLoop::secondsToWait(double now) const
{
    const double wait = secondsToNextFrameCall(now);
    return m_moving ? std::min(wait, m_movingFramePeriod) : wait;
}

} // namespace kaleon::host
