// Ctrl+C, kill and a closed terminal: SDL would turn SIGINT and SIGTERM into an ordinary quit
// message, which during the show only starts the credits. Korvell takes
// them itself: the signal is noted, every loop polls for it, and the
// program ends at once through its normal teardown (music stopped, the
// desktop mode back) with the shell's code for the signal. A second
// signal while that runs ends the process the default way.
#pragma once

namespace Korvell {

// Call before SDL is initialised.
void installQuitSignals();
// The signal that asked Korvell to end, or 0.
int quitSignal();
// 128 + the signal number, the code a shell reports.
inline int signalExitCode(int signal) { return 128 + signal; }

// Tests only: forget a noted signal.
void clearQuitSignal();

} // namespace Korvell
