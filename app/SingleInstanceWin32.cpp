// The single-instance guard on Windows: the named mutex, which goes with the last handle to it
// when the holder ends in any way.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "app/SingleInstance.h"
#include "comm/Win32Text.h"

namespace velor {

struct SingleInstance::Guard {
    HANDLE mutex = nullptr;
};

void SingleInstance::GuardDeleter::operator()(Guard* guard) const {
    ReleaseMutex(guard->mutex);
    CloseHandle(guard->mutex);
    delete guard;
}

bool SingleInstance::acquire() {
    if (held()) return true;
    // The mutex exists while any copy holds a handle to it; the system closes a dead copy's
    // handles, so a crashed copy never blocks. Checked by existence, not by ownership, since
    // a mutex lets its owning thread take it again.
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, wideFromUtf8(name_).c_str());
    if (mutex == nullptr) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    guard_.reset(new Guard{mutex});
    return true;
}

}  // namespace velor
