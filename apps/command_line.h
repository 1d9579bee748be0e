#pragma once

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace kaleon {

// What every program's command line has: --version ("kaleon 0.1.0"), and mistakes told in
// one line on standard error, with the program's name and where to look: "kaleon: The
// following argument was not expected: --bogus (kaleon --help lists the options)".
inline void setUpCommandLine(CLI::App& app)
{
    app.set_version_flag("--version", app.get_name() + " " KALEON_VERSION, "Print the version and exit");
    app.failure_message([](const CLI::App* failed, const CLI::Error& error) {
        const std::string& name = failed->get_name();
        return name + ": " + error.what() + " (" + name + " --help lists the options)\n";
    });
}

// One rule for every number an option takes: a finite number from `lowest` to `highest`, or
// exactly `special` where one value means something of its own ("0 means 4 seconds"). NaN
// and infinities are never numbers here; like every mistake, they give status 2.
inline CLI::Validator numberFrom(double lowest, double highest, std::optional<double> special = std::nullopt)
{
    const auto describe = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", value);
        return std::string(text);
    };
    std::string range = describe(lowest) + " to " + describe(highest);
    if (special)
        range = describe(*special) + " or " + range;
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            double value = 0;
            const auto end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || stop != end || !std::isfinite(value))
                return "'" + text + "' is not a number";
            if ((special && value == *special) || (value >= lowest && value <= highest))
                return {};
            return "'" + text + "' is not in range: " + range;
        },
        "NUMBER in " + range);
}

} // namespace kaleon
