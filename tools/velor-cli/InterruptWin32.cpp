// Windows: Ctrl+C, Ctrl+Break and a closed console window come through a console control
// handler, which the system runs on a thread of its own. It notes the interrupt and hands the
// news to the event loop; returning TRUE keeps the system from ending the process before the
// command has closed its port.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QMetaObject>

#include "tools/velor-cli/Interrupt.h"

namespace velor::cli {

namespace {

InterruptNotifier* g_notifier = nullptr;

BOOL WINAPI onConsoleControl(DWORD event) {
    // The exit codes a POSIX shell would give: 130 for Ctrl+C (and Ctrl+Break), 129 for a
    // console that went away.
    const bool hangUp = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT ||
                        event == CTRL_SHUTDOWN_EVENT;
    noteInterrupt(hangUp ? 129 : 130);
    if (g_notifier != nullptr)
        QMetaObject::invokeMethod(g_notifier, &InterruptNotifier::interrupted,
                                  Qt::QueuedConnection);
    // After a close the system ends the process when the handler returns: a moment for the
    // command to close the port first.
    if (hangUp) Sleep(2000);
    return TRUE;
}

}  // namespace

InterruptNotifier& installInterruptHandler() {
    static InterruptNotifier* notifier = [] {
        auto* n = new InterruptNotifier();
        g_notifier = n;
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
        return n;
    }();
    return *notifier;
}

}  // namespace velor::cli
