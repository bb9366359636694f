#pragma once
// Keeps a second copy of the program from running in the same user session. Windows: the
// named mutex. Elsewhere: an advisory lock on a file in the user's runtime directory; the lock,
// not the file, says that a copy runs, so a copy that crashed or was killed never blocks the
// next start, and other users never meet it.

#include <memory>
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
    bool held() const { return guard_ != nullptr; }
#ifndef _WIN32
    // The folder of the lock file: $XDG_RUNTIME_DIR, or without it a folder of the user's own
    // (mode 0700) in the temporary directory. Empty when neither is usable.
    static std::string lockDirectory();
#endif

private:
    struct Guard;  // the platform's lock (SingleInstancePosix.cpp, SingleInstanceWin32.cpp)
    struct GuardDeleter {
        void operator()(Guard* guard) const;
    };

    std::string name_;
    std::unique_ptr<Guard, GuardDeleter> guard_;
};

}  // namespace velor
