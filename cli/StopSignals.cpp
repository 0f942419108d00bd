#include "StopSignals.h"

#include <csignal>
#include <iterator>

namespace {

volatile std::sig_atomic_t stopSignal = 0;
constexpr int caught[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(caught)];

void note(int signal)
{
    stopSignal = signal;
}

} // namespace

StopSignals::StopSignals()
{
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    for (std::size_t k = 0; k < std::size(caught); ++k)
        sigaction(caught[k], &action, &previous[k]);
}

StopSignals::~StopSignals()
{
    for (std::size_t k = 0; k < std::size(caught); ++k)
        sigaction(caught[k], &previous[k], nullptr);
}

int StopSignals::received()
{
    return stopSignal;
}

const char *StopSignals::name(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}
