#pragma once

// While one exists, Ctrl+C (SIGINT), SIGTERM and SIGHUP do not end the
// program at once: they are noted, so a run of writes can stop between two
// names, sync what went in and say so.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // The signal that asked to stop, or 0.
    static int received();
    // "SIGINT" and the like.
    static const char *name(int signal);
};
