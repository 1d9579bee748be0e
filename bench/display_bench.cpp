// What showing the saver costs a machine without a GPU: kaleon on a 1920x1080 virtual X
// server (Xvfb) for ten intervals at the default speed, as XScreenSaver runs it (--root) and
// full screen in its own SDL window (--fullscreen), and on a headless sway's 1920x1080 output
// through the Wayland backend. Counters: the CPU share of kaleon and of the display server
// over the run (from /proc, percent of one core), kaleon's peak resident memory, its wake-ups
// a second after the first five seconds (voluntary context switches of all its threads) and,
// for --root, the pixels sent to the X server a second while shapes moved. Between slides
// (the last 30 % of each interval) nothing should wake kaleon: kaleon_asleep_share is the
// share of the run spent in stretches of 0.25 s or more without one wake-up (about 0.3 when
// it sleeps through every pause), kaleon_longest_sleep_s the longest of them.
// The settings window (kaleon-config) is measured the same way with its 400x225 preview, and
// for the time from launch to a picture of its first preview frame.
// Reference: the same server with nothing drawing on it; for the launch, `kaleon-config --help`.
//
// Each CPU run takes 45 seconds; choose one with --benchmark_filter.

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr double kTenDefaultIntervals = 45.0;
constexpr const char* kDisplay = ":97";
// A stretch without a wake-up this long or longer counts as asleep.
constexpr double kLongSleep = 0.25;

pid_t spawn(std::vector<std::string> arguments, const std::string& errors = "/dev/null")
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : child;
}

// User and system CPU seconds of a running process.
double cpuSeconds(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15)
            ticks += std::stod(field);
        if (index == 15)
            break;
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double peakResidentMegabytes(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("VmHWM:"))
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// Times the process's threads gave up the processor to wait: each is one wake-up later.
std::uint64_t wakeUps(pid_t pid)
{
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream file(task.path() / "status");
        for (std::string line; std::getline(file, line);) {
            if (line.starts_with("voluntary_ctxt_switches:"))
                total += std::stoull(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::filesystem::path scratchFolder()
{
    auto scratch = std::filesystem::temp_directory_path() / "kaleon-display-bench";
    std::filesystem::create_directories(scratch);
    ::setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    ::setenv("DISPLAY", kDisplay, 1);
    ::setenv("GDK_BACKEND", "x11", 1);
    return scratch;
}

enum class Server { X, Sway };

// sway will not run as root: there it runs as nobody, and kaleon (root) still reaches its socket.
pid_t startSway(benchmark::State& state, const std::filesystem::path& scratch)
{
    const auto runtime = scratch / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    std::filesystem::permissions(scratch, std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
    const auto config = scratch / "sway.conf";
    std::ofstream(config) << "output * mode 1920x1080\n";
    std::vector<std::string> command;
    if (::getuid() == 0) {
        if (::chown(runtime.c_str(), 65534, 65534) != 0)
            state.SkipWithError("cannot hand the runtime folder to nobody");
        std::filesystem::permissions(config,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
                | std::filesystem::perms::group_read | std::filesystem::perms::others_read);
        command = { "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups" };
    }
    command.insert(command.end(),
        { "env", "-i", "PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + runtime.string(), "WLR_BACKENDS=headless",
            "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman", "sway", "-c", config.string() });
    const pid_t server = spawn(command);
    for (int tries = 0; server > 0 && tries < 50; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (std::filesystem::exists(runtime / "wayland-1")) {
            ::setenv("WAYLAND_DISPLAY", (runtime / "wayland-1").c_str(), 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            return server;
        }
    }
    state.SkipWithError("cannot start sway (Debian package sway)");
    if (server > 0) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    }
    return -1;
}

pid_t startServer(benchmark::State& state, Server kind = Server::X)
{
    if (kind == Server::Sway)
        return startSway(state, std::filesystem::temp_directory_path() / "kaleon-display-bench");
    ::unsetenv("WAYLAND_DISPLAY");
    const pid_t server = spawn({ "Xvfb", kDisplay, "-screen", "0", "1920x1080x24", "-nolisten", "tcp" });
    if (server < 0)
        state.SkipWithError("cannot start Xvfb");
    else
        std::this_thread::sleep_for(std::chrono::seconds(1));
    return server;
}

// Runs `kaleon` (no arguments: nothing) on a fresh server for ten intervals.
void measure(benchmark::State& state, const std::vector<std::string>& kaleon, Server kind = Server::X)
{
    const auto scratch = scratchFolder();
    for (auto _ : state) {
        const pid_t server = startServer(state, kind);
        if (server < 0)
            return;
        const double serverStart = cpuSeconds(server);
        const double start = secondsNow();
        const std::string errors = (scratch / "kaleon.log").string();
        const pid_t saver = kaleon.empty() ? 0 : spawn(kaleon, errors);
        constexpr double kSettling = 5;
        std::this_thread::sleep_for(std::chrono::duration<double>(kSettling));
        const std::uint64_t settledWakeUps = saver > 0 ? wakeUps(saver) : 0;
        // Between slides kaleon should not wake at all: the stretches in which it did not.
        double asleep = 0;
        double longestSleep = 0;
        std::uint64_t lastWakeUps = settledWakeUps;
        double lastWake = secondsNow();
        const auto noteSleep = [&](double now) {
            const double slept = now - lastWake;
            longestSleep = std::max(longestSleep, slept);
            if (slept >= kLongSleep)
                asleep += slept;
        };
        while (secondsNow() - start < kTenDefaultIntervals) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::uint64_t now = saver > 0 ? wakeUps(saver) : 0;
            if (now != lastWakeUps) {
                noteSleep(secondsNow());
                lastWakeUps = now;
                lastWake = secondsNow();
            }
        }
        noteSleep(secondsNow());
        const double seconds = secondsNow() - start;
        const double saverCPU = saver > 0 ? cpuSeconds(saver) : 0;
        const double peak = saver > 0 ? peakResidentMegabytes(saver) : 0;
        const double serverCPU = cpuSeconds(server) - serverStart;
        const std::uint64_t lateWakeUps = saver > 0 ? wakeUps(saver) - settledWakeUps : 0;
        if (saver > 0) {
            ::kill(saver, SIGTERM);
            ::waitpid(saver, nullptr, 0);
        }
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
        state.SetIterationTime(seconds);
        state.counters["kaleon_cpu_percent"] = 100 * saverCPU / seconds;
        state.counters["server_cpu_percent"] = 100 * serverCPU / seconds;
        state.counters["together_cpu_percent"] = 100 * (saverCPU + serverCPU) / seconds;
        state.counters["kaleon_peak_MB"] = peak;
        state.counters["kaleon_wakeups_per_s"] = static_cast<double>(lateWakeUps) / (seconds - kSettling);
        if (saver > 0) {
            state.counters["kaleon_longest_sleep_s"] = longestSleep;
            state.counters["kaleon_asleep_share"] = asleep / (seconds - kSettling);
        }
        // "... sent N pixels to the X server, R a second while shapes moved"
        std::ifstream log(errors);
        for (std::string line; std::getline(log, line);) {
            if (line.starts_with("Drew "))
                state.counters["pixels_sent_per_moving_second"] = std::stod(line.substr(line.rfind(", ") + 2));
        }
    }
    std::filesystem::remove_all(scratch);
}

void BM_IdleServerReference(benchmark::State& state)
{
    measure(state, {});
}
BENCHMARK(BM_IdleServerReference)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_HackRoot1920x1080(benchmark::State& state)
{
    measure(state, { KALEON_BINARY, "--root", "--fps" });
}
BENCHMARK(BM_HackRoot1920x1080)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_Fullscreen1920x1080(benchmark::State& state)
{
    measure(state, { KALEON_BINARY, "--fullscreen" });
}
BENCHMARK(BM_Fullscreen1920x1080)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_IdleSwayReference(benchmark::State& state)
{
    measure(state, {}, Server::Sway);
}
BENCHMARK(BM_IdleSwayReference)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_WaylandFullscreen1920x1080(benchmark::State& state)
{
    measure(state, { KALEON_BINARY, "--fullscreen", "--backend", "wayland" }, Server::Sway);
}
BENCHMARK(BM_WaylandFullscreen1920x1080)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_SettingsWindowPreview(benchmark::State& state)
{
    measure(state, { KALEON_CONFIG_BINARY });
}
BENCHMARK(BM_SettingsWindowPreview)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Seconds from starting `command` to its exit, on one server for all iterations.
void timeRuns(benchmark::State& state, const std::vector<std::string>& command)
{
    const auto scratch = scratchFolder();
    const pid_t server = startServer(state);
    if (server < 0)
        return;
    for (auto _ : state) {
        const double start = secondsNow();
        const pid_t child = spawn(command);
        int status = 0;
        ::waitpid(child, &status, 0);
        state.SetIterationTime(secondsNow() - start);
        if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the command failed");
    }
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    std::filesystem::remove_all(scratch);
}

void BM_SettingsWindowLaunchReference(benchmark::State& state)
{
    timeRuns(state, { KALEON_CONFIG_BINARY, "--help" });
}
BENCHMARK(BM_SettingsWindowLaunchReference)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly()
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Launch, open the window, derive the shape key, draw the first preview frame, write its picture.
void BM_SettingsWindowFirstFrame(benchmark::State& state)
{
    const auto picture = std::filesystem::temp_directory_path() / "kaleon-display-bench" / "first.png";
    timeRuns(state, { KALEON_CONFIG_BINARY, "--screenshot", picture.string(), "--delay", "0" });
}
BENCHMARK(BM_SettingsWindowFirstFrame)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly()
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
