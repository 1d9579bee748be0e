#pragma once

#include "host/screen_saver_defaults.h"

#include <memory>
#include <string_view>

namespace kaleon::supply {

// The module's identifier: it names the settings store and finds the resource folder.
inline constexpr std::string_view TGKaleonDefaultsModuleName = "org.kaleon.saver";

// The settings keys; each key's text is its own name, which is what the store persists.
inline constexpr std::string_view TGKaleonSpeedDefaultsKey = "TGKaleonSpeedDefaultsKey";
inline constexpr std::string_view TGKaleonColorPaletteDefaultsKey = "TGKaleonColorPaletteDefaultsKey";
inline constexpr std::string_view TGKaleonAnimationDirectionDefaultsKey = "TGKaleonAnimationDirectionDefaultsKey";

// Posted with no object by whoever changed a setting.
inline constexpr std::string_view TGKaleonConfigurationDidChangeNotificationName
    = "TGKaleonConfigurationDidChangeNotificationName";

// Kaleon's settings store.
inline std::shared_ptr<host::ScreenSaverDefaults> moduleDefaults()
{
    return host::ScreenSaverDefaults::defaultsForModuleWithName(TGKaleonDefaultsModuleName);
}

inline constexpr float kDefaultSpeed = 450.0f;
// The speeds that count, in hundredths of a second; a stored one outside is taken as the nearest.
inline constexpr float kFastestSpeed = 1.0f;
inline constexpr float kSlowestSpeed = 1.0e6f;
inline constexpr std::string_view kDefaultPaletteFilename = "KaleonColors.plist";

} // namespace kaleon::supply
