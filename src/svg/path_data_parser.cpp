#include "svg/path_data_parser.h"

#include "core/log.h"
#include "core/text.h"
#include "svg/scanner.h"

namespace kaleon::svg {

namespace {

constexpr CharacterSet kCommandSet("CcMmLlHhVvZzqQaAsS");
constexpr CharacterSet kSeparatorSet = CharacterSet(",").united(CharacterSet::whitespaceAndNewlines());

constexpr std::string_view kArcsLog = "*** Error: Elliptical arcs not supported";
constexpr std::string_view kMoveCountLog = "*** Error: Invalid parameter count in M style token";
constexpr std::string_view kLineCountLog = "*** Error: Invalid parameter count in L style token";
constexpr std::string_view kUnknownLineLog = "*** Error: Unrecognised L style command.";
constexpr std::string_view kCurveCountLog = "*** Error: Invalid number of parameters for C command";
constexpr std::string_view kShorthandCountLog = "*** Error: Invalid number of parameters for S command";

// The whole UTF-8 sequence of the character that starts at `position`, so a log line stays
// valid text.
std::string_view characterAt(std::string_view text, size_t position)
{
    size_t end = position + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80 && end - position < 4)
        ++end;
    return text.substr(position, end - position);
}

} // namespace

pathDefinitionParser::pathDefinitionParser(std::string_view definition)
    : m_definition(trimmed(definition))
{
}

gfx::Path pathDefinitionParser::parse()
{
    // Dense path data spends about six characters per number.
    m_builder.reserve(m_definition.size() / 12 + 1, m_definition.size() / 12 + 1);
    m_builder.moveTo({ 0, 0 });
    Scanner scanner(m_definition, kSeparatorSet);
    for (;;) {
        char letter = 0;
        if (!scanner.scanCharacter(kCommandSet, letter))
            break;
        m_parameters.clear();
        // A letter right before another has no numbers of its own: "MZ" is a bare move.
        if (!scanner.isAt(kCommandSet))
            scanner.scanFloats(m_parameters);
        m_previousCommand = m_command;
        m_command = letter;
        switch (m_command) {
        case 'M':
        case 'm':
            appendMoveTo();
            break;
        case 'L':
        case 'l':
        case 'H':
        case 'h':
        case 'V':
        case 'v':
            appendLineTo();
            break;
        case 'C':
        case 'c':
            appendCurve();
            break;
        case 'S':
        case 's':
            appendShorthandCurve();
            break;
        case 'Z':
        case 'z':
            m_builder.closeSubpath();
            break;
        case 'A':
        case 'a':
            log(kArcsLog);
            break;
        default: // Q and q
            log(std::string("*** Error: Cannot process command : '") + m_command + "'");
            break;
        }
    }
    if (!scanner.isAtEnd()) {
        const size_t position = scanner.position();
        log("*** SVG parse error at index: " + std::to_string(position) + ": '"
            + std::string(characterAt(m_definition, position)) + "'");
    }
    return m_builder.take();
}

[[gnu::always_inline]] inline void pathDefinitionParser::appendMoveTo()
{
    if (m_parameters.size() % 2 != 0) {
        log(kMoveCountLog);
        return;
    }
    const bool relative = m_command == 'm';
    for (size_t i = 0; i < m_parameters.size(); i += 2) {
        const gfx::Point next = m_builder.resolved({ m_parameters[i], m_parameters[i + 1] }, relative);
        if (i == 0)
            m_builder.moveTo(next);
        else
            m_builder.lineTo(next);
    }
}

[[gnu::always_inline]] inline void pathDefinitionParser::appendLineTo()
{
    const size_t count = m_parameters.size();
    const bool relative = m_command == 'h' || m_command == 'v' || m_command == 'l';
    switch (m_command) {
    case 'H':
    case 'h':
        for (const float n : m_parameters) {
            const gfx::Point p = m_builder.currentPoint();
            m_builder.lineTo({ relative ? p.x + n : n, p.y });
        }
        break;
    case 'V':
    case 'v':
        for (const float n : m_parameters) {
            const gfx::Point p = m_builder.currentPoint();
            m_builder.lineTo({ p.x, relative ? p.y + n : n });
        }
        break;
    case 'L':
    case 'l':
        for (size_t i = 0; i < count; i += 2) {
            if (i + 1 >= count) {
                log(kLineCountLog);
                return;
            }
            m_builder.lineTo(m_builder.resolved({ m_parameters[i], m_parameters[i + 1] }, relative));
        }
        break;
    default:
        log(kUnknownLineLog);
        break;
    }
}

[[gnu::always_inline]] inline void pathDefinitionParser::appendCurve()
{
    if (m_parameters.size() % 6 != 0) {
        log(kCurveCountLog);
        return;
    }
    const bool relative = m_command == 'c';
    for (size_t i = 0; i < m_parameters.size(); i += 6)
        m_builder.curveTo(&m_parameters[i], relative);
}

[[gnu::always_inline]] inline void pathDefinitionParser::appendShorthandCurve()
{
    if (m_parameters.size() % 4 != 0) {
        log(kShorthandCountLog);
        return;
    }
    const bool followsCurve
        = m_previousCommand == 'C' || m_previousCommand == 'c' || m_previousCommand == 'S' || m_previousCommand == 's';
    if (!followsCurve)
        m_builder.forgetControlPoint();
    const bool relative = m_command == 's';
    for (size_t i = 0; i < m_parameters.size(); i += 4)
        m_builder.smoothCurveTo(&m_parameters[i], relative);
}

} // namespace kaleon::svg
