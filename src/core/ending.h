#pragma once

#include <chrono>

namespace kaleon {

// How long a program that was told to end may take to put itself away before it is ended.
inline constexpr std::chrono::milliseconds kEndingGrace { 1000 };

// From now on SIGTERM, SIGINT and SIGHUP each write their number as one byte to the returned
// descriptor (non-blocking), for the main loop to read and end on; a handler that was in place
// before (SDL's, say) is still called. Whatever the main thread is doing, a process still
// running `grace` after the first of them removes the temporary files of the AtomicFiles in
// progress and ends as that signal would have ended it. Returns -1 when no pipe can be made;
// the signals still end the process then, after the grace. Called once per process.
int watchEndingSignals(std::chrono::milliseconds grace = kEndingGrace);

// The signal that arrived on `descriptor` (as returned by watchEndingSignals), or 0 when none
// could be read.
int receivedEndingSignal(int descriptor);

// From now on the process also ends, `grace` after `connection` (a display server's socket)
// hangs up, if it has not ended by then: a saver whose display went away has nothing left to
// do. It removes the temporary files in progress and exits with status 0.
void endWhenHungUp(int connection, std::chrono::milliseconds grace = kEndingGrace);

} // namespace kaleon
