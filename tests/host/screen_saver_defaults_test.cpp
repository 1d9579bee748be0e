#include "host/screen_saver_defaults.h"

#include "core/log.h"
#include "support/test_support.h"

#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kaleon;
using host::ScreenSaverDefaults;

namespace {

std::vector<std::string> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a child process and returns its exit status.
template<class Body>
int inChildProcess(Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

} // namespace

TEST(ScreenSaverDefaults, ModuleFileFollowsXdgConfigHome)
{
    {
        test::ScopedEnvironment environment("XDG_CONFIG_HOME", "/somewhere/config");
        EXPECT_EQ(ScreenSaverDefaults::fileForModule("org.example"), "/somewhere/config/kaleon/org.example.plist");
    }
    test::ScopedEnvironment noXdg("XDG_CONFIG_HOME", std::nullopt);
    test::ScopedEnvironment home("HOME", "/home/someone");
    EXPECT_EQ(ScreenSaverDefaults::fileForModule("org.example"), "/home/someone/.config/kaleon/org.example.plist");
}

TEST(ScreenSaverDefaults, LayersAnswerInOrderAndOnlyStoredValuesAreWritten)
{
    test::TemporaryDirectory folder;
    auto defaults = ScreenSaverDefaults::makeWithFile(folder / "kaleon" / "module.plist");
    defaults->registerDefaults({ { "speed", PlistValue(450.0) }, { "palette", PlistValue("KaleonColors.plist") } });
    EXPECT_FLOAT_EQ(defaults->floatForKey("speed"), 450.0f);

    defaults->setFloat("speed", 100.0f);
    EXPECT_FLOAT_EQ(defaults->floatForKey("speed"), 100.0f);
    defaults->setVolatileValue("speed", PlistValue(20.0));
    EXPECT_FLOAT_EQ(defaults->floatForKey("speed"), 20.0f);
    ASSERT_TRUE(defaults->synchronize());

    const auto stored = readPlistFile(defaults->file());
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, PlistValue(PlistValue::Dictionary { { "speed", PlistValue(100.0) } }));
}

TEST(ScreenSaverDefaults, TypedReadsOfMissingOrOddValuesGiveZero)
{
    test::TemporaryDirectory folder;
    auto defaults = ScreenSaverDefaults::makeWithFile(folder / "module.plist");
    EXPECT_EQ(defaults->floatForKey("absent"), 0.0f);
    EXPECT_EQ(defaults->integerForKey("absent"), 0);
    EXPECT_FALSE(defaults->boolForKey("absent"));
    EXPECT_EQ(defaults->stringForKey("absent"), std::nullopt);
    EXPECT_EQ(defaults->valueForKey("absent"), std::nullopt);

    defaults->setValue("text", PlistValue("not a number"));
    defaults->setValue("numeric", PlistValue(" 12.5"));
    defaults->setValue("list", PlistValue(PlistValue::Array { PlistValue(1) }));
    defaults->setValue("real", PlistValue(3.9));
    defaults->setValue("huge", PlistValue(1e300));
    EXPECT_EQ(defaults->floatForKey("text"), 0.0f);
    EXPECT_EQ(defaults->floatForKey("numeric"), 12.5f);
    EXPECT_EQ(defaults->integerForKey("list"), 0);
    EXPECT_EQ(defaults->integerForKey("real"), 3);
    EXPECT_GT(defaults->integerForKey("huge"), 0);
    EXPECT_EQ(defaults->stringForKey("real"), std::nullopt);
    EXPECT_EQ(defaults->stringForKey("text"), "not a number");
}

TEST(ScreenSaverDefaults, PersistsAcrossProcesses)
{
    test::TemporaryDirectory folder;
    const auto file = folder / "kaleon" / "module.plist";
    const int status = inChildProcess([&] {
        auto writer = ScreenSaverDefaults::makeWithFile(file);
        writer->setValue("TGKaleonColorPaletteDefaultsKey", PlistValue("Ocean.plist"));
        writer->setInteger("TGKaleonAnimationDirectionDefaultsKey", 3);
        ::_exit(writer->synchronize() ? 0 : 1);
    });
    ASSERT_EQ(status, 0);
    auto reader = ScreenSaverDefaults::makeWithFile(file);
    EXPECT_EQ(reader->stringForKey("TGKaleonColorPaletteDefaultsKey"), "Ocean.plist");
    EXPECT_EQ(reader->integerForKey("TGKaleonAnimationDirectionDefaultsKey"), 3);
}

TEST(ScreenSaverDefaults, FailedWriteLeavesThePreviousSettings)
{
    test::TemporaryDirectory folder;
    const auto file = folder / "module.plist";
    auto first = ScreenSaverDefaults::makeWithFile(file);
    first->setValue("palette", PlistValue("Ocean.plist"));
    ASSERT_TRUE(first->synchronize());
    const std::string before = test::readFile(file);

    // A disk that fills up halfway through the write: the file size limit cuts it short.
    const int status = inChildProcess([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 64, 64 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        auto writer = ScreenSaverDefaults::makeWithFile(file);
        writer->setValue("palette", PlistValue(std::string(10000, 'x')));
        ScopedLogCapture quiet;
        ::_exit(writer->synchronize() ? 0 : 3);
    });
    EXPECT_EQ(status, 3);
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string> { "module.plist" });
}

TEST(ScreenSaverDefaults, DamagedFileReadsAsEmptyAndIsKept)
{
    const char* contents[] = { "garbage \x01\x02 not a plist", "<?xml version=\"1.0\"?><plist><array/></plist>" };
    for (const char* text : contents) {
        SCOPED_TRACE(text);
        test::TemporaryDirectory folder;
        const auto file = folder / "module.plist";
        test::writeFile(file, text);
        ScopedLogCapture capture;
        auto defaults = ScreenSaverDefaults::makeWithFile(file);
        defaults->registerDefaults({ { "speed", PlistValue(450.0) } });
        EXPECT_EQ(capture.lines().size(), 1u);
        EXPECT_TRUE(defaults->storedValues().empty());
        EXPECT_FLOAT_EQ(defaults->floatForKey("speed"), 450.0f);
        EXPECT_EQ(test::readFile(file), text);

        // The next write keeps the damaged file beside the new one.
        defaults->setFloat("speed", 100.0f);
        ASSERT_TRUE(defaults->synchronize());
        EXPECT_EQ(test::readFile(folder / "module.plist.damaged"), text);
        EXPECT_FLOAT_EQ(ScreenSaverDefaults::makeWithFile(file)->floatForKey("speed"), 100.0f);
    }
}

TEST(ScreenSaverDefaults, ReloadTellsWhetherStoredValuesChanged)
{
    test::TemporaryDirectory folder;
    const auto file = folder / "module.plist";
    auto mine = ScreenSaverDefaults::makeWithFile(file);
    auto theirs = ScreenSaverDefaults::makeWithFile(file);
    mine->setValue("palette", PlistValue("Ocean.plist"));
    ASSERT_TRUE(mine->synchronize());
    EXPECT_FALSE(mine->reload());
    EXPECT_TRUE(theirs->reload());
    EXPECT_EQ(theirs->stringForKey("palette"), "Ocean.plist");
    EXPECT_FALSE(theirs->reload());
}

TEST(ScreenSaverDefaults, SharedPerModuleName)
{
    EXPECT_EQ(ScreenSaverDefaults::defaultsForModuleWithName("org.example.a"),
        ScreenSaverDefaults::defaultsForModuleWithName("org.example.a"));
    EXPECT_NE(ScreenSaverDefaults::defaultsForModuleWithName("org.example.a"),
        ScreenSaverDefaults::defaultsForModuleWithName("org.example.b"));
    EXPECT_EQ(ScreenSaverDefaults::defaultsForModuleWithName("org.example.a")->file(),
        test::configHome() / "kaleon" / "org.example.a.plist");
}
