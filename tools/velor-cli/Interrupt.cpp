#include "tools/velor-cli/Interrupt.h"

#include <atomic>

namespace velor::cli {

namespace {

std::atomic<int> g_exitCode{0};
static_assert(std::atomic<int>::is_always_lock_free, "noted from a signal handler");

}  // namespace

int interruptExitCode() {
    return g_exitCode.load();
}

void noteInterrupt(int exitCode) {
    int none = 0;
    g_exitCode.compare_exchange_strong(none, exitCode);
}

}  // namespace velor::cli
