// The single-instance guard on Windows: a named mutex, which the system lets go when the
// holder ends in any way.

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
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, wideFromUtf8(name_).c_str());
    if (mutex == nullptr) return false;
    // An abandoned mutex (its owner died) is ours now, like a free one.
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return false;
    }
    guard_.reset(new Guard{mutex});
    return true;
}

}  // namespace velor
