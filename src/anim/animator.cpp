#include "anim/animator.h"

#include <algorithm>

namespace kaleon::anim {

Animator& Animator::shared()
{
    static Animator animator;
    return animator;
}

void Animator::track(const std::shared_ptr<Layer>& layer)
{
    const auto known
        = std::find_if(m_layers.begin(), m_layers.end(), [&](const auto& weak) { return weak.lock() == layer; });
    if (known == m_layers.end())
        m_layers.push_back(layer);
}

void Animator::stopped(std::shared_ptr<BasicAnimation> animation, bool finished)
{
    m_stops.emplace_back(std::move(animation), finished);
}

void Animator::tick(double now)
{
    setCurrentMediaTime(now);
    std::erase_if(m_layers, [](const auto& weak) { return weak.expired(); });
    // Time that went back would hold every animation where it was until it caught up: they
    // move back with it instead, and go on from where they were.
    if (m_lastTick && now < *m_lastTick) {
        for (const auto& weak : m_layers) {
            if (const auto layer = weak.lock()) {
                for (auto& running : layer->m_animations) {
                    if (const auto begin = running.animation->beginTime())
                        running.animation->setBeginTime(*begin - (*m_lastTick - now));
                }
            }
        }
    }
    m_lastTick = now;
    const auto layers = m_layers;
    for (const auto& weak : layers) {
        const auto layer = weak.lock();
        if (!layer)
            continue;
        bool changed = false;
        for (auto& running : layer->m_animations) {
            auto& animation = *running.animation;
            if (!animation.beginTime()) {
                animation.setBeginTime(now);
                changed = true;
            }
            if (!running.ended && now >= *animation.beginTime() + animation.duration()) {
                running.ended = true;
                m_stops.emplace_back(running.animation, true);
            }
            changed = changed || !running.ended;
        }
        const auto removed = std::erase_if(layer->m_animations,
            [](const auto& running) { return running.ended && running.animation->isRemovedOnCompletion(); });
        if (changed || removed > 0)
            layer->setNeedsRedisplay();
    }
    std::erase_if(m_layers, [](const auto& weak) {
        const auto layer = weak.lock();
        return !layer || layer->m_animations.empty();
    });
    // Delegates may add and remove layers and animations: call them last, from a copy.
    const auto stops = std::exchange(m_stops, {});
    for (const auto& [animation, finished] : stops) {
        if (const auto delegate = animation->delegate())
            delegate->animationDidStop(*animation, finished);
    }
}

bool Animator::hasRunningAnimations()
{
    for (const auto& weak : m_layers) {
        const auto layer = weak.lock();
        if (!layer)
            continue;
        for (const auto& running : layer->m_animations) {
            if (!running.ended)
                return true;
        }
    }
    return !m_stops.empty();
}

} // namespace kaleon::anim
