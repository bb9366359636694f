#pragma once
// ShowMessageWindow: the one operation that shows a message to the user. The logic calls it;
// the message window (or a test) presents it. Without a presenter the call does nothing and
// leaves the answer as it was, so tools and tests that do not care about messages run as is.

#include <cstdint>
#include <string>

namespace velor {

// Answer codes.
inline constexpr char kAnswerYes = 'A';
inline constexpr char kAnswerNo = 'N';
inline constexpr char kAnswerCancel = 27;
inline constexpr char kAnswerConfirmed = 'E';
inline constexpr char kAnswerNotConfirmed = 0;

struct MessageCall {
    std::string text1;  // UTF-8
    std::string text2;  // UTF-8
    unsigned kind = 2;
    std::uint8_t iconSet = 0;
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows the message; returns the answer (the incoming answer where the kind leaves it).
    virtual char present(const MessageCall& call, char answer) = 0;
};

// Installs the presenter (nullptr removes it); returns the previous one.
MessagePresenter* setMessagePresenter(MessagePresenter* presenter);
MessagePresenter* messagePresenter();

void ShowMessageWindow(const std::string& text1, const std::string& text2, unsigned kind,
                       char& answer, std::uint8_t iconSet);
// The common call of this system: kind 2, answer not needed.
void ShowMessageWindow(const std::string& text1, const std::string& text2, unsigned kind = 2,
                       std::uint8_t iconSet = 0);

}  // namespace velor
