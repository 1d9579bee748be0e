#include "support/test_support.h"

#include "core/plist.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace kaleon::test {

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kaleon-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    m_path = pattern;
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

ScopedEnvironment::ScopedEnvironment(std::string name, std::optional<std::string> value)
    : m_name(std::move(name))
{
    if (const char* previous = std::getenv(m_name.c_str()))
        m_previous = previous;
    if (value)
        ::setenv(m_name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous)
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

void writeFile(const std::filesystem::path& path, const std::string& contents)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << contents;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

ProgramResult runProgram(const std::vector<std::string>& arguments)
{
    TemporaryDirectory folder;
    const auto outputPath = folder / "stdout";
    const auto errorsPath = folder / "stderr";
    ProgramResult result;
    const pid_t child = ::fork();
    if (child == 0) {
        std::freopen(outputPath.c_str(), "w", stdout);
        std::freopen(errorsPath.c_str(), "w", stderr);
        std::freopen("/dev/null", "r", stdin);
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = readFile(outputPath);
    result.errors = readFile(errorsPath);
    return result;
}

namespace {

TemporaryDirectory* g_configHome = nullptr;

} // namespace

const std::filesystem::path& configHome()
{
    return g_configHome->path();
}

std::string paletteText(const std::string& name, const std::vector<std::string>& colors)
{
    PlistValue::Array array(colors.begin(), colors.end());
    return xmlPlist(
        PlistValue(PlistValue::Dictionary { { "name", PlistValue(name) }, { "colors", PlistValue(array) } }));
}

} // namespace kaleon::test

// Leaks inside system libraries (D-Bus, fontconfig, X) are theirs, not ours. The sanitizers
// ask for their settings by these reserved names.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libfontconfig.so\nleak:libX11.so\n";
}

extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}
// NOLINTEND(bugprone-reserved-identifier)

// Every test process gets a settings folder of its own, so tests never touch the user's
// settings and parallel test processes never share a file.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    kaleon::test::TemporaryDirectory configHome;
    kaleon::test::g_configHome = &configHome;
    ::setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    ::unsetenv("KALEON_RESOURCES");
    // No user palettes or shapes unless a test makes them.
    ::setenv("XDG_DATA_HOME", (configHome.path() / "data").c_str(), 1);
    // GTK draws with Cairo here, and loads no GL driver (whose allocations outlive its unloading).
    ::setenv("GDK_DEBUG", "gl-disable", 1);
    ::setenv("GSK_RENDERER", "cairo", 1);
    const int status = RUN_ALL_TESTS();
    kaleon::test::g_configHome = nullptr;
    return status;
}
