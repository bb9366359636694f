// SIGINT, SIGTERM and SIGHUP through a self-pipe: the handler notes the signal and writes a
// byte that a socket notifier turns into InterruptNotifier::interrupted() in the event loop.
// SIGPIPE is ignored, so that a closed standard output (a pipe whose reader ended) shows as a
// failed write, on a TCP and a serial link alike, and the command can close its port.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "tools/velor-cli/Interrupt.h"

namespace velor::cli {

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    noteInterrupt(128 + signal);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

bool makePipe() {
    if (::pipe(g_pipe) != 0) return false;
    for (const int fd : g_pipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

}  // namespace

InterruptNotifier& installInterruptHandler() {
    static InterruptNotifier* notifier = [] {
        auto* n = new InterruptNotifier();
        ::signal(SIGPIPE, SIG_IGN);
        if (!makePipe()) return n;
        auto* socket = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, n);
        QObject::connect(socket, &QSocketNotifier::activated, n, [n] {
            char bytes[16];
            while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
            }
            emit n->interrupted();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
        return n;
    }();
    return *notifier;
}

}  // namespace velor::cli
