#include "host/settings_watcher.h"

#include "core/notification_center.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace kaleon;
using host::ScreenSaverDefaults;

namespace {

constexpr const char* kChanged = "SettingsWatcherTestDidChange";

struct Counter {
    int count = 0;
    void changed(const Notification&) { ++count; }
};

} // namespace

TEST(SettingsWatcher, PostsWhenAnotherWriterChangedTheFile)
{
    test::TemporaryDirectory folder;
    const auto file = folder / "kaleon" / "module.plist";
    auto mine = ScreenSaverDefaults::makeWithFile(file);
    host::SettingsWatcher watcher(mine, kChanged);
    ASSERT_GE(watcher.fileDescriptor(), 0);
    auto counter = std::make_shared<Counter>();
    NotificationCenter::defaultCenter().addObserver(counter, kChanged, &Counter::changed);

    EXPECT_FALSE(watcher.poll());

    auto theirs = ScreenSaverDefaults::makeWithFile(file);
    theirs->setValue("palette", PlistValue("Ocean.plist"));
    ASSERT_TRUE(theirs->synchronize());
    EXPECT_TRUE(watcher.poll());
    EXPECT_EQ(counter->count, 1);
    EXPECT_EQ(mine->stringForKey("palette"), "Ocean.plist");

    // Our own write changes nothing we did not already know.
    mine->setValue("palette", PlistValue("Forest.plist"));
    ASSERT_TRUE(mine->synchronize());
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(counter->count, 1);

    // Other files in the folder are not ours to watch.
    test::writeFile(folder / "kaleon" / "other.plist", "x");
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(counter->count, 1);
}
