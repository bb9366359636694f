#include "app/TestHooks.h"

#include <charconv>
#include <cstring>
#include <fstream>
#include <utility>

namespace velor {

std::string messageLogLine(const MessageCall& call) {
    std::string line = std::to_string(call.kind) + '|' + std::to_string(call.iconSet) + '|' +
                       call.text1 + '|' + call.text2;
    // One message, one line: a line break inside a text would split the record.
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
}

char defaultAnswer(unsigned kind, char incoming) {
    switch (kind) {
        case 1:
        case 2:
        case 3:
        case 5:
            return kAnswerYes;
        case 4:
            return kAnswerConfirmed;
        default:
            return incoming;
    }
}

MessageLogPresenter::MessageLogPresenter(std::string path) : path_(std::move(path)) {
    previous_ = setMessagePresenter(this);
}

MessageLogPresenter::~MessageLogPresenter() {
    setMessagePresenter(previous_);
}

char MessageLogPresenter::present(const MessageCall& call, char answer) {
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    out << messageLogLine(call) << '\n';
    out.flush();
    return defaultAnswer(call.kind, answer);
}

std::optional<std::uint16_t> parseTcpPort(const char* text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    const char* end = text + std::strlen(text);
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace velor
