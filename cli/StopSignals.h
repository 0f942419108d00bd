#pragma once

// From the first call on, Ctrl+C (SIGINT), SIGTERM and SIGHUP no longer end
// the program at once: they are noted, so a run of writes can stop between
// two names, sync what went in and say so. Once that is said, the program
// ends by the same signal (endIfStopped), so that a calling shell loop,
// xargs or make sees the interruption and stops too. A signal the program
// was started with ignored stays ignored.
namespace StopSignals {

void catchFromNowOn();
// The signal that asked to stop, or 0.
int received();
// "SIGINT" and the like.
const char *name(int signal);
// Ends the program by the signal that asked to stop, with its default
// action; returns at once when none did.
void endIfStopped();

} // namespace StopSignals
