#pragma once

#include "core/result.h"

#include <filesystem>
#include <optional>
#include <sys/types.h>

namespace kaleon::host {

// Where the full-screen saver of this user's session writes its process id, so that an idle
// manager's resume command (`kaleon --quit`) can end it on any desktop:
// $XDG_RUNTIME_DIR/kaleon.pid. None when XDG_RUNTIME_DIR is not set.
std::optional<std::filesystem::path> runningSaverFile();

// Marks this process as the running saver while it lives; takes the mark away after, unless
// another saver has taken it since.
class RunningSaverMark {
public:
    RunningSaverMark();
    ~RunningSaverMark();
    RunningSaverMark(const RunningSaverMark&) = delete;
    RunningSaverMark& operator=(const RunningSaverMark&) = delete;

private:
    std::optional<std::filesystem::path> m_file;
};

// Ends the marked saver with SIGTERM and waits up to `timeout` seconds for it to be gone.
// The process id it ended; nullopt when no saver is running (no mark, or a stale one).
Result<std::optional<pid_t>> quitRunningSaver(double timeout = 2.0);

} // namespace kaleon::host
