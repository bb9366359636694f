// The single-instance guard on POSIX systems: a lock file in the temporary directory.

#include <QDir>
#include <QLockFile>
#include <QString>

#include "app/SingleInstance.h"

namespace velor {

struct SingleInstance::Guard {
    explicit Guard(const QString& path) : lock(path) {}
    QLockFile lock;
};

void SingleInstance::GuardDeleter::operator()(Guard* guard) const {
    guard->lock.unlock();
    delete guard;
}

bool SingleInstance::acquire() {
    if (held()) return true;
    const QString path = QDir::tempPath() + QLatin1Char('/') + QString::fromStdString(name_) +
                         QStringLiteral(".lock");
    std::unique_ptr<Guard, GuardDeleter> guard(new Guard(path));
    // Never stale by age: the program runs for hours. A lock whose process is gone is
    // recognised by its process id and taken over.
    guard->lock.setStaleLockTime(0);
    if (!guard->lock.tryLock(0)) return false;
    guard_ = std::move(guard);
    return true;
}

}  // namespace velor
