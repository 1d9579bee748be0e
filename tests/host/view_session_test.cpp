#include "host/view_session.h"

#include "anim/animator.h"
#include "anim/cairo_target.h"
#include "support/solid_view.h"

#include <gtest/gtest.h>

using namespace kaleon;

namespace {

std::unique_ptr<host::ViewSession> sessionOf(std::shared_ptr<test::SolidView>& view, double interval, double now)
{
    const gfx::Rect frame { 0, 0, 40, 20 };
    return host::ViewSession::make(
        [&](gfx::Rect bounds, bool) {
            view = std::make_shared<test::SolidView>(bounds, gfx::Color::fromRGB8(0x26, 0x46, 0x53), interval);
            return view;
        },
        frame, 2.0, host::Screen { frame, 2.0 }, now);
}

} // namespace

TEST(FrameLoop, EachSessionKeepsItsIntervalAndTheLoopSleepsUntilTheNextCall)
{
    std::shared_ptr<test::SolidView> every2;
    std::shared_ptr<test::SolidView> every3;
    const auto first = sessionOf(every2, 2, 10);
    auto second = sessionOf(every3, 3, 10);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(every2->scaleSeen, 2.0);
    EXPECT_TRUE(every2->isAnimating());

    host::FrameLoop loop(1.0 / 30);
    loop.add(*first);
    loop.add(*second);
    const std::vector<std::pair<double, double>> turns { { 10, 2 }, { 12, 1 }, { 13, 1 }, { 14, 2 }, { 16, 2 } };
    for (const auto& [now, wait] : turns) {
        loop.advance(now);
        EXPECT_DOUBLE_EQ(loop.secondsToWait(now), wait) << "at " << now;
    }
    EXPECT_EQ(every2->frames, 4); // 10, 12, 14, 16
    EXPECT_EQ(every3->frames, 3); // 10, 13, 16
    EXPECT_FALSE(loop.isMoving());

    loop.remove(*first);
    loop.advance(18);
    EXPECT_EQ(every2->frames, 4);
    // A session ends its view's animation with it.
    loop.remove(*second);
    second.reset();
    EXPECT_FALSE(every3->isAnimating());
}

TEST(ViewSession, DrawsWhatChangedOnlyAndTheWholePictureAfterAResizeOrANewTarget)
{
    std::shared_ptr<test::SolidView> view;
    const auto session = sessionOf(view, 4.5, 0);
    ASSERT_TRUE(session);
    EXPECT_TRUE(session->draw(0).isEmpty()); // no target yet
    auto target = anim::BitmapTarget::create(80, 40);
    session->setTarget(target.get(), 2.0);
    anim::Animator::shared().tick(0);

    EXPECT_EQ(session->draw(0), (gfx::PixelRect { 0, 0, 80, 40 }));
    EXPECT_EQ(target->bitmap()->pixel(79, 39), gfx::Color::fromRGB8(0x26, 0x46, 0x53));
    EXPECT_FALSE(session->needsDraw());
    EXPECT_TRUE(session->draw(0).isEmpty());

    // Something else drew over a corner: only that is drawn again.
    session->invalidate(gfx::PixelRect { 0, 0, 8, 8 });
    EXPECT_TRUE(session->needsDraw());
    EXPECT_EQ(session->draw(0), (gfx::PixelRect { 0, 0, 8, 8 }));

    view->layer()->setBackgroundColor(gfx::Color::black());
    EXPECT_TRUE(session->needsDraw());
    EXPECT_FALSE(session->draw(0).isEmpty());
    EXPECT_EQ(target->bitmap()->pixel(40, 20), gfx::Color::black());

    session->resize({ 40, 20 }, 2.0);
    EXPECT_FALSE(session->needsDraw()); // nothing changed
    target = anim::BitmapTarget::create(120, 40);
    session->setTarget(target.get(), 2.0);
    session->resize({ 60, 20 }, 2.0);
    EXPECT_EQ(view->frame().size, (gfx::Size { 60, 20 }));
    EXPECT_EQ(session->window().frame().size, (gfx::Size { 60, 20 }));
    EXPECT_EQ(session->draw(0), (gfx::PixelRect { 0, 0, 120, 40 }));
}
