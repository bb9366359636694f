#include "tools/velor-cli/Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/Console.h"
#include "tools/velor-cli/Interrupt.h"

namespace velor::cli {

namespace {

bool g_recordingFailed = false;

}  // namespace

void noteRecordingFailed() {
    g_recordingFailed = true;
}

StdoutBuffer::StdoutBuffer() {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

StdoutBuffer::int_type StdoutBuffer::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int StdoutBuffer::sync() {
    return drain() ? 0 : -1;
}

// Once a write failed nothing more goes out: the lines after a lost one would mislead.
bool StdoutBuffer::drain() {
    const auto n = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    if (error_ != 0) return false;
    errno = 0;
    if (!writeText(stdout, std::string_view(buffer_.data(), n))) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

bool written(std::ostream& out) {
    out.flush();
    return out.good();
}

int finalExitCode(int code, const StdoutBuffer& output, std::ostream& err) {
    if (const int interrupt = interruptExitCode(); interrupt != 0) return interrupt;
    if (g_recordingFailed) return kExitUsage;
    if (output.error() == EPIPE) return kExitBrokenPipe;
    if (output.error() != 0) {
        err << "velor-cli: cannot write the output: " << std::strerror(output.error()) << "\n";
        return kExitUsage;
    }
    return code;
}

}  // namespace velor::cli
