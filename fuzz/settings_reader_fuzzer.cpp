// A settings file as the store reads it (a file on disk, as the saver finds it), the typed
// reads the saver makes, then a change saved over it and read back by a second store.
#include "fuzz_support.h"
#include "host/screen_saver_defaults.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

const std::filesystem::path& settingsFile()
{
    static const std::filesystem::path file = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "kaleon-settings-fuzz-XXXXXX").string();
        if (!::mkdtemp(folder.data()))
            std::abort();
        return std::filesystem::path(folder) / "org.kaleon.saver.plist";
    }();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const auto& file = settingsFile();
    std::filesystem::remove_all(file.parent_path());
    std::filesystem::create_directories(file.parent_path());
    if (std::FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    const auto store = kaleon::host::ScreenSaverDefaults::makeWithFile(file);
    const float speed = store->floatForKey("TGKaleonSpeedDefaultsKey");
    (void)std::isfinite(speed);
    (void)store->integerForKey("TGKaleonAnimationDirectionDefaultsKey");
    (void)store->stringForKey("TGKaleonColorPaletteDefaultsKey");

    store->setValue("TGKaleonAnimationDirectionDefaultsKey", kaleon::PlistValue(3));
    if (!store->synchronize())
        return 0;
    const auto reader = kaleon::host::ScreenSaverDefaults::makeWithFile(file);
    if (reader->integerForKey("TGKaleonAnimationDirectionDefaultsKey") != 3)
        __builtin_trap();
    return 0;
}
