#include "host/screen_saver_defaults.h"

#include "core/file.h"
#include "core/log.h"
#include "core/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

namespace kaleon::host {

namespace {

Error ioError(const std::string& what, int error)
{
    return Error { "Settings", error, what + ": " + std::strerror(error) };
}

std::optional<double> numberFrom(const PlistValue& value)
{
    if (auto* real = value.asReal())
        return *real;
    if (auto* integer = value.asInteger())
        return static_cast<double>(*integer);
    if (auto* flag = value.asBool())
        return *flag ? 1.0 : 0.0;
    if (auto* text = value.asString()) {
        const char* begin = text->data();
        const char* end = begin + text->size();
        while (begin != end && isWhitespace(*begin))
            ++begin;
        if (begin != end && *begin == '+')
            ++begin;
        double parsed = 0;
        if (std::from_chars(begin, end, parsed).ec == std::errc())
            return parsed;
    }
    return std::nullopt;
}

} // namespace

std::shared_ptr<ScreenSaverDefaults> ScreenSaverDefaults::defaultsForModuleWithName(std::string_view moduleName)
{
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<ScreenSaverDefaults>, std::less<>> stores;
    std::lock_guard lock(mutex);
    auto it = stores.find(moduleName);
    if (it == stores.end())
        it = stores.emplace(std::string(moduleName), makeWithFile(fileForModule(moduleName))).first;
    return it->second;
}

std::shared_ptr<ScreenSaverDefaults> ScreenSaverDefaults::makeWithFile(std::filesystem::path file)
{
    return std::shared_ptr<ScreenSaverDefaults>(new ScreenSaverDefaults(std::move(file)));
}

std::filesystem::path ScreenSaverDefaults::fileForModule(std::string_view moduleName)
{
    std::filesystem::path base;
    if (const char* configHome = std::getenv("XDG_CONFIG_HOME"); configHome && *configHome == '/')
        base = configHome;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = std::filesystem::temp_directory_path();
    return base / "kaleon" / (std::string(moduleName) + ".plist");
}

ScreenSaverDefaults::ScreenSaverDefaults(std::filesystem::path file)
    : m_file(std::move(file))
{
    m_stored = load();
}

PlistValue::Dictionary ScreenSaverDefaults::load()
{
    m_fileIsDamaged = false;
    std::error_code error;
    if (!std::filesystem::exists(m_file, error))
        return {};
    auto contents = readPlistFile(m_file);
    if (!contents || !contents->asDictionary()) {
        m_fileIsDamaged = true;
        log("Settings file " + m_file.string() + " cannot be read ("
            + (contents ? std::string("not a dictionary") : contents.error().message) + "); using the defaults");
        return {};
    }
    return std::move(*contents->asDictionary());
}

void ScreenSaverDefaults::registerDefaults(const PlistValue::Dictionary& defaults)
{
    for (const auto& [key, value] : defaults)
        m_registered.insert_or_assign(key, value);
}

void ScreenSaverDefaults::setVolatileValue(std::string_view key, PlistValue value)
{
    m_volatile.insert_or_assign(std::string(key), std::move(value));
}

std::optional<PlistValue> ScreenSaverDefaults::valueForKey(std::string_view key) const
{
    for (const auto* layer : { &m_volatile, &m_stored, &m_registered }) {
        if (const auto it = layer->find(key); it != layer->end())
            return it->second;
    }
    return std::nullopt;
}

double ScreenSaverDefaults::doubleForKey(std::string_view key) const
{
    const auto value = valueForKey(key);
    return value ? numberFrom(*value).value_or(0.0) : 0.0;
}

float ScreenSaverDefaults::floatForKey(std::string_view key) const
{
    return static_cast<float>(doubleForKey(key));
}

std::int64_t ScreenSaverDefaults::integerForKey(std::string_view key) const
{
    const double number = doubleForKey(key);
    if (!std::isfinite(number))
        return 0;
    constexpr double limit = 9.2e18;
    return static_cast<std::int64_t>(std::clamp(number, -limit, limit));
}

bool ScreenSaverDefaults::boolForKey(std::string_view key) const
{
    if (const auto value = valueForKey(key)) {
        if (auto* text = value->asString())
            return equalsIgnoringCase(*text, "yes") || equalsIgnoringCase(*text, "true") || doubleForKey(key) != 0;
    }
    return doubleForKey(key) != 0;
}

std::optional<std::string> ScreenSaverDefaults::stringForKey(std::string_view key) const
{
    const auto value = valueForKey(key);
    if (!value || !value->asString())
        return std::nullopt;
    return *value->asString();
}

void ScreenSaverDefaults::setValue(std::string_view key, PlistValue value)
{
    m_stored.insert_or_assign(std::string(key), std::move(value));
    m_dirty = true;
}

void ScreenSaverDefaults::removeObjectForKey(std::string_view key)
{
    if (const auto it = m_stored.find(key); it != m_stored.end()) {
        m_stored.erase(it);
        m_dirty = true;
    }
}

Result<void> ScreenSaverDefaults::synchronize()
{
    if (!m_dirty)
        return {};
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    if (error)
        return ioError("cannot create " + m_file.parent_path().string(), error.value());

    if (m_fileIsDamaged) {
        // Keep what we could not read for the user to look at, rather than writing over it.
        std::filesystem::path aside = m_file;
        aside += ".damaged";
        std::filesystem::rename(m_file, aside, error);
        if (!error) {
            log("Settings file " + m_file.string() + " was set aside as " + aside.string());
            m_fileIsDamaged = false;
        }
    }

    if (auto written = replaceFile(m_file, xmlPlist(PlistValue(m_stored))); !written)
        return Error { "Settings", written.error().code, written.error().message };
    m_dirty = false;
    return {};
}

bool ScreenSaverDefaults::reload()
{
    auto fresh = load();
    m_dirty = false;
    if (fresh == m_stored)
        return false;
    m_stored = std::move(fresh);
    return true;
}

} // namespace kaleon::host
