#pragma once

#include "core/result.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kaleon {

// One value of a property list: a tree of dictionaries, arrays, strings, numbers, booleans
// and data. Reading and writing go through libplist (XML and binary).
class PlistValue {
public:
    using Array = std::vector<PlistValue>;
    using Dictionary = std::map<std::string, PlistValue, std::less<>>;
    using Data = std::vector<std::uint8_t>;

    PlistValue() = default;
    PlistValue(bool value)
        : m_value(value)
    {
    }
    PlistValue(std::int64_t value)
        : m_value(value)
    {
    }
    PlistValue(int value)
        : m_value(std::int64_t { value })
    {
    }
    PlistValue(double value)
        : m_value(value)
    {
    }
    PlistValue(std::string value)
        : m_value(std::move(value))
    {
    }
    PlistValue(const char* value)
        : m_value(std::string(value))
    {
    }
    PlistValue(Array value)
        : m_value(std::move(value))
    {
    }
    PlistValue(Dictionary value)
        : m_value(std::move(value))
    {
    }
    PlistValue(Data value)
        : m_value(std::move(value))
    {
    }

    bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }
    const bool* asBool() const { return std::get_if<bool>(&m_value); }
    const std::int64_t* asInteger() const { return std::get_if<std::int64_t>(&m_value); }
    const double* asReal() const { return std::get_if<double>(&m_value); }
    const std::string* asString() const { return std::get_if<std::string>(&m_value); }
    const Array* asArray() const { return std::get_if<Array>(&m_value); }
    const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&m_value); }
    Dictionary* asDictionary() { return std::get_if<Dictionary>(&m_value); }
    const Data* asData() const { return std::get_if<Data>(&m_value); }

    // The entry under `key` of a dictionary; nullptr when this is no dictionary or has no such key.
    const PlistValue* find(std::string_view key) const;

    friend bool operator==(const PlistValue&, const PlistValue&) = default;

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Array, Dictionary, Data> m_value;
};

inline constexpr std::string_view kPlistErrorDomain = "PropertyList";

// Reads an XML or binary property list (told apart by its first bytes).
Result<PlistValue> parsePlist(std::span<const std::uint8_t> bytes);
Result<PlistValue> readPlistFile(const std::filesystem::path& path);

std::string xmlPlist(const PlistValue& value);
std::vector<std::uint8_t> binaryPlist(const PlistValue& value);

} // namespace kaleon
