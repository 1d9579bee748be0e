#include "gfx/bitmap.h"
#include "support/test_support.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kaleon;

TEST(KaleonRender, SIGTERMLeavesOnlyWholePictures)
{
    test::TemporaryDirectory folder;
    // Large pictures, so the signal lands while one is being flattened or written.
    const std::string script = "\"$0\" --render \"$1\" --frames 500 --size 1920x1080 --scale 2 --speed 100 & "
                               "sleep 1.5; kill -TERM $!; wait $!";
    const auto result = test::runProgram({ "/bin/sh", "-c", script, KALEON_BINARY, folder.path().string() });
    EXPECT_EQ(result.status, 128 + 15) << result.errors;
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(entry.path().extension(), ".png") << "a temporary file was left behind";
        EXPECT_TRUE(gfx::Bitmap::readPNG(entry.path())) << "a picture was cut short";
        ++pictures;
    }
    EXPECT_LT(pictures, 500);
}

namespace {

// A resource folder whose only shape takes seconds to read and draw in a test build: 300,000
// rectangles, packed as the saver reads its shapes.
void makeSlowShapeFolder(const std::filesystem::path& folder)
{
    std::string svg = "<svg xmlns='http://www.w3.org/2000/svg'>";
    for (int i = 0; i < 300'000; ++i)
        svg += "<rect x='" + std::to_string(i % 997) + "' y='" + std::to_string(i % 991) + "' width='9' height='7'/>";
    test::writeFile(folder / "slow.svg", svg + "</svg>");
    std::filesystem::create_directories(folder / "res");
    std::filesystem::copy_file(KALEON_RESOURCES_DIR "/KaleonColors.plist", folder / "res" / "KaleonColors.plist");
    const auto packed = test::runProgram(
        { KALEON_SHAPE_BINARY, "pack", (folder / "slow.svg").string(), "--out", (folder / "res").string() });
    ASSERT_EQ(packed.status, 0) << packed.errors;
}

} // namespace

TEST(KaleonHack, EndsWithinASecondOfItsSignalOrItsDisplayWhateverTheFrameDoes)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display (make test runs the tests under xvfb-run)";
    if (std::system("command -v Xvfb >/dev/null") != 0)
        GTEST_SKIP() << "no Xvfb (Debian package xvfb)";
    test::TemporaryDirectory folder;
    makeSlowShapeFolder(folder.path());
    // The saver starts reading its shape at once; a second later the hack is told to end, by a
    // signal or by its X server going away. It must be gone within about a second.
    const std::string script = R"sh(
        res=$1 how=$2
        if [ "$how" = display ]; then
            display=:$((500 + $$ % 400))
            Xvfb $display -nolisten tcp >/dev/null 2>&1 & server=$!
            for i in $(seq 50); do xdpyinfo -display $display >/dev/null 2>&1 && break; sleep 0.1; done
            export DISPLAY=$display
        fi
        KALEON_RESOURCES=$res "$0" --window --speed 1 --size 320x200 & hack=$!
        sleep 1.2
        start=$(date +%s%N)
        if [ "$how" = display ]; then kill $server; else kill -$how $hack; fi
        wait $hack; status=$?
        echo "$status $(( ($(date +%s%N) - start) / 1000000 ))"
    )sh";
    struct Case {
        const char* how;
        int status; // as the signal ends a process; 0 when the display went
    };
    for (const auto& c : { Case { "TERM", 128 + SIGTERM }, Case { "INT", 128 + SIGINT }, Case { "HUP", 128 + SIGHUP },
             Case { "display", 0 } }) {
        SCOPED_TRACE(c.how);
        const auto result
            = test::runProgram({ "/bin/sh", "-c", script, KALEON_BINARY, (folder / "res").string(), c.how });
        int status = -1;
        int milliseconds = -1;
        ASSERT_EQ(std::sscanf(result.output.c_str(), "%d %d", &status, &milliseconds), 2)
            << result.output << result.errors;
        EXPECT_LT(milliseconds, 1700) << "still running after it was told to end";
        EXPECT_EQ(status, c.status) << result.errors;
    }
}

TEST(KaleonRender, UnreadableOrReadOnlySettingsGiveTheDefaultsAndSaySo)
{
    // Permissions hold only for users other than root: as root, run the saver as nobody.
    const bool root = ::geteuid() == 0;
    if (root && std::system("command -v setpriv >/dev/null") != 0)
        GTEST_SKIP() << "running as root without setpriv (Debian package util-linux)";
    test::TemporaryDirectory folder;
    const auto settings = folder / "config" / "kaleon";
    std::filesystem::create_directories(settings);
    std::filesystem::create_directories(folder / "out");
    test::writeFile(settings / "org.kaleon.saver.plist",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>TGKaleonSpeedDefaultsKey</key><real>200</real>"
        "</dict></plist>");
    std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
    std::filesystem::permissions(folder / "out", std::filesystem::perms::all);
    std::filesystem::permissions(folder / "config", std::filesystem::perms(0755));
    // nobody may not reach the build tree (a clone in a folder of mode 0700): it runs copies.
    std::string binary = KALEON_BINARY;
    std::string resources = KALEON_RESOURCES_DIR;
    if (root) {
        std::filesystem::copy_file(binary, folder / "kaleon");
        std::filesystem::copy(resources, folder / "resources", std::filesystem::copy_options::recursive);
        binary = (folder / "kaleon").string();
        resources = (folder / "resources").string();
    }
    struct Case {
        const char* name;
        std::filesystem::perms folder, file;
        std::string line; // what the saver says
    };
    const Case cases[] = {
        { "read-only folder", std::filesystem::perms(0555), std::filesystem::perms(0444), "" },
        { "file of mode 000", std::filesystem::perms(0755), std::filesystem::perms::none,
            "cannot be read (cannot open " + (settings / "org.kaleon.saver.plist").string()
                + ": Permission denied); using the defaults" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::permissions(settings / "org.kaleon.saver.plist", c.file);
        std::filesystem::permissions(settings, c.folder);
        std::vector<std::string> command;
        if (root)
            command = { "/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups" };
        for (const std::string& argument :
            { std::string("/usr/bin/env"), "XDG_CONFIG_HOME=" + (folder / "config").string(),
                "KALEON_RESOURCES=" + resources, std::string("ASAN_OPTIONS=detect_leaks=0"), binary,
                std::string("--render"), (folder / "out" / c.name).string(), std::string("--frames"), std::string("2"),
                std::string("--size"), std::string("32x18") })
            command.push_back(argument);
        const auto result = test::runProgram(command);
        EXPECT_EQ(result.status, 0) << result.errors;
        EXPECT_NE(result.output.find("Wrote 2 pictures"), std::string::npos) << result.output << result.errors;
        if (c.line.empty())
            EXPECT_EQ(result.errors, "");
        else
            EXPECT_NE(result.errors.find(c.line), std::string::npos) << result.errors;
        std::filesystem::permissions(settings, std::filesystem::perms(0755));
        std::filesystem::permissions(settings / "org.kaleon.saver.plist", std::filesystem::perms(0644));
        EXPECT_NE(test::readFile(settings / "org.kaleon.saver.plist").find("<real>200"), std::string::npos)
            << "the stored settings are kept";
    }
}
