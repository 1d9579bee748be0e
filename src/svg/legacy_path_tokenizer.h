#pragma once

#include "gfx/path.h"
#include "svg/path_command_builder_internal.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaleon::svg {

// The older, token-based reader of path data. It stands beside pathDefinitionParser and reads
// the same commands (M L H V C S Z, either case; Q and A are recognised but not drawn) with
// simpler rules: the text is cut at blanks, commas, minus signs and command letters.
inline constexpr std::int64_t TGSVGMaxPathComplexity = 1000;
inline constexpr std::int64_t TGSVGMaxParameters = 64;
inline constexpr std::int64_t TGSVGMaxTokenLength = 64;
inline constexpr std::int64_t TGSVGInvalidCommand = 42;
inline constexpr std::string_view TGSVGSeparatorCharString = "-, CcMmLlHhVvZzqQaAsS";
inline constexpr std::string_view TGSVGCommandCharString = "CcMmLlHhVvZzqQaAsS";

// A command letter and the numbers behind it.
class Token {
public:
    explicit Token(std::uint16_t command);

    void addValue(double value) { m_values.push_back(value); }
    double parameter(std::int64_t index) const { return m_values.at(static_cast<size_t>(index)); }
    std::int64_t valence() const { return static_cast<std::int64_t>(m_values.size()); }
    const std::vector<double>& values() const { return m_values; }
    // The numbers joined by "|".
    std::string description() const;
    std::uint16_t command() const { return m_command; }
    void setCommand(std::uint16_t command) { m_command = command; }

private:
    std::uint16_t m_command;
    std::vector<double> m_values;
};

class TGSVGPath {
public:
    static std::shared_ptr<TGSVGPath> SVGPathFromAttribute(std::string_view text);
    explicit TGSVGPath(std::string_view text);

    // The tokens of a text; empty (and logged) when the text does not read.
    std::optional<std::vector<Token>> parseTokens(std::string_view text);
    gfx::Path generateBezier(const std::optional<std::vector<Token>>& tokens);

    void appendSVGMCommand(const Token& token);
    void appendSVGLCommand(const Token& token);
    void appendSVGCCommand(const Token& token);
    void appendSVGSCommand(const Token& token);
    // Curves of `valence` numbers each from the token's values, or `tooFewLog` when it has fewer.
    template<class AddCurve>
    void appendCurves(const Token& token, size_t valence, std::string_view tooFewLog, AddCurve addCurve);

    const gfx::Path& bezierPath() const { return m_bezierPath; }
    // The largest magnitude of the integer part of any number read.
    double pathScale() const { return m_pathScale; }
    const std::optional<std::vector<Token>>& tokens() const { return m_tokens; }

private:
    // The point stays where the last segment ended when a subpath closes.
    PathCommandBuilder m_builder { PathCommandBuilder::AfterClose::LastPoint };
    gfx::Path m_bezierPath;
    double m_pathScale = 0;
    std::optional<std::vector<Token>> m_tokens;
};

} // namespace kaleon::svg
