#include "host/screen_saver_view.h"

#include "host/configure_sheet.h"

#include <cmath>

namespace kaleon::host {

namespace {

ConfigureSheetMaker& sheetMaker()
{
    static ConfigureSheetMaker maker;
    return maker;
}

} // namespace

void setConfigureSheetMaker(ConfigureSheetMaker maker)
{
    sheetMaker() = std::move(maker);
}

const ConfigureSheetMaker& configureSheetMaker()
{
    return sheetMaker();
}

ScreenSaverView::ScreenSaverView(gfx::Rect frame, bool isPreview)
    : m_frame(frame)
    , m_isPreview(isPreview)
{
}

void ScreenSaverView::setAnimationTimeInterval(double seconds)
{
    if (std::isfinite(seconds) && seconds > 0)
        m_animationTimeInterval = seconds;
}

void ScreenSaverView::setFrameSize(gfx::Size size)
{
    m_frame.size = size;
    if (m_layer)
        m_layer->setFrame(bounds());
    viewDidChangeFrameSize();
}

void ScreenSaverView::moveToWindow(const std::shared_ptr<Window>& window)
{
    m_window = window;
    viewDidMoveToWindow();
}

void ScreenSaverView::setLayer(std::shared_ptr<anim::Layer> layer)
{
    m_layer = std::move(layer);
    if (m_layer)
        m_layer->setFrame(bounds());
}

} // namespace kaleon::host
