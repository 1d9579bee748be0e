// Runs every case of tests/data/bad_inputs/catalogue.tsv against the built programs: each must
// end on its own, within a minute and a bounded amount of memory, with the exit status, the
// number of error lines and the text the table says.
#include "support/test_support.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kaleon;

namespace {

const std::filesystem::path kData = KALEON_TEST_DATA_DIR "/bad_inputs";
constexpr auto kTimeLimit = std::chrono::seconds(60);
constexpr long kMemoryLimitKB = 1024 * 1024;
// With KALEON_CATALOGUE_GOAL set (on an optimised build: make catalogue-goal), every case must
// also end within 2 s in at most 200 MB, and each one's figures are printed.
constexpr double kGoalSeconds = 2.0;
constexpr long kGoalMemoryKB = 200 * 1024;

struct Case {
    std::string name;
    std::string setup;
    std::string command;
    int status = 0;
    size_t mostErrorLines = 0;
    std::string expected;
};

std::vector<Case> readCatalogue()
{
    std::vector<Case> cases;
    std::ifstream file(kData / "catalogue.tsv");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        for (std::string field; std::getline(stream, field, '\t');)
            fields.push_back(field);
        if (fields.size() != 6) {
            ADD_FAILURE() << "not six fields: " << line;
            continue;
        }
        cases.push_back({ fields[0], fields[1], fields[2], std::stoi(fields[3]),
            static_cast<size_t>(std::stoul(fields[4])), fields[5] });
    }
    return cases;
}

void replaceAll(std::string& text, std::string_view from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Makes the input a {gen:KIND} placeholder stands for, at `path`.
void generate(const std::string& kind, const std::filesystem::path& path)
{
    const auto nested = [](int depth, const std::string& open, const std::string& inner, const std::string& close) {
        std::string text;
        text.reserve(depth * (open.size() + close.size()) + inner.size());
        for (int i = 0; i < depth; ++i)
            text += open;
        text += inner;
        for (int i = 0; i < depth; ++i)
            text += close;
        return text;
    };
    if (kind == "deep-plist") {
        test::writeFile(path,
            "<?xml version=\"1.0\"?><plist version=\"1.0\">"
                + nested(200'000, "<array>", "<string>x</string>", "</array>") + "</plist>");
    } else if (kind == "deep-groups") {
        test::writeFile(path, "<svg>" + nested(100'000, "<g>", "<path d='M0,0L1,1'/>", "</g>") + "</svg>");
    } else if (kind == "many-attributes") {
        std::string text = "<svg><path d='M0,0L1,1'";
        for (int i = 0; i < 40'000; ++i)
            text += " a" + std::to_string(i) + "='1'";
        test::writeFile(path, text + "/></svg>");
    } else if (kind == "large-svg") {
        test::writeFile(path, "<svg><!--" + std::string(17 << 20, ' ') + "--><path d='M0,0L1,1'/></svg>");
    } else if (kind == "huge-path" || kind == "oversized-path") {
        // libxml2 takes attribute values up to 10 MB.
        const size_t size = kind == "huge-path" ? 9'000'000 : 12'000'000;
        std::string data = "M0,0";
        while (data.size() < size)
            data += "l1.5,-2.25c1,2 3,4 5,6";
        test::writeFile(path, "<svg><path d='" + data + "'/></svg>");
    } else if (kind == "entity-blowup") {
        // One entity of 100 kB referenced 100,000 times in one attribute: 400 kB of text.
        std::string text = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY a '" + std::string(100'000, 'x')
            + "'>]><svg><path d='M0,0L9,9L0,9Z'/><path d='M0,0L9,9L0,9Z' fill='";
        for (int i = 0; i < 100'000; ++i)
            text += "&a;";
        test::writeFile(path, text + "'/></svg>");
    } else if (kind == "many-rects") {
        // 300,000 small rectangles in 13 MB.
        std::string text = "<svg xmlns='http://www.w3.org/2000/svg'>\n";
        for (int i = 0; i < 300'000; ++i)
            text += "<rect x='" + std::to_string(i % 997) + "' y='" + std::to_string(i % 991)
                + "' width='9' height='7'/>\n";
        test::writeFile(path, text + "</svg>\n");
    } else if (kind == "folder") {
        std::filesystem::create_directory(path);
    } else if (kind == "fifo") {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else if (kind == "dev-zero") {
        std::filesystem::create_symlink("/dev/zero", path);
    } else {
        FAIL() << "no generator for " << kind;
    }
}

// A file name of the catalogue, where "\\n" stands for a line break.
std::string unescapedName(std::string name)
{
    for (size_t at = name.find("\\n"); at != std::string::npos; at = name.find("\\n", at + 1))
        name.replace(at, 2, "\n");
    return name;
}

// Puts what {gen:KIND} or a data file names at `destination`.
void place(const std::string& source, const std::filesystem::path& destination)
{
    std::filesystem::create_directories(destination.parent_path());
    if (source.starts_with("{gen:"))
        generate(source.substr(5, source.size() - 6), destination);
    else
        std::filesystem::copy_file(source, destination);
}

struct Outcome {
    int status = -1;
    bool timedOut = false;
    double seconds = 0;
    long maxResidentKB = 0;
    std::string output;
    std::string errors;
};

Outcome run(const std::string& command, const std::filesystem::path& folder,
    const std::vector<std::pair<std::string, std::string>>& environment)
{
    const auto outputPath = folder / "stdout.txt";
    const auto errorsPath = folder / "stderr.txt";
    const pid_t child = ::fork();
    if (child == 0) {
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::freopen(outputPath.c_str(), "w", stdout);
        std::freopen(errorsPath.c_str(), "w", stderr);
        std::freopen("/dev/null", "r", stdin);
        const std::string line = "exec " + command;
        ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
    int status = 0;
    rusage usage {};
    for (;;) {
        const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
        if (done == child)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            outcome.timedOut = true;
            ::kill(child, SIGKILL);
            ::wait4(child, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - (deadline - kTimeLimit)).count();
    outcome.maxResidentKB = usage.ru_maxrss;
    outcome.output = test::readFile(outputPath);
    outcome.errors = test::readFile(errorsPath);
    return outcome;
}

} // namespace

TEST(BadInputCatalogue, EveryCaseEndsAsTheTableSays)
{
    const auto cases = readCatalogue();
    ASSERT_GE(cases.size(), 85u);
    const bool goal = std::getenv("KALEON_CATALOGUE_GOAL") != nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory folder;
        const auto tmp = folder / "tmp";
        const auto res = folder / "res";
        const auto cfg = folder / "cfg";
        std::filesystem::create_directories(tmp);
        std::filesystem::create_directories(cfg);

        std::string setup = c.setup;
        replaceAll(setup, "{data}", kData.string());
        replaceAll(setup, "{res}", KALEON_RESOURCES_DIR);
        std::filesystem::path resources = KALEON_RESOURCES_DIR;
        const auto own = folder / "data" / "kaleon";
        if (setup.starts_with("palette=")) {
            place(setup.substr(8), res / "KaleonColors.plist");
            resources = res;
        } else if (setup.starts_with("settings=")) {
            place(setup.substr(9), cfg / "kaleon" / "org.kaleon.saver.plist");
        } else if (setup.starts_with("user:")) {
            // user:NAME=SOURCE: a file of the user's own, beside Kaleon's resources.
            const size_t equals = setup.find('=');
            place(setup.substr(equals + 1), own / unescapedName(setup.substr(5, equals - 5)));
            resources.clear();
        }

        std::string command = c.command;
        replaceAll(command, "{kaleon}", KALEON_BINARY);
        replaceAll(command, "{shape}", KALEON_SHAPE_BINARY);
        replaceAll(command, "{tgcrypt}", TGCRYPT_BINARY);
        replaceAll(command, "{data}", kData.string());
        replaceAll(command, "{tmp}", tmp.string());
        replaceAll(command, "{res}", KALEON_RESOURCES_DIR);
        if (const size_t at = command.find("{gen:"); at != std::string::npos) {
            const size_t end = command.find('}', at);
            const std::string kind = command.substr(at + 5, end - at - 5);
            const auto input = folder / ("input-" + kind);
            generate(kind, input);
            command.replace(at, end - at + 1, input.string());
        }

        const auto outcome = run(command, folder.path(),
            { { "KALEON_RESOURCES", resources.string() }, { "XDG_CONFIG_HOME", cfg.string() },
                { "XDG_DATA_HOME", (folder / "data").string() } });
        EXPECT_FALSE(outcome.timedOut) << "still running after a minute";
        EXPECT_EQ(outcome.status, c.status) << outcome.errors;
        const auto errorLines = static_cast<size_t>(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'));
        EXPECT_LE(errorLines, c.mostErrorLines) << outcome.errors;
        EXPECT_LT(outcome.maxResidentKB, kMemoryLimitKB);
        if (goal) {
            std::printf("%-40s %6.2f s %7.1f MB\n", c.name.c_str(), outcome.seconds, outcome.maxResidentKB / 1024.0);
            std::fflush(stdout); // before the next fork copies it
            EXPECT_LT(outcome.seconds, kGoalSeconds);
            EXPECT_LT(outcome.maxResidentKB, kGoalMemoryKB);
        }
        const std::string both = outcome.output + outcome.errors;
        if (c.expected.starts_with("!")) {
            EXPECT_EQ(both.find(c.expected.substr(1)), std::string::npos) << both.substr(0, 500);
        } else if (c.expected != "-") {
            EXPECT_NE(both.find(c.expected), std::string::npos) << both.substr(0, 500);
        }
    }
    std::cout << cases.size() << " bad inputs handled as the catalogue says\n";
}
