#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kaleon::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Sets (or, with no value, unsets) an environment variable and restores it afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, std::optional<std::string> value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

void writeFile(const std::filesystem::path& path, const std::string& contents);
// A palette file's text: an XML property list with a name and colours ("RRGGBB").
std::string paletteText(const std::string& name, const std::vector<std::string>& colors);
std::string readFile(const std::filesystem::path& path);

struct ProgramResult {
    int status = -1; // the exit status; 128 + the signal number when a signal ended it
    std::string output;
    std::string errors;
};

// Runs a program with arguments (no shell) and collects what it writes.
ProgramResult runProgram(const std::vector<std::string>& arguments);

// The folder every test process uses as $XDG_CONFIG_HOME (set before any test runs).
const std::filesystem::path& configHome();

} // namespace kaleon::test
