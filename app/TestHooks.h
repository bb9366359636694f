#pragma once
// Hooks that let process-level tests and demonstrations drive the real program. They are off
// unless their environment variable is set, so a technician's run is never affected.
//
//   VELOR_MESSAGE_LOG=<file>  every message is appended to <file> as one UTF-8 line
//                             "kind|iconSet|text1|text2" and answered at once as if its default
//                             button (OK / Yes) were pressed; no window is shown. A modal
//                             message in another process cannot be clicked by a test.
//   VELOR_TCP_PORT=<n>        the TCP peer port (10000 otherwise), so a test or a demo can run
//                             the program against a simulator listening on a free port.

#include <cstdint>
#include <optional>
#include <string>

#include "ui/MessageService.h"

namespace velor {

inline constexpr const char* kMessageLogVariable = "VELOR_MESSAGE_LOG";
inline constexpr const char* kTcpPortVariable = "VELOR_TCP_PORT";

// The line a message is logged as (no line end): "kind|iconSet|text1|text2".
std::string messageLogLine(const MessageCall& call);

// The answer the default button gives for a message of this kind.
char defaultAnswer(unsigned kind, char incoming);

// Presents every message by appending its line to the log file; installed while it lives.
class MessageLogPresenter : public MessagePresenter {
public:
    explicit MessageLogPresenter(std::string path);
    ~MessageLogPresenter() override;
    MessageLogPresenter(const MessageLogPresenter&) = delete;
    MessageLogPresenter& operator=(const MessageLogPresenter&) = delete;

    char present(const MessageCall& call, char answer) override;

private:
    std::string path_;
    MessagePresenter* previous_ = nullptr;
};

// A decimal port number 1..65535; anything else (or nothing) gives no override.
std::optional<std::uint16_t> parseTcpPort(const char* text);

}  // namespace velor
