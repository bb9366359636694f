#pragma once
// Interrupts of velor-cli: Ctrl+C, a request to end (SIGTERM) and a hang-up (SIGHUP), or what
// the platform has of them. The handler only notes the interrupt and wakes the event loop; the
// waits see it and return at once, and the command ends on its usual path, which closes the
// port and writes what it recorded. One implementation per platform, chosen by CMake.

#include <QObject>

namespace velor::cli {

class InterruptNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    // Emitted in the event loop of the thread that installed the handler.
    void interrupted();
};

// Installs the handler (later calls change nothing) and returns the object that tells the
// event loop. Call it with the QCoreApplication in place.
InterruptNotifier& installInterruptHandler();

// 0 while no interrupt came, else the exit code it asks for: 128 + the signal's number
// (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP).
int interruptExitCode();

// Notes an interrupt with its exit code; the first one counts. Safe in a signal handler.
void noteInterrupt(int exitCode);

}  // namespace velor::cli
