#pragma once

#include "anim/timing_function.h"
#include "gfx/affine_transform.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace kaleon::anim {

class BasicAnimation;

// Told when an animation ends: `finished` is true when it ran to its end, false when it (or
// its layer) left the tree early. Called on the main thread, from the animator's tick.
class AnimationDelegate {
public:
    virtual ~AnimationDelegate() = default;
    virtual void animationDidStop(const BasicAnimation& animation, bool finished) = 0;
};

using AnimatedValue = std::variant<gfx::AffineTransform, double>;

// Animates one property of a layer ("transform" or "opacity") from one value to another.
// It begins at the first tick after it was added (the next display update).
class BasicAnimation {
public:
    static std::shared_ptr<BasicAnimation> animationWithKeyPath(std::string keyPath)
    {
        return std::shared_ptr<BasicAnimation>(new BasicAnimation(std::move(keyPath)));
    }

    const std::string& keyPath() const { return m_keyPath; }
    double duration() const { return m_duration; }
    void setDuration(double seconds) { m_duration = seconds; }
    const AnimatedValue& fromValue() const { return m_from; }
    void setFromValue(AnimatedValue value) { m_from = value; }
    const AnimatedValue& toValue() const { return m_to; }
    void setToValue(AnimatedValue value) { m_to = value; }
    bool isRemovedOnCompletion() const { return m_removedOnCompletion; }
    void setRemovedOnCompletion(bool removed) { m_removedOnCompletion = removed; }
    // Forwards: after its end the animation keeps showing its final value.
    bool fillsForwards() const { return m_fillForwards; }
    void setFillModeForwards(bool forwards) { m_fillForwards = forwards; }
    const TimingFunction& timingFunction() const { return m_timing; }
    void setTimingFunction(const TimingFunction& timing) { m_timing = timing; }
    std::shared_ptr<AnimationDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<AnimationDelegate> delegate) { m_delegate = std::move(delegate); }

    std::optional<double> beginTime() const { return m_beginTime; }
    void setBeginTime(double time) { m_beginTime = time; }

    // The value shown at `now`, or empty before it began (or after its end without fill).
    std::optional<AnimatedValue> valueAt(double now) const;

private:
    explicit BasicAnimation(std::string keyPath)
        : m_keyPath(std::move(keyPath))
    {
    }

    std::string m_keyPath;
    double m_duration = 0.25;
    AnimatedValue m_from;
    AnimatedValue m_to;
    bool m_removedOnCompletion = true;
    bool m_fillForwards = false;
    TimingFunction m_timing = TimingFunction::linear();
    std::weak_ptr<AnimationDelegate> m_delegate;
    std::optional<double> m_beginTime;
};

// The time animations run on, in seconds: real time in a window, simulated time in a render.
// The host sets it before each tick.
double currentMediaTime();
void setCurrentMediaTime(double seconds);

} // namespace kaleon::anim
