#pragma once

#include "anim/animation.h"
#include "anim/layer.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kaleon::anim {

// Runs animations: starts them at the next tick, ends them, and tells their delegates.
class Animator {
public:
    static Animator& shared();

    // Advances every animation to `now` (also the current media time) and calls the delegates
    // of those that ended or were stopped since the last tick.
    void tick(double now);
    // Whether any animation has yet to reach its end (so frames must keep coming).
    bool hasRunningAnimations();

private:
    friend class Layer;
    void track(const std::shared_ptr<Layer>& layer);
    void stopped(std::shared_ptr<BasicAnimation> animation, bool finished);

    std::vector<std::weak_ptr<Layer>> m_layers;
    std::vector<std::pair<std::shared_ptr<BasicAnimation>, bool>> m_stops;
    std::optional<double> m_lastTick;
};

} // namespace kaleon::anim
