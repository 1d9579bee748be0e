#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace kaleon {

// Mistakes on the command line are told in one line on standard error, with the program's
// name and where to look: "kaleon: The following argument was not expected: --bogus (kaleon
// --help lists the options)".
inline void tellMistakesInOneLine(CLI::App& app)
{
    app.failure_message([](const CLI::App* failed, const CLI::Error& error) {
        const std::string& name = failed->get_name();
        return name + ": " + error.what() + " (" + name + " --help lists the options)\n";
    });
}

} // namespace kaleon
