#include "app/SingleInstance.h"

#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <QDir>
#include <QLockFile>
#include <QString>
#endif

namespace velor {

SingleInstance::SingleInstance(std::string name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    release();
}

#ifdef _WIN32

bool SingleInstance::acquire() {
    if (held_) return true;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name_.c_str());
    if (mutex == nullptr) return false;
    // An abandoned mutex (its owner died) is ours now, like a free one.
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return false;
    }
    mutex_ = mutex;
    held_ = true;
    return true;
}

void SingleInstance::release() {
    if (!held_) return;
    ReleaseMutex(static_cast<HANDLE>(mutex_));
    CloseHandle(static_cast<HANDLE>(mutex_));
    mutex_ = nullptr;
    held_ = false;
}

#else

bool SingleInstance::acquire() {
    if (held_) return true;
    const QString path = QDir::tempPath() + QLatin1Char('/') + QString::fromStdString(name_) +
                         QStringLiteral(".lock");
    lock_ = std::make_unique<QLockFile>(path);
    // Never stale by age: the program runs for hours. A lock whose process is gone is
    // recognised by its process id and taken over.
    lock_->setStaleLockTime(0);
    held_ = lock_->tryLock(0);
    if (!held_) lock_.reset();
    return held_;
}

void SingleInstance::release() {
    if (!held_) return;
    lock_->unlock();
    lock_.reset();
    held_ = false;
}

#endif

}  // namespace velor
