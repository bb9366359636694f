// The simulator on Windows. A stop request: the console's control handler runs on a thread of
// its own and hands the request to the event loop.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>

#include "tools/modsim/Platform.h"

namespace velor::modsim {

namespace {

BOOL WINAPI onConsoleControl(DWORD) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
    return TRUE;
}

}  // namespace

void quitOnStopRequest(QCoreApplication&) {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

std::FILE* openForWriting(const QString& path) {
    return _wfopen(reinterpret_cast<const wchar_t*>(path.utf16()), L"w");
}

}  // namespace velor::modsim
