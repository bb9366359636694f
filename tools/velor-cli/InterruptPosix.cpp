#include <csignal>

#include "tools/velor-cli/Interrupt.h"

namespace velor::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int) {
    g_interrupted = 1;
}

}  // namespace

void catchInterruptRequest() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

bool interruptRequested() {
    return g_interrupted != 0;
}

}  // namespace velor::cli
