#pragma once

#include "anim/animation.h"
#include "anim/layer.h"
#include "core/notification_center.h"
#include "gfx/bitmap.h"
#include "host/configure_sheet.h"
#include "host/screen_saver_view.h"
#include "supply/direction.h"

#include <cstdint>
#include <memory>

namespace kaleon::saver {

// The saver's view: a root layer holding a background layer (a palette colour, later the
// picture of every shape drawn so far) and, while a shape moves in, that shape's layer.
// It reads its settings afresh when it needs them and restarts its picture when they change.
class KaleonScreensaverView : public host::ScreenSaverView, public anim::AnimationDelegate {
public:
    // Empty only when the view cannot be made.
    static std::shared_ptr<KaleonScreensaverView> make(gfx::Rect frame, bool isPreview);
    ~KaleonScreensaverView() override;

    bool isFlipped() const override { return true; }
    bool hasConfigureSheet() const override { return true; }
    // The window of `configureWindowController`; empty where this process shows no sheets.
    void* configureSheet() override;
    // The sheet's controller, made (with its window, filled from the settings) on first demand
    // and kept for the view's life; empty where this process shows no sheets.
    const std::shared_ptr<host::ConfigureSheet>& configureWindowController();
    // While the logo fades, the first shape waits for it.
    double firstFrameDelay() const override;
    void animateOneFrame() override;

    void setupDefaults();
    // Seconds from one shape to the next: the stored speed ÷ 100, or 4 when the speed is 0 or
    // not a positive finite number.
    double animationInterval() const;
    std::int64_t directionType() const;
    void configurationDidChange(const Notification& notification);
    // Starts the picture afresh in a new colour; a shape still moving is dropped.
    void reset();

    // Makes the next shape layer, sets its start offset for the direction setting and moves the
    // position counter on; does not add the layer to the tree.
    void configureAnimationTransform();
    // Paints the finished shape (with everything under it) into the background's picture and
    // removes it; while the logo shows, removes the logo instead.
    void flattenLayerTree();
    // The picture of the whole tree at the content scale; empty (and logged) when no bitmap can
    // be made, as for a zero size or scale.
    std::shared_ptr<gfx::Bitmap> renderLayersToCGImage();
    // Fades the white logo out over half an interval, above everything.
    void setupLogo();
    void animationDidStop(const anim::BasicAnimation& animation, bool finished) override;

    const std::shared_ptr<anim::Layer>& animatingLayer() const { return m_animatingLayer; }
    const std::shared_ptr<anim::Layer>& backgroundLayer() const { return m_backgroundLayer; }
    const std::shared_ptr<anim::Layer>& logoLayer() const { return m_logoLayer; }
    std::uint64_t viewPositionIndex() const { return m_viewPositionIndex; }
    double contentScale() const { return m_contentScale; }
    std::shared_ptr<host::Window> parentWindow() const { return m_parentWindow.lock(); }
    bool shouldRun() const { return m_shouldRun; }
    bool cannotDraw() const override { return m_pictureFailed; }

protected:
    KaleonScreensaverView(gfx::Rect frame, bool isPreview);
    // Registers for settings changes; needs the view to be owned by a shared_ptr already.
    void observeConfigurationChanges();

    void viewDidMoveToWindow() override;
    void viewDidChangeBackingProperties() override;
    void viewDidChangeFrameSize() override;

    std::shared_ptr<anim::Layer> m_animatingLayer;
    std::shared_ptr<anim::Layer> m_backgroundLayer;
    std::uint64_t m_viewPositionIndex = 0;
    double m_contentScale = 1.0;
    std::weak_ptr<host::Window> m_parentWindow;
    std::shared_ptr<host::ConfigureSheet> m_configureWindowController;
    std::shared_ptr<anim::Layer> m_logoLayer;
    bool m_shouldRun = true;
    // The last picture made, painted into again (in place) while it is the background's.
    std::shared_ptr<gfx::Bitmap> m_picture;
    bool m_pictureFailed = false;
};

} // namespace kaleon::saver

namespace kaleon::saver {

// The size of the background picture for a root layer of `width` × `height` points at
// `scale`: each side truncated to whole points, times the scale, truncated to whole pixels;
// bytes per row = scale × whole width × 4, truncated.
struct PictureGeometry {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t bytesPerRow = 0;
};
PictureGeometry pictureGeometry(double width, double height, double scale);

// The start offset of a shape for a direction and position counter: a translation, or none
// (identity) without a direction (a stored number outside 0 to 5). `size` is the shape
// layer's size and `originY` the y of its frame.
gfx::AffineTransform startOffset(
    std::optional<supply::Direction> direction, std::uint64_t counter, gfx::Size size, double originY);
// The counter after a shape has started under `direction`.
std::uint64_t nextPositionIndex(std::optional<supply::Direction> direction, std::uint64_t counter);

} // namespace kaleon::saver
