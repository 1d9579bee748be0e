#pragma once

#include "core/random.h"
#include "supply/defaults_keys.h"
#include "supply/svg_manager.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string_view>

namespace kaleon::test {

// What the saver keeps between tests of one process: the three stored settings, the values
// that command-line options set for a run, the shared supplier's shape folder and its
// palette, and the random picks. Each test starts from the defaults, with picks seeded by
// `seed()`, and leaves them so.
class SaverStateTest : public testing::Test {
protected:
    virtual std::uint64_t seed() const { return 1; }

    void SetUp() override
    {
        clearSaverState();
        seedRandom(seed());
    }
    void TearDown() override { clearSaverState(); }

    static void clearSaverState()
    {
        const auto defaults = supply::moduleDefaults();
        for (const std::string_view key : { supply::TGKaleonSpeedDefaultsKey, supply::TGKaleonColorPaletteDefaultsKey,
                 supply::TGKaleonAnimationDirectionDefaultsKey })
            defaults->removeObjectForKey(key);
        defaults->clearVolatileValues();
        const auto supplier = supply::TGSVGManager::instance();
        supplier->setSvgPath(std::nullopt);
        supplier->updateColorPalette();
    }
};

} // namespace kaleon::test
