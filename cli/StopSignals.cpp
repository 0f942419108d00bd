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
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

void endIfStopped()
{
    const int signal = stopSignal;
    if (signal == 0)
        return;
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signal);
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
