#pragma once

#include "core/plist.h"
#include "core/result.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kaleon::host {

// The per-module settings store. Reads look at three layers, first match wins:
//   1. volatile values (command-line overrides), never written anywhere;
//   2. the stored values, one XML property list per module under $XDG_CONFIG_HOME/kaleon/;
//   3. registered defaults, which answer reads but are never written.
// Writes go to the stored values and reach the disk on `synchronize`.
class ScreenSaverDefaults {
public:
    // One store per module name and process, so every part of the program sees the same values.
    static std::shared_ptr<ScreenSaverDefaults> defaultsForModuleWithName(std::string_view moduleName);

    // A store over an explicit file, for tests and tools; not shared.
    static std::shared_ptr<ScreenSaverDefaults> makeWithFile(std::filesystem::path file);

    // $XDG_CONFIG_HOME/kaleon/<module>.plist, with ~/.config when XDG_CONFIG_HOME is unset.
    static std::filesystem::path fileForModule(std::string_view moduleName);

    const std::filesystem::path& file() const { return m_file; }

    void registerDefaults(const PlistValue::Dictionary& defaults);
    void setVolatileValue(std::string_view key, PlistValue value);
    void clearVolatileValues() { m_volatile.clear(); }

    // The value under `key`, or empty when no layer has one.
    std::optional<PlistValue> valueForKey(std::string_view key) const;
    // Numbers, booleans and numeric text convert; anything else (or nothing) reads as 0.
    float floatForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;
    bool boolForKey(std::string_view key) const;
    // Empty when the value is missing or not text.
    std::optional<std::string> stringForKey(std::string_view key) const;

    void setValue(std::string_view key, PlistValue value);
    void setFloat(std::string_view key, float value) { setValue(key, PlistValue(static_cast<double>(value))); }
    void setInteger(std::string_view key, std::int64_t value) { setValue(key, PlistValue(value)); }
    void removeObjectForKey(std::string_view key);

    // Writes unsaved changes to disk atomically: a new file beside the old one, flushed to the
    // disk, then renamed over it. On failure the old file stays as it was.
    Result<void> synchronize();

    // Reads the file again, dropping unsaved changes. Returns whether the stored values changed.
    bool reload();

    const PlistValue::Dictionary& storedValues() const { return m_stored; }

private:
    explicit ScreenSaverDefaults(std::filesystem::path file);
    PlistValue::Dictionary load();

    std::filesystem::path m_file;
    PlistValue::Dictionary m_volatile;
    PlistValue::Dictionary m_stored;
    PlistValue::Dictionary m_registered;
    bool m_dirty = false;
    // The file did not parse when last read: it is set aside, not overwritten, on the next write.
    bool m_fileIsDamaged = false;
};

} // namespace kaleon::host
