#include "saver/kaleon_screensaver_view.h"

#include "core/log.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "supply/svg_manager.h"

#include <algorithm>
#include <cmath>

namespace kaleon::saver {

namespace {

// What a speed of 0 (or one that makes no sense) stands for.
constexpr double kFallbackInterval = 4.0;
// Shares of the interval that a shape's slide and the logo's fade take.
constexpr double kSlideShare = 0.7;
constexpr double kLogoFadeShare = 0.5;
constexpr std::string_view kFailedToCreateContext = "Failed to create context.";

} // namespace

std::shared_ptr<KaleonScreensaverView> KaleonScreensaverView::make(gfx::Rect frame, bool isPreview)
{
    auto view = std::shared_ptr<KaleonScreensaverView>(new KaleonScreensaverView(frame, isPreview));
    view->observeConfigurationChanges();
    return view;
}

void KaleonScreensaverView::observeConfigurationChanges()
{
    NotificationCenter::defaultCenter().addObserver(std::static_pointer_cast<KaleonScreensaverView>(shared_from_this()),
        std::string(supply::TGKaleonConfigurationDidChangeNotificationName),
        &KaleonScreensaverView::configurationDidChange);
}

KaleonScreensaverView::KaleonScreensaverView(gfx::Rect frame, bool isPreview)
    : host::ScreenSaverView(frame, isPreview)
{
    setupDefaults();
    setLayer(anim::Layer::create());
    m_backgroundLayer = anim::Layer::create();
    layer()->addSublayer(m_backgroundLayer);
    m_backgroundLayer->setFrame(bounds());
    m_contentScale = 1.0;
    m_backgroundLayer->setBackgroundColor(supply::TGSVGManager::instance()->randomColor());
    setAnimationTimeInterval(animationInterval());
}

KaleonScreensaverView::~KaleonScreensaverView()
{
    NotificationCenter::defaultCenter().removeObserver(this, supply::TGKaleonConfigurationDidChangeNotificationName);
}

void KaleonScreensaverView::setupDefaults()
{
    supply::moduleDefaults()->registerDefaults({
        { std::string(supply::TGKaleonSpeedDefaultsKey), PlistValue(static_cast<double>(supply::kDefaultSpeed)) },
        { std::string(supply::TGKaleonColorPaletteDefaultsKey),
            PlistValue(std::string(supply::kDefaultPaletteFilename)) },
        { std::string(supply::TGKaleonAnimationDirectionDefaultsKey),
            PlistValue(static_cast<std::int64_t>(supply::kDefaultDirection)) },
    });
}

double KaleonScreensaverView::animationInterval() const
{
    const float speed = supply::moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey);
    // The host needs a positive, finite interval: NaN, infinities and negative speeds count as 0.
    if (speed == 0.0f || !std::isfinite(speed) || speed < 0.0f)
        return kFallbackInterval;
    return static_cast<double>(std::clamp(speed, supply::kFastestSpeed, supply::kSlowestSpeed)) / 100.0;
}

std::int64_t KaleonScreensaverView::directionType() const
{
    return supply::moduleDefaults()->integerForKey(supply::TGKaleonAnimationDirectionDefaultsKey);
}

PictureGeometry pictureGeometry(double width, double height, double scale)
{
    const auto wholePoints = [](double value) {
        return std::isfinite(value) ? static_cast<double>(static_cast<std::int32_t>(std::clamp(value, -2e9, 2e9)))
                                    : 0.0;
    };
    const auto wholePixels = [](double value) {
        return std::isfinite(value) && value > 0 ? static_cast<std::int64_t>(std::min(value, 2e9)) : std::int64_t { 0 };
    };
    const double wi = wholePoints(width);
    const double hi = wholePoints(height);
    return { wholePixels(scale * wi), wholePixels(scale * hi), wholePixels(scale * wi * 4.0) };
}

gfx::AffineTransform startOffset(
    std::optional<supply::Direction> direction, std::uint64_t counter, gfx::Size size, double originY)
{
    using supply::Direction;
    if (!direction)
        return {};
    const auto fromLeft = gfx::AffineTransform::translation(-size.width, 0);
    const auto fromRight = gfx::AffineTransform::translation(size.width, 0);
    const auto fromAbove = gfx::AffineTransform::translation(0, -(size.height + originY));
    const auto fromBelow = gfx::AffineTransform::translation(0, size.height + originY);
    switch (*direction) {
    case Direction::Cycle: {
        const gfx::AffineTransform cycle[] = { fromBelow, fromAbove, fromLeft, fromRight };
        return cycle[counter % 4];
    }
    case Direction::LeftRight:
        return counter == 0 ? fromLeft : fromRight;
    case Direction::FromLeft:
        return fromLeft;
    case Direction::FromRight:
        return fromRight;
    case Direction::FromAbove:
        return fromAbove;
    case Direction::FromBelow:
        return fromBelow;
    }
    return {};
}

std::uint64_t nextPositionIndex(std::optional<supply::Direction> direction, std::uint64_t counter)
{
    if (direction == supply::Direction::Cycle)
        return counter + 1 >= 4 ? 0 : counter + 1;
    if (direction == supply::Direction::LeftRight)
        return counter + 1 >= 2 ? 0 : counter + 1;
    return counter;
}

void KaleonScreensaverView::configureAnimationTransform()
{
    const auto window = this->window();
    const gfx::Rect windowFrame = window ? window->frame() : gfx::Rect();
    const double screenScale = window ? window->screen().backingScaleFactor : 0.0;
    m_animatingLayer = supply::TGSVGManager::instance()->randomSVGLayerWithBounds(
        { 0, 0, windowFrame.width(), windowFrame.height() }, screenScale);
    const gfx::Rect bounds = m_animatingLayer->bounds();
    const double originY = m_animatingLayer->frame().origin.y;
    const auto direction = supply::directionFromStored(directionType());
    if (direction)
        m_animatingLayer->setTransform(startOffset(direction, m_viewPositionIndex, bounds.size, originY));
    m_viewPositionIndex = nextPositionIndex(direction, m_viewPositionIndex);
}

void KaleonScreensaverView::animateOneFrame()
{
    configureAnimationTransform();
    auto slide = anim::BasicAnimation::animationWithKeyPath("transform");
    slide->setDuration(kSlideShare * animationInterval());
    slide->setFromValue(m_animatingLayer->transform());
    slide->setToValue(gfx::AffineTransform());
    slide->setRemovedOnCompletion(false);
    slide->setFillModeForwards(true);
    slide->setTimingFunction(anim::TimingFunction::easeInEaseOut());
    slide->setDelegate(std::static_pointer_cast<KaleonScreensaverView>(shared_from_this()));
    m_animatingLayer->addAnimation(std::move(slide), "transform");
    layer()->addSublayer(m_animatingLayer);
}

void KaleonScreensaverView::animationDidStop(const anim::BasicAnimation&, bool finished)
{
    if (finished)
        flattenLayerTree();
}

void KaleonScreensaverView::flattenLayerTree()
{
    if (m_logoLayer) {
        m_logoLayer->removeFromSuperlayer();
        m_logoLayer = nullptr;
        m_shouldRun = true;
        return;
    }
    if (m_animatingLayer)
        m_animatingLayer->setTransform(gfx::AffineTransform());
    auto picture = renderLayersToCGImage();

    m_backgroundLayer->setContents(std::move(picture));

    const auto sublayers = layer()->sublayers();
    for (const auto& sublayer : sublayers) {
        if (sublayer != m_backgroundLayer)
            sublayer->removeFromSuperlayer();
    }
    // The shape lives on in the picture: its own pixels go back to be reused while the saver
    // idles, not when the next shape wants them.
    if (m_animatingLayer)
        m_animatingLayer->setContents(nullptr);
}

std::shared_ptr<gfx::Bitmap> KaleonScreensaverView::renderLayersToCGImage()
{
    const gfx::Rect bounds = layer()->bounds();
    const PictureGeometry geometry = pictureGeometry(bounds.width(), bounds.height(), m_contentScale);
    const bool reusable = m_picture && m_picture->width() == geometry.width && m_picture->height() == geometry.height;
    constexpr std::int64_t largest = gfx::kLargestBitmapSide;
    auto picture = reusable ? m_picture
                            : gfx::Bitmap::create(static_cast<int>(std::min(geometry.width, largest)),
                                static_cast<int>(std::min(geometry.height, largest)));
    if (!picture || geometry.width > largest || geometry.height > largest) {
        log(kFailedToCreateContext);
        m_picture = nullptr;
        m_pictureFailed = geometry.width > 0 && geometry.height > 0;
        return nullptr;
    }
    m_pictureFailed = false;
    // The bitmap's rows run top first and so does our drawing space: no flip is needed for the
    // picture to look like the composition. Painting into the picture the background already
    // shows leaves what it shows and adds what lies above it.
    const auto context = picture->createContext();
    cairo_scale(context.get(), m_contentScale, m_contentScale);
    layer()->renderInContext(context.get());
    picture->setOpaque(m_backgroundLayer->backgroundColor() && m_backgroundLayer->backgroundColor()->alpha >= 1.0);
    picture->markModified();
    m_picture = picture;
    return picture;
}

const std::shared_ptr<host::ConfigureSheet>& KaleonScreensaverView::configureWindowController()
{
    if (!m_configureWindowController) {
        if (const auto& make = host::configureSheetMaker())
            m_configureWindowController = make();
    }
    return m_configureWindowController;
}

void* KaleonScreensaverView::configureSheet()
{
    const auto& controller = configureWindowController();
    return controller ? controller->window() : nullptr;
}

double KaleonScreensaverView::firstFrameDelay() const
{
    return m_logoLayer ? kLogoFadeShare * animationInterval() : 0.0;
}

void KaleonScreensaverView::setupLogo()
{
    m_shouldRun = false;
    m_logoLayer = supply::TGSVGManager::instance()->logoSVGWithBounds(bounds());
    auto fade = anim::BasicAnimation::animationWithKeyPath("opacity");
    fade->setDuration(kLogoFadeShare * animationInterval());
    fade->setFromValue(1.0);
    fade->setToValue(0.0);
    fade->setRemovedOnCompletion(false);
    fade->setDelegate(std::static_pointer_cast<KaleonScreensaverView>(shared_from_this()));
    fade->setFillModeForwards(true);
    fade->setTimingFunction(anim::TimingFunction::easeInEaseOut());
    m_logoLayer->addAnimation(std::move(fade), "fade");
    layer()->addSublayer(m_logoLayer);
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
    // The root layer follows the view. The picture painted so far was made at the old size and
    // would show stretched, blurred and blocky: the background starts again at the new size in
    // the colour it has, and the shapes pile up afresh.
    if (m_backgroundLayer->frame() == bounds())
        return;
    m_backgroundLayer->setFrame(bounds());
    m_backgroundLayer->setContents(nullptr);
}

} // namespace kaleon::saver
