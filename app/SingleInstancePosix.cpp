// The single-instance guard on POSIX systems: an advisory lock on a file in the user's runtime
// directory, so one copy runs per user session.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <cstdlib>

#include "app/SingleInstance.h"

namespace velor {

struct SingleInstance::Guard {
    int fd = -1;
};

void SingleInstance::GuardDeleter::operator()(Guard* guard) const {
    // Closing the file lets the lock go; the file stays for the next copy.
    close(guard->fd);
    delete guard;
}

namespace {

// A folder only this user can enter: owned by the user, not a link, no access for others.
bool privateFolder(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

std::string SingleInstance::lockDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && privateFolder(runtime)) return runtime;
    const std::string own = QDir::tempPath().toStdString() + "/velor-" + std::to_string(getuid());
    // mkdir fails when it exists; then it has to be the user's own private folder.
    mkdir(own.c_str(), 0700);
    if (privateFolder(own)) return own;
    // Someone else took that name: the home folder is the user's in any case.
    const std::string home = QDir::homePath().toStdString();
    struct stat st {};
    return stat(home.c_str(), &st) == 0 && st.st_uid == getuid() ? home : std::string();
}

bool SingleInstance::acquire() {
    if (held()) return true;
    const std::string folder = lockDirectory();
    if (folder.empty()) return false;
    const std::string path = folder + "/" + name_ + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    // The lock, not the file, says that a copy runs: the file stays behind after a copy ends.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    guard_.reset(new Guard{fd});
    return true;
}

}  // namespace velor
