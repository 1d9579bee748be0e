#pragma once

#include "anim/layer.h"
#include "host/screen_saver_view.h"

namespace kaleon::test {

// A view with a solid background that counts its frame calls: what a host test shows.
class SolidView : public host::ScreenSaverView {
public:
    SolidView(gfx::Rect frame, gfx::Color color, double interval = 4.5)
        : host::ScreenSaverView(frame, false)
    {
        auto root = anim::Layer::create();
        root->setBackgroundColor(color);
        setLayer(root);
        setAnimationTimeInterval(interval);
    }
    void animateOneFrame() override { ++frames; }
    void viewDidMoveToWindow() override { scaleSeen = window() ? window()->backingScaleFactor() : 0; }
    int frames = 0;
    double scaleSeen = 0;
};

} // namespace kaleon::test
