#pragma once

// From the first call on, Ctrl+C (SIGINT), SIGTERM and SIGHUP no longer end
// the program at once: they are noted, so a run of writes can stop between
// two names, sync what went in and say so. They stay caught to the end, so a
// signal that comes after the last write cannot turn a finished run into a
// killed one.
namespace StopSignals {

void catchFromNowOn();
// The signal that asked to stop, or 0.
int received();
// "SIGINT" and the like.
const char *name(int signal);

} // namespace StopSignals
