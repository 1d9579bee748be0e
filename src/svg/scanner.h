#pragma once

#include "core/text.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace kaleon::svg {

// A set of single-byte characters. Text is UTF-8; the sets we need are ASCII.
class CharacterSet {
public:
    constexpr CharacterSet() = default;
    constexpr explicit CharacterSet(std::string_view characters)
    {
        for (const char c : characters)
            m_members[static_cast<unsigned char>(c)] = true;
    }
    // Space, tab, line feed, carriage return, vertical tab and form feed.
    static constexpr CharacterSet whitespaceAndNewlines() { return CharacterSet(kWhitespaceCharacters); }

    constexpr bool contains(char c) const { return m_members[static_cast<unsigned char>(c)]; }
    [[nodiscard]] constexpr CharacterSet united(const CharacterSet& other) const
    {
        CharacterSet result = *this;
        for (size_t i = 0; i < m_members.size(); ++i)
            result.m_members[i] = m_members[i] || other.m_members[i];
        return result;
    }

private:
    std::array<bool, 256> m_members {};
};

// Declared in full below; scanFloat reads with it.
const char* readDecimal(const char* begin, const char* end, float& value);

// Reads a text from the front. Every scan first skips characters of the skip set; a scan that
// finds nothing leaves the position where it was before those characters. Positions are byte
// offsets. Numbers are read the same way whatever the process's locale is.
class Scanner {
public:
    Scanner(std::string_view text, const CharacterSet& skip)
        : m_text(text)
        , m_skip(skip)
    {
    }

    size_t position() const { return m_position; }
    void setPosition(size_t position) { m_position = position; }
    bool isAtEnd() const { return m_position >= m_text.size(); }
    std::string_view text() const { return m_text; }

    // One decimal number: optional sign, digits with at most one point (".5" and "5." count),
    // an optional exponent (e or E, optional sign, at least one digit). The result is the
    // 32-bit float nearest to the number; numbers beyond its range read as ±infinity, and
    // numbers too small for it as zero.
    bool scanFloat(float& value)
    {
        const char* begin = m_text.data() + skipped();
        const char* end = readDecimal(begin, m_text.data() + m_text.size(), value);
        if (!end)
            return false;
        m_position = static_cast<size_t>(end - m_text.data());
        return true;
    }
    // Numbers read as by scanFloat, one after another, appended to `values` until one is not
    // found; how many were.
    size_t scanFloats(std::vector<float>& values);
    // The longest run of characters of `set`.
    bool scanCharacters(const CharacterSet& set, std::string_view& run);
    // One character of `set`.
    bool scanCharacter(const CharacterSet& set, char& character)
    {
        const size_t at = skipped();
        if (at >= m_text.size() || !set.contains(m_text[at]))
            return false;
        character = m_text[at];
        m_position = at + 1;
        return true;
    }
    // Whether the character at the position, before any skipping, is one of `set`.
    bool isAt(const CharacterSet& set) const { return m_position < m_text.size() && set.contains(m_text[m_position]); }
    // Everything up to `stop` (or to the end); fails only when there is nothing before it.
    bool scanUpTo(char stop, std::string_view& text);

private:
    size_t skipped() const
    {
        size_t position = m_position;
        while (position < m_text.size() && m_skip.contains(m_text[position]))
            ++position;
        return position;
    }

    std::string_view m_text;
    CharacterSet m_skip;
    size_t m_position = 0;
};

// Reads a decimal number of the grammar above at `begin` (no skipping) into `value`; returns
// the end of the number, or nullptr when none starts there. The value is correctly rounded:
// the same as std::from_chars gives, with the sign and range handled as scanFloat says.
const char* readDecimal(const char* begin, const char* end, float& value);

// The extent of a decimal number at the front of `text` by the grammar above; 0 when none.
size_t decimalNumberLength(std::string_view text);

// Reads a decimal number of exactly that grammar (the whole of `text`) as a 32-bit float.
float decimalToFloat(std::string_view text);

} // namespace kaleon::svg
