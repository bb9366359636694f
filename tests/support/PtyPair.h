#pragma once
// A pseudo-terminal pair for serial tests: the program opens the slave path as its "port",
// the test plays the far end on the master.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velor::test {

class PtyPair {
public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const char* name = ::ptsname(master_);
        if (name != nullptr) slavePath_ = name;
    }
    ~PtyPair() {
        if (master_ >= 0) ::close(master_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
    // Closes the master: the slave hangs up as a pulled adapter does.
    void hangUp() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    const std::string& slavePath() const { return slavePath_; }

    bool send(const std::vector<std::uint8_t>& bytes) {
        return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Whatever has arrived from the far end, without waiting.
    std::vector<std::uint8_t> drain() {
        std::vector<std::uint8_t> got;
        std::uint8_t buf[4096];
        for (ssize_t n; master_ >= 0 && (n = ::read(master_, buf, sizeof buf)) > 0;) {
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    // Collects bytes from the far end until count have arrived or the deadline passes.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs = 2000) {
        std::vector<std::uint8_t> got;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            std::uint8_t buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

// An adapter that can be pulled and plugged back: a link (such as a COMn entry) in dir that
// leads to the slave of a fresh pseudo-terminal after every plugIn.
class PluggedPty {
public:
    explicit PluggedPty(std::filesystem::path link) : link_(std::move(link)) {}

    bool plugIn() {
        pty_ = std::make_unique<PtyPair>();
        if (!pty_->ok()) return false;
        std::filesystem::remove(link_);
        std::filesystem::create_symlink(pty_->slavePath(), link_);
        return true;
    }
    // The master closes (the slave hangs up) and the link goes, as a pulled adapter's node.
    void pull() {
        pty_->hangUp();
        std::filesystem::remove(link_);
    }
    PtyPair& pty() { return *pty_; }

private:
    std::filesystem::path link_;
    std::unique_ptr<PtyPair> pty_;
};

// Repeats check until it holds or the time is up (the line discipline delivers asynchronously).
template <typename Check>
bool eventually(Check check, int timeoutMs = 2000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!check()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ::usleep(2000);
    }
    return true;
}

}  // namespace velor::test
