#include "core/notification_center.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kaleon;

namespace {

struct Recorder {
    std::vector<std::string>* journal = nullptr;
    std::string label;
    std::function<void()> onNotify;

    void notified(const Notification& notification)
    {
        journal->push_back(label + ":" + notification.name);
        if (onNotify)
            onNotify();
    }
};

std::shared_ptr<Recorder> makeRecorder(std::vector<std::string>& journal, std::string label)
{
    auto recorder = std::make_shared<Recorder>();
    recorder->journal = &journal;
    recorder->label = std::move(label);
    return recorder;
}

} // namespace

TEST(NotificationCenter, DeliversByNameInRegistrationOrder)
{
    NotificationCenter center;
    std::vector<std::string> journal;
    auto a = makeRecorder(journal, "a");
    auto b = makeRecorder(journal, "b");
    center.addObserver(b, "changed", &Recorder::notified);
    center.addObserver(a, "changed", &Recorder::notified);
    center.addObserver(a, "other", &Recorder::notified);
    center.post("changed");
    EXPECT_EQ(journal, (std::vector<std::string> { "b:changed", "a:changed" }));
    journal.clear();
    center.post("unknown");
    EXPECT_TRUE(journal.empty());
}

TEST(NotificationCenter, ObserverMayRemoveItselfOrAnotherDuringDelivery)
{
    NotificationCenter center;
    std::vector<std::string> journal;
    auto first = makeRecorder(journal, "first");
    auto second = makeRecorder(journal, "second");
    auto third = makeRecorder(journal, "third");
    first->onNotify = [&] {
        center.removeObserver(first.get());
        center.removeObserver(second.get(), "changed");
    };
    center.addObserver(first, "changed", &Recorder::notified);
    center.addObserver(second, "changed", &Recorder::notified);
    center.addObserver(third, "changed", &Recorder::notified);

    center.post("changed");
    EXPECT_EQ(journal, (std::vector<std::string> { "first:changed", "third:changed" }));
    journal.clear();
    center.post("changed");
    EXPECT_EQ(journal, (std::vector<std::string> { "third:changed" }));
}

TEST(NotificationCenter, DestroyedObserversAreNotCalled)
{
    NotificationCenter center;
    std::vector<std::string> journal;
    auto kept = makeRecorder(journal, "kept");
    {
        auto gone = makeRecorder(journal, "gone");
        center.addObserver(gone, "changed", &Recorder::notified);
    }
    center.addObserver(kept, "changed", &Recorder::notified);
    center.post("changed");
    EXPECT_EQ(journal, (std::vector<std::string> { "kept:changed" }));
    EXPECT_EQ(center.observerCount(), 1u);
}

TEST(NotificationCenter, ObserverDestroyedByAnEarlierObserverIsSkipped)
{
    NotificationCenter center;
    std::vector<std::string> journal;
    auto killer = makeRecorder(journal, "killer");
    auto victim = makeRecorder(journal, "victim");
    std::weak_ptr<Recorder> watch = victim;
    killer->onNotify = [&] { victim.reset(); };
    center.addObserver(killer, "changed", &Recorder::notified);
    center.addObserver(victim, "changed", &Recorder::notified);
    center.post("changed");
    EXPECT_EQ(journal, (std::vector<std::string> { "killer:changed" }));
    EXPECT_TRUE(watch.expired());
}
