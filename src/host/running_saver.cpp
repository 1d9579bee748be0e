#include "host/running_saver.h"

#include "core/file.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace kaleon::host {

namespace {

std::optional<pid_t> markedProcess(const std::filesystem::path& file)
{
    const auto text = readFile(file, 64);
    if (!text)
        return std::nullopt;
    pid_t pid = 0;
    const char* end = text->data() + text->size();
    const auto parsed = std::from_chars(text->data(), end, pid);
    if (parsed.ec != std::errc() || pid <= 1 || (parsed.ptr != end && *parsed.ptr != '\n'))
        return std::nullopt;
    return pid;
}

// A process id is reused once its process has gone: only a live kaleon counts as the saver
// (one that has ended but not yet been waited for by its parent has gone).
bool isLiveKaleon(pid_t pid)
{
    const auto stat = readFile("/proc/" + std::to_string(pid) + "/stat", 4096);
    if (!stat)
        return false;
    const auto open = stat->find('(');
    const auto close = stat->rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= stat->size())
        return false;
    return stat->substr(open + 1, close - open - 1) == "kaleon" && (*stat)[close + 2] != 'Z';
}

} // namespace

std::optional<std::filesystem::path> runningSaverFile()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return std::nullopt;
    return std::filesystem::path(runtime) / "kaleon.pid";
}

RunningSaverMark::RunningSaverMark()
    : m_file(runningSaverFile())
{
    if (m_file && !replaceFile(*m_file, std::to_string(::getpid()) + "\n", Durability::Unsynced))
        m_file.reset(); // not fatal: only --quit cannot find this saver
}

RunningSaverMark::~RunningSaverMark()
{
    if (m_file && markedProcess(*m_file) == ::getpid()) {
        std::error_code ignored;
        std::filesystem::remove(*m_file, ignored);
    }
}

Result<std::optional<pid_t>> quitRunningSaver(double timeout)
{
    const auto file = runningSaverFile();
    if (!file)
        return Error { "kaleon", EINVAL, "XDG_RUNTIME_DIR is not set, so no running saver can be found" };
    const auto pid = markedProcess(*file);
    if (!pid || !isLiveKaleon(*pid))
        return std::optional<pid_t>();
    if (::kill(*pid, SIGTERM) != 0) {
        if (errno == ESRCH)
            return std::optional<pid_t>();
        return Error { "kaleon", errno,
            "Cannot end the saver (process " + std::to_string(*pid) + "): " + std::strerror(errno) };
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    while (isLiveKaleon(*pid)) {
        if (std::chrono::steady_clock::now() > deadline)
            return Error { "kaleon", ETIMEDOUT, "The saver (process " + std::to_string(*pid) + ") did not end" };
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::optional<pid_t>(*pid);
}

} // namespace kaleon::host
