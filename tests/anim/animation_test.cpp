#include "anim/animation.h"
#include "anim/animator.h"
#include "anim/layer.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kaleon;
using anim::Animator;
using anim::BasicAnimation;
using anim::Layer;

namespace {

struct Recorder : anim::AnimationDelegate {
    std::vector<bool> stops;
    void animationDidStop(const BasicAnimation&, bool finished) override { stops.push_back(finished); }
};

// y of the curve at x, found independently by bisection on the parameter.
double reference(double x1, double y1, double x2, double y2, double x)
{
    const auto b = [](double t, double p1, double p2) {
        return 3 * (1 - t) * (1 - t) * t * p1 + 3 * (1 - t) * t * t * p2 + t * t * t;
    };
    double low = 0;
    double high = 1;
    for (int i = 0; i < 200; ++i) {
        const double mid = (low + high) / 2;
        (b(mid, x1, x2) < x ? low : high) = mid;
    }
    return b((low + high) / 2, y1, y2);
}

std::shared_ptr<BasicAnimation> slide(double duration, const std::shared_ptr<Recorder>& delegate)
{
    auto animation = BasicAnimation::animationWithKeyPath("transform");
    animation->setDuration(duration);
    animation->setFromValue(gfx::AffineTransform::translation(-100, 0));
    animation->setToValue(gfx::AffineTransform());
    animation->setTimingFunction(anim::TimingFunction::easeInEaseOut());
    animation->setDelegate(delegate);
    return animation;
}

} // namespace

TEST(TimingFunction, EaseInEaseOutFollowsItsCurve)
{
    const auto ease = anim::TimingFunction::easeInEaseOut();
    EXPECT_EQ(ease.valueAt(0), 0);
    EXPECT_EQ(ease.valueAt(1), 1);
    EXPECT_EQ(ease.valueAt(-1), 0);
    EXPECT_EQ(ease.valueAt(2), 1);
    EXPECT_NEAR(ease.valueAt(0.5), 0.5, 1e-9);
    for (double x : { 0.1, 0.25, 0.33, 0.7, 0.9, 0.999 }) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(ease.valueAt(x), reference(0.42, 0, 0.58, 1, x), 1e-9);
        EXPECT_NEAR(ease.valueAt(x) + ease.valueAt(1 - x), 1.0, 1e-9) << "symmetric";
    }
    EXPECT_LT(ease.valueAt(0.1), 0.1) << "eases in";
    EXPECT_NEAR(anim::TimingFunction::linear().valueAt(0.3), 0.3, 1e-9);
}

TEST(BasicAnimation, BeginsAtTheNextTickAndEndsWithItsDelegateTold)
{
    auto& animator = Animator::shared();
    auto layer = Layer::create();
    auto root = Layer::create();
    root->addSublayer(layer);
    auto delegate = std::make_shared<Recorder>();
    auto animation = slide(2.0, delegate);
    animation->setRemovedOnCompletion(false);
    animation->setFillModeForwards(true);
    layer->setTransform(gfx::AffineTransform::translation(-100, 0));
    layer->addAnimation(animation, "transform");

    animator.tick(10.0);
    EXPECT_EQ(animation->beginTime(), 10.0);
    EXPECT_TRUE(animator.hasRunningAnimations());
    EXPECT_EQ(layer->presentationTransform(10.0), gfx::AffineTransform::translation(-100, 0));
    EXPECT_NEAR(layer->presentationTransform(11.0).tx(), -50, 1e-9);
    EXPECT_EQ(layer->transform(), gfx::AffineTransform::translation(-100, 0)) << "the model does not move";

    animator.tick(11.9);
    EXPECT_TRUE(delegate->stops.empty());
    animator.tick(12.0);
    EXPECT_EQ(delegate->stops, std::vector<bool> { true });
    EXPECT_FALSE(animator.hasRunningAnimations());
    // Not removed, filling forwards: it keeps showing its end.
    EXPECT_EQ(layer->presentationTransform(20.0), gfx::AffineTransform());
    animator.tick(13.0);
    EXPECT_EQ(delegate->stops.size(), 1u);
}

TEST(BasicAnimation, LeavingTheTreeEarlyReportsNotFinished)
{
    auto& animator = Animator::shared();
    auto root = Layer::create();
    auto layer = Layer::create();
    root->addSublayer(layer);
    auto delegate = std::make_shared<Recorder>();
    layer->addAnimation(slide(2.0, delegate), "transform");
    animator.tick(0);
    layer->removeFromSuperlayer();
    EXPECT_TRUE(delegate->stops.empty()) << "told at the next tick, not inside the removal";
    animator.tick(0.5);
    EXPECT_EQ(delegate->stops, std::vector<bool> { false });
    EXPECT_FALSE(layer->hasAnimations());
    animator.tick(5);
    EXPECT_EQ(delegate->stops.size(), 1u);
}

TEST(BasicAnimation, RemovedOnCompletionLeavesTheModelValue)
{
    auto& animator = Animator::shared();
    auto layer = Layer::create();
    auto delegate = std::make_shared<Recorder>();
    auto fade = BasicAnimation::animationWithKeyPath("opacity");
    fade->setDuration(1);
    fade->setFromValue(1.0);
    fade->setToValue(0.0);
    fade->setDelegate(delegate);
    layer->addAnimation(fade, "fade");
    animator.tick(0);
    EXPECT_NEAR(layer->presentationOpacity(0.5), 0.5, 1e-9);
    animator.tick(1);
    EXPECT_EQ(delegate->stops, std::vector<bool> { true });
    EXPECT_FALSE(layer->hasAnimations());
    EXPECT_EQ(layer->presentationOpacity(2), 1.0);
}

TEST(BasicAnimation, AGoneDelegateIsNotCalled)
{
    auto& animator = Animator::shared();
    auto layer = Layer::create();
    {
        auto delegate = std::make_shared<Recorder>();
        layer->addAnimation(slide(1.0, delegate), "transform");
    }
    animator.tick(0);
    animator.tick(2);
    EXPECT_FALSE(layer->hasAnimations());
}
