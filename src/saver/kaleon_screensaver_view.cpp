#include "saver/kaleon_screensaver_view.h"

#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "supply/svg_manager.h"

#include <cmath>

namespace kaleon::saver {

namespace {

// What a speed of 0 (or one that makes no sense) stands for.
constexpr double kFallbackInterval = 4.0;
// NSViewLayerContentsRedrawNever: the view system never redraws the root layer's contents.
constexpr int kLayerContentsRedrawNever = 0;

std::shared_ptr<host::ScreenSaverDefaults> moduleDefaults()
{
    return host::ScreenSaverDefaults::defaultsForModuleWithName(supply::TGKaleonDefaultsModuleName);
}

} // namespace

std::shared_ptr<KaleonScreensaverView> KaleonScreensaverView::make(gfx::Rect frame, bool isPreview)
{
    auto view = std::shared_ptr<KaleonScreensaverView>(new KaleonScreensaverView(frame, isPreview));
    view->observeConfigurationChanges();
    return view;
}

void KaleonScreensaverView::observeConfigurationChanges()
{
    NotificationCenter::defaultCenter().addObserver(
        std::static_pointer_cast<KaleonScreensaverView>(shared_from_this()),
        std::string(supply::TGKaleonConfigurationDidChangeNotificationName),
        &KaleonScreensaverView::configurationDidChange);
}

KaleonScreensaverView::KaleonScreensaverView(gfx::Rect frame, bool isPreview)
    : host::ScreenSaverView(frame, isPreview)
{
    setupDefaults();
    setLayer(anim::Layer::create());
    m_backgroundLayer = anim::Layer::create();
    setWantsLayer(true);
    setLayerContentsRedrawPolicy(kLayerContentsRedrawNever);
    layer()->addSublayer(m_backgroundLayer);
    m_backgroundLayer->setFrame(bounds());
    m_contentScale = 1.0;
    m_backgroundLayer->setBackgroundColor(supply::TGSVGManager::instance()->randomColor());
    setAnimationTimeInterval(animationInterval());
}

KaleonScreensaverView::~KaleonScreensaverView()
{
    NotificationCenter::defaultCenter().removeObserver(this,
        supply::TGKaleonConfigurationDidChangeNotificationName);
}

void KaleonScreensaverView::setupDefaults()
{
    moduleDefaults()->registerDefaults({
        { std::string(supply::TGKaleonSpeedDefaultsKey), PlistValue(static_cast<double>(supply::kDefaultSpeed)) },
        { std::string(supply::TGKaleonColorPaletteDefaultsKey), PlistValue(std::string(supply::kDefaultPaletteFilename)) },
        { std::string(supply::TGKaleonAnimationDirectionDefaultsKey), PlistValue(supply::kDefaultDirection) },
    });
}

double KaleonScreensaverView::animationInterval() const
{
    const float speed = moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey);
    // The host needs a positive, finite interval: NaN, infinities and negative speeds count as 0.
    if (speed == 0.0f || !std::isfinite(speed) || speed < 0.0f)
        return kFallbackInterval;
    return static_cast<double>(speed) / 100.0;
}

std::int64_t KaleonScreensaverView::directionType() const
{
    return moduleDefaults()->integerForKey(supply::TGKaleonAnimationDirectionDefaultsKey);
}

void KaleonScreensaverView::animateOneFrame()
{
    // Shapes arrive with the motion code; until then the view shows its background.
}

void KaleonScreensaverView::configurationDidChange(const Notification&)
{
    supply::TGSVGManager::instance()->updateColorPalette();
    setAnimationTimeInterval(animationInterval());
    reset();
}

void KaleonScreensaverView::reset()
{
    m_backgroundLayer->removeFromSuperlayer();
    m_backgroundLayer = anim::Layer::create();
    m_backgroundLayer->setFrame(bounds());
    m_backgroundLayer->setBackgroundColor(supply::TGSVGManager::instance()->randomColor());
    layer()->addSublayer(m_backgroundLayer);
    if (m_animatingLayer)
        m_animatingLayer->removeFromSuperlayer();
}

void KaleonScreensaverView::viewDidMoveToWindow()
{
    const auto window = this->window();
    // Out of a window there is no backing store: the scale reads as 0.
    m_contentScale = window ? window->backingScaleFactor() : 0.0;
    m_parentWindow = window;
}

void KaleonScreensaverView::viewDidChangeBackingProperties()
{
    const auto window = this->window();
    m_contentScale = window ? window->backingScaleFactor() : 0.0;
    m_backgroundLayer->setContentsScale(m_contentScale);
}

void KaleonScreensaverView::viewDidChangeFrameSize()
{
    // The root layer follows the view; the background (and its picture) is stretched to match.
    m_backgroundLayer->setFrame(bounds());
}

} // namespace kaleon::saver
