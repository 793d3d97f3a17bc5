#include "cli/InterruptSignals.h"

#include <atomic>
#include <csignal>

namespace
{

// A signal handler can reach nothing but static storage, and may only touch lock-free atomics.
std::atomic<int> g_nSignals{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnSignal(int)
{
    g_nSignals.fetch_add(1);
}

} // namespace

namespace InterruptSignals
{

void Install()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int Count()
{
    return g_nSignals.load();
}

} // namespace InterruptSignals
