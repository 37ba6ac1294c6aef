#include "host/Interrupt.h"

#include "output/Console.h"

#include <csignal>

#if !defined(_WIN32)
#include <signal.h>
#endif

namespace kvtool {

namespace {

volatile std::sig_atomic_t g_iInterrupted = 0;

#if defined(_WIN32)
void OnInterrupt(int)
{
    g_iInterrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}
#else
void OnInterrupt(int)
{
    g_iInterrupted = 1;
}
#endif

} // namespace

void CatchInterrupt()
{
#if defined(_WIN32)
    std::signal(SIGINT, OnInterrupt);
#else
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // the second Ctrl-C meets the default action
    sigaction(SIGINT, &action, nullptr);
#endif
}

bool Interrupted()
{
    return g_iInterrupted != 0 || OutputReaderGone();
}

} // namespace kvtool
