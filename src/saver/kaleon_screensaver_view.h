#pragma once

#include "anim/layer.h"
#include "core/notification_center.h"
#include "host/screen_saver_view.h"

#include <cstdint>
#include <memory>

namespace kaleon::saver {

// The saver's view: a root layer holding a background layer (a palette colour, later the
// picture of every shape drawn so far) and, while a shape moves in, that shape's layer.
// It reads its settings afresh when it needs them and restarts its picture when they change.
class KaleonScreensaverView : public host::ScreenSaverView {
public:
    // Empty only when the view cannot be made.
    static std::shared_ptr<KaleonScreensaverView> make(gfx::Rect frame, bool isPreview);
    ~KaleonScreensaverView() override;

    bool isFlipped() const override { return true; }
    void animateOneFrame() override;

    void setupDefaults();
    // Seconds from one shape to the next: the stored speed ÷ 100, or 4 when the speed is 0 or
    // not a positive finite number.
    double animationInterval() const;
    std::int64_t directionType() const;
    void configurationDidChange(const Notification& notification);
    // Starts the picture afresh in a new colour; a shape still moving is dropped.
    void reset();

    const std::shared_ptr<anim::Layer>& animatingLayer() const { return m_animatingLayer; }
    const std::shared_ptr<anim::Layer>& backgroundLayer() const { return m_backgroundLayer; }
    const std::shared_ptr<anim::Layer>& logoLayer() const { return m_logoLayer; }
    std::uint64_t viewPositionIndex() const { return m_viewPositionIndex; }
    double contentScale() const { return m_contentScale; }
    std::shared_ptr<host::Window> parentWindow() const { return m_parentWindow.lock(); }
    bool shouldRun() const { return m_shouldRun; }

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
    std::shared_ptr<anim::Layer> m_logoLayer;
    bool m_shouldRun = true;
};

} // namespace kaleon::saver
