#pragma once

#include "gfx/path.h"
#include "svg/path_command_builder_internal.h"

#include <string>
#include <string_view>
#include <vector>

namespace kaleon::svg {

// Turns SVG path data (a `d` attribute) into one path: M, L, H, V, C, S and Z, absolute and
// relative. A and Q are recognised but draw nothing; any other letter ends the read. The
// path always starts with a move to the origin, so a leading relative command is relative to
// it. Problems are logged, one line each, and skipped; whatever could be read is the path.
// Numbers are 32-bit floats; the current point is kept in 64 bits.
class pathDefinitionParser {
public:
    explicit pathDefinitionParser(std::string_view definition);

    // Runs the whole read; call once.
    gfx::Path parse();

private:
    // The steps of `parse`, one per command, on m_command and m_parameters. They are only
    // called from it, where they are inlined.
    void appendMoveTo();
    void appendLineTo();
    void appendCurve();
    void appendShorthandCurve();

    std::string_view m_definition;
    PathCommandBuilder m_builder { PathCommandBuilder::AfterClose::StartOfSubpath };
    char m_command = 0;
    char m_previousCommand = 0;
    std::vector<float> m_parameters;
};

} // namespace kaleon::svg
