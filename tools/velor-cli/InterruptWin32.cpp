#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>

#include "tools/velor-cli/Interrupt.h"

namespace velor::cli {

namespace {

std::atomic<bool> g_interrupted{false};

// Runs on a thread of its own; the command sees the flag within one step of its loop. TRUE
// keeps the system from ending the process before the port is closed. A closed console ends
// the process when the handler returns, so that case waits a moment for the command.
BOOL WINAPI onConsoleControl(DWORD event) {
    g_interrupted = true;
    if (event == CTRL_CLOSE_EVENT) Sleep(1000);
    return TRUE;
}

}  // namespace

void catchInterruptRequest() {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

bool interruptRequested() {
    return g_interrupted;
}

}  // namespace velor::cli
