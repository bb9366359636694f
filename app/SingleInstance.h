#pragma once
// Keeps a second copy of the program from running in the same user session. Windows: the
// named mutex (a session-local name). Elsewhere: an advisory lock (flock) on a file in the
// user's runtime directory; the system drops the lock with the process, so a copy that crashed
// or was killed never blocks the next start, and other users never meet the file at all.

#include <string>

namespace velor {

inline constexpr const char* kSingleInstanceName = "KopieProgramuDorvina";

class SingleInstance {
public:
    explicit SingleInstance(std::string name = kSingleInstanceName);
    ~SingleInstance();  // releases
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this copy now holds the guard (also when it held it already); false when
    // another running copy holds it.
    bool acquire();
    // Lets the guard go; harmless when not held.
    void release();
    bool held() const { return held_; }
#ifndef _WIN32
    // The folder of the lock file: $XDG_RUNTIME_DIR, or without it a folder of the user's own
    // (mode 0700) in the temporary directory. Empty when neither is usable.
    static std::string lockDirectory();
#endif

private:
    std::string name_;
    bool held_ = false;
#ifdef _WIN32
    void* mutex_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace velor
