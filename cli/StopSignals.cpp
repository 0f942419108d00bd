#include "StopSignals.h"

#include <csignal>
#include <initializer_list>

namespace StopSignals {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

void note(int signal)
{
    stopSignal = signal;
}

} // namespace

void catchFromNowOn()
{
    struct sigaction action {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int received()
{
    return stopSignal;
}

const char *name(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

} // namespace StopSignals
