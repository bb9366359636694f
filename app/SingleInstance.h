#pragma once
// Keeps a second copy of the program from running. Windows: the named mutex. Elsewhere: a
// lock file in the temporary directory whose holder is checked when the file is found, so a
// copy that crashed or was killed never blocks the next start.

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

private:
    struct Guard;  // the platform's lock (SingleInstancePosix.cpp, SingleInstanceWin32.cpp)
    struct GuardDeleter {
        void operator()(Guard* guard) const;
    };

    std::string name_;
    std::unique_ptr<Guard, GuardDeleter> guard_;
};

}  // namespace velor
