#pragma once
// Keeps a second copy of the program from running. Windows: the named mutex. Elsewhere: a
// lock file in the temporary directory whose holder is checked when the file is found, so a
// copy that crashed or was killed never blocks the next start.

#include <memory>
#include <string>

class QLockFile;

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

private:
    std::string name_;
    bool held_ = false;
#ifdef _WIN32
    void* mutex_ = nullptr;
#else
    std::unique_ptr<QLockFile> lock_;
#endif
};

}  // namespace velor
