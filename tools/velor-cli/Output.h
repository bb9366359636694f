#pragma once
// The standard output of velor-cli: a buffered stream that remembers why a write failed, so
// that a command ends at the first line that could not be written, and the exit code tells a
// reader that went away (141, as if SIGPIPE had ended the process) from output that was lost
// (a full disk: exit 2 with a message).

#include <array>
#include <ostream>
#include <streambuf>

namespace velor::cli {

inline constexpr int kExitBrokenPipe = 128 + 13;

class StdoutBuffer : public std::streambuf {
public:
    StdoutBuffer();
    // The system's error number of the first failed write; 0 while all went out.
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();

    std::array<char, 4096> buffer_{};
    int error_ = 0;
};

// Notes that a file the command records into (--pcap) could not be written; its message has
// been given. The command then ends with exit 2, whatever it returns.
void noteRecordingFailed();

// Pushes what out holds to its file; false once a write of it failed.
bool written(std::ostream& out);

// The exit code of a command that returned code: an interrupt's code, 2 after a failed
// recording, 141 when the reader of the output went away, 2 with a message on err when the
// output could not be written.
int finalExitCode(int code, const StdoutBuffer& output, std::ostream& err);

}  // namespace velor::cli
