#include "core/ending.h"

#include "core/file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace kaleon {

namespace {

constexpr std::array kEndingSignals { SIGTERM, SIGINT, SIGHUP };

std::array<int, 2> g_loopPipe { -1, -1 };
std::array<int, 2> g_watchdogPipe { -1, -1 };
std::array<struct sigaction, 3> g_previous {};
std::atomic<int> g_hungUpConnection = -1;
std::atomic<long> g_graceMilliseconds = kEndingGrace.count();

int slotOf(int signal)
{
    for (size_t i = 0; i < kEndingSignals.size(); ++i) {
        if (kEndingSignals[i] == signal)
            return static_cast<int>(i);
    }
    return -1;
}

extern "C" void onEndingSignal(int signal)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    if (g_loopPipe[1] >= 0) [[maybe_unused]]
        const auto toLoop = ::write(g_loopPipe[1], &byte, 1);
    [[maybe_unused]] const auto toWatchdog = ::write(g_watchdogPipe[1], &byte, 1);
    if (const int slot = slotOf(signal); slot >= 0) {
        const auto& previous = g_previous[static_cast<size_t>(slot)];
        if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN
            && previous.sa_handler != nullptr && previous.sa_handler != onEndingSignal)
            previous.sa_handler(signal);
    }
    errno = saved;
}

[[noreturn]] void endBy(int signal)
{
    removeTemporaryFilesInProgress();
    if (signal == 0)
        ::_exit(0);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    ::_exit(128 + signal);
}

// Sleeps until a signal comes or the connection hangs up, gives the main loop its grace, and
// ends the process if it is still there.
void watch()
{
    for (;;) {
        std::array<pollfd, 2> watched {
            pollfd { g_watchdogPipe[0], POLLIN, 0 },
            pollfd { g_hungUpConnection.load(), POLLRDHUP, 0 },
        };
        // A connection named later wakes the poll through the pipe with a zero byte.
        if (::poll(watched.data(), watched.size(), -1) < 0)
            continue;
        int ending = -1;
        if (watched[0].revents & POLLIN) {
            unsigned char received = 0;
            if (::read(g_watchdogPipe[0], &received, 1) == 1 && received != 0)
                ending = received;
        }
        if (ending < 0 && watched[1].fd >= 0 && (watched[1].revents & (POLLRDHUP | POLLHUP | POLLERR)))
            ending = 0;
        if (ending < 0)
            continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(g_graceMilliseconds.load()));
        endBy(ending);
    }
}

void startWatchdog()
{
    static const bool started = [] {
        if (::pipe2(g_watchdogPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        std::thread(watch).detach();
        return true;
    }();
    (void)started;
}

} // namespace

int watchEndingSignals(std::chrono::milliseconds grace)
{
    g_graceMilliseconds = grace.count();
    startWatchdog();
    if (g_loopPipe[0] < 0 && ::pipe2(g_loopPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        g_loopPipe = { -1, -1 };
    struct sigaction action { };
    action.sa_handler = onEndingSignal;
    ::sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kEndingSignals.size(); ++i)
        ::sigaction(kEndingSignals[i], &action, &g_previous[i]);
    return g_loopPipe[0];
}

int receivedEndingSignal(int descriptor)
{
    unsigned char received = 0;
    return ::read(descriptor, &received, 1) == 1 ? received : 0;
}

void endWhenHungUp(int connection, std::chrono::milliseconds grace)
{
    g_graceMilliseconds = grace.count();
    startWatchdog();
    g_hungUpConnection = connection;
    const unsigned char wake = 0;
    [[maybe_unused]] const auto written = ::write(g_watchdogPipe[1], &wake, 1);
}

} // namespace kaleon
