#include "tools/velor-cli/Console.h"

#include <iostream>

namespace velor::cli {

namespace {

// Unbuffered: a message on stderr goes out whole and at once, as it did through the C stream.
class ErrorText : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return writeText(stderr, std::string_view(&ch, 1)) ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        return writeText(stderr, std::string_view(s, static_cast<std::size_t>(n))) ? n : 0;
    }
};

}  // namespace

std::size_t wholeCharacters(std::string_view text) {
    // Look back over at most three continuation bytes for the last lead byte.
    std::size_t start = text.size();
    for (int back = 0; back < 4 && start > 0; ++back) {
        const auto byte = static_cast<unsigned char>(text[--start]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        return start + length <= text.size() ? text.size() : start;
    }
    return text.size();  // no lead byte near the end: not UTF-8, passed on as it is
}

ConsoleSession::ConsoleSession() : errors_(std::make_unique<ErrorText>()) {
    previous_ = std::cerr.rdbuf(errors_.get());
}

ConsoleSession::~ConsoleSession() {
    std::cerr.rdbuf(previous_);
}

}  // namespace velor::cli
