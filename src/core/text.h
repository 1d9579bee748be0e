#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaleon {

// Space, tab, line feed, vertical tab, form feed and carriage return: C's white space.
inline constexpr std::string_view kWhitespaceCharacters = " \t\n\v\f\r";

constexpr bool isWhitespace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// `text` without white space at either end.
constexpr std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isWhitespace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhitespace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Whether two texts are equal when ASCII letters are compared without their case.
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The length of the well-formed UTF-8 sequence that starts at `text[at]` (no overlong forms,
// no surrogates, nothing above U+10FFFF); 0 when none starts there.
size_t utf8SequenceLength(std::string_view text, size_t at);
bool isValidUTF8(std::string_view text);

// Appends attribute or element text as XML reads it back unchanged: markup characters and the
// white space that attribute normalisation would turn into spaces become references; other
// control characters, which XML cannot hold at all, are left out.
void appendXmlEscaped(std::string& out, std::string_view text);
std::string xmlEscaped(std::string_view text);

// `text` safe to print on a line of a terminal or a log: control characters (and DEL) as C
// escapes ("\n", "\t", "\x1b"), a backslash doubled, everything else as it is. A name read
// from a file or a folder can then never forge a line of its own.
std::string printable(std::string_view text);

// The value of a hexadecimal digit (either case); -1 for any other character.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Bytes from pairs of hexadecimal digits and nothing else; empty when the text is not that.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);
// Two lower-case hexadecimal digits per byte.
std::string hexString(std::span<const std::uint8_t> bytes);

// Walks the tags of XML text without parsing it, for limits judged before a parser sees the
// text: calls `visit` with the text after each '<' (comments and CDATA sections, which may
// hold '<', are passed over). `visit` returns how much of that text to pass over, or npos to
// stop. Returns whether a visit stopped the walk.
template<class Visit>
bool anyXmlTag(std::string_view text, Visit visit)
{
    for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        const std::string_view rest = text.substr(at + 1);
        size_t skip = 0;
        if (rest.starts_with("!--"))
            skip = rest.find("-->");
        else if (rest.starts_with("![CDATA["))
            skip = rest.find("]]>");
        else if (skip = visit(rest); skip == std::string_view::npos)
            return true;
        if (skip == std::string_view::npos || skip >= rest.size())
            return false;
        at += skip;
    }
    return false;
}

} // namespace kaleon
