#include "svg/legacy_path_tokenizer.h"

#include "core/log.h"
#include "svg/scanner.h"

#include <array>
#include <charconv>
#include <cmath>

namespace kaleon::svg {

namespace {

constexpr CharacterSet kSeparatorSet(TGSVGSeparatorCharString);
constexpr CharacterSet kCommandSet(TGSVGCommandCharString);
constexpr char kBlank = ' ';

constexpr std::string_view kEmptyLog = "*** TGSVG: Path string is empty of tokens";
constexpr std::string_view kMoveCountLog = "*** TGSVGPath Error: Invalid parameter count in M style token";
constexpr std::string_view kLineCountLog = "*** TGSVGPath Error: Invalid parameter count in L style token";
constexpr std::string_view kUnknownLineLog = "*** TGSVGPath Error: Unrecognised L style command.";
constexpr std::string_view kCurveCountLog = "*** TGSVGPath Error: Insufficient parameters for C command";
constexpr std::string_view kShorthandCountLog = "*** TGSVGPath Error: Insufficient parameters for S command";

// A number at the start of a token, after blanks, read as a 32-bit float.
std::optional<float> scanFloat(std::string_view text)
{
    text = trimmed(text);
    const size_t length = decimalNumberLength(text);
    if (length == 0)
        return std::nullopt;
    return decimalToFloat(text.substr(0, length));
}

} // namespace

Token::Token(std::uint16_t command)
    : m_command(command)
{
    m_values.reserve(TGSVGMaxParameters);
}

std::string Token::description() const
{
    std::string text;
    for (size_t i = 0; i < m_values.size(); ++i) {
        if (i > 0)
            text += '|';
        std::array<char, 64> buffer;
        const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), m_values[i]);
        text.append(buffer.data(), written.ptr);
    }
    return text;
}

std::shared_ptr<TGSVGPath> TGSVGPath::SVGPathFromAttribute(std::string_view text)
{
    return std::make_shared<TGSVGPath>(text);
}

TGSVGPath::TGSVGPath(std::string_view text)
{
    m_tokens = parseTokens(text);
    m_bezierPath = generateBezier(m_tokens);
}

std::optional<std::vector<Token>> TGSVGPath::parseTokens(std::string_view text)
{
    std::vector<std::string_view> strings;
    strings.reserve(TGSVGMaxPathComplexity);
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const char c = text[i++];
        if (c == kBlank)
            continue;
        if (c == ',')
            continue;
        if (!kCommandSet.contains(c)) {
            while (i < text.size() && !kSeparatorSet.contains(text[i]))
                ++i;
        }
        strings.push_back(text.substr(start, i - start));
    }
    if (strings.empty()) {
        log(kEmptyLog);
        return std::nullopt;
    }

    std::vector<Token> tokens;
    size_t n = 0;
    while (n < strings.size()) {
        const char letter = strings[n].front();
        if (!kCommandSet.contains(letter)) {
            log("*** TGSVGPath Error: Path string parse error: found float where expecting command at token "
                + std::to_string(n) + " in path " + std::string(text) + ".");
            return std::nullopt;
        }
        Token token(static_cast<unsigned char>(letter));
        ++n;
        for (; n < strings.size() && !kCommandSet.contains(strings[n].front()); ++n) {
            const auto number = scanFloat(strings[n]);
            if (!number) {
                log("*** TGSVGPath Error: Path string parse error: expected float or command at token "
                    + std::to_string(n) + " (but found " + std::string(strings[n]) + ") in path " + std::string(text)
                    + ".");
                return std::nullopt;
            }
            const double magnitude = std::fabs(std::trunc(static_cast<double>(*number)));
            if (magnitude > m_pathScale)
                m_pathScale = magnitude;
            token.addValue(*number);
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

gfx::Path TGSVGPath::generateBezier(const std::optional<std::vector<Token>>& tokens)
{
    m_builder = PathCommandBuilder(PathCommandBuilder::AfterClose::LastPoint);
    if (tokens) {
        for (const auto& token : *tokens) {
            switch (token.command()) {
            case 'C':
            case 'c':
                appendSVGCCommand(token);
                break;
            case 'H':
            case 'L':
            case 'V':
            case 'h':
            case 'l':
            case 'v':
                appendSVGLCommand(token);
                break;
            case 'M':
            case 'm':
                appendSVGMCommand(token);
                break;
            case 'S':
            case 's':
                appendSVGSCommand(token);
                break;
            case 'Z':
            case 'z':
                m_builder.closeSubpath();
                break;
            default:
                log(std::string("*** TGSVGPath Error: Cannot process command : '") + static_cast<char>(token.command())
                    + "'");
                break;
            }
        }
    }
    m_bezierPath = m_builder.take();
    return m_bezierPath;
}

void TGSVGPath::appendSVGMCommand(const Token& token)
{
    m_builder.forgetControlPoint();
    const bool relative = token.command() == 'm';
    for (std::int64_t i = 0; i < token.valence(); i += 2) {
        if (i + 1 >= token.valence()) {
            log(kMoveCountLog);
            return;
        }
        const gfx::Point point = m_builder.resolved({ token.parameter(i), token.parameter(i + 1) }, relative);
        if (i == 0)
            m_builder.moveTo(point);
        else
            m_builder.lineTo(point);
    }
}

void TGSVGPath::appendSVGLCommand(const Token& token)
{
    m_builder.forgetControlPoint();
    const auto command = token.command();
    for (std::int64_t i = 0; i < token.valence();) {
        gfx::Point point = m_builder.currentPoint();
        switch (command) {
        case 'L':
        case 'l':
            if (i + 1 >= token.valence()) {
                log(kLineCountLog);
                return;
            }
            point = m_builder.resolved({ token.parameter(i), token.parameter(i + 1) }, command == 'l');
            i += 2;
            break;
        case 'H':
        case 'h':
            point.x = token.parameter(i++) + (command == 'h' ? point.x : 0);
            break;
        case 'V':
        case 'v':
            point.y = token.parameter(i++) + (command == 'v' ? point.y : 0);
            break;
        default:
            log(kUnknownLineLog);
            return;
        }
        m_builder.lineTo(point);
    }
}

void TGSVGPath::appendSVGCCommand(const Token& token)
{
    appendCurves(
        token, 6, kCurveCountLog, [this](const double* values, bool relative) { m_builder.curveTo(values, relative); });
}

void TGSVGPath::appendSVGSCommand(const Token& token)
{
    appendCurves(token, 4, kShorthandCountLog,
        [this](const double* values, bool relative) { m_builder.smoothCurveTo(values, relative); });
}

template<class AddCurve>
void TGSVGPath::appendCurves(const Token& token, size_t valence, std::string_view tooFewLog, AddCurve addCurve)
{
    if (token.valence() < static_cast<std::int64_t>(valence)) {
        log(tooFewLog);
        return;
    }
    // Lower-case commands are relative.
    const bool relative = token.command() >= 'a';
    for (size_t i = 0; i + valence <= token.values().size(); i += valence)
        addCurve(&token.values()[i], relative);
}

} // namespace kaleon::svg
