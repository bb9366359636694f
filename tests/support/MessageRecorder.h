#pragma once
// Records every ShowMessageWindow call and answers from a script, so tests observe and answer
// messages without a window or a human.

#include <deque>
#include <vector>

#include "ui/MessageService.h"

namespace velor::test {

class MessageRecorder : public MessagePresenter {
public:
    MessageRecorder() { previous_ = setMessagePresenter(this); }
    ~MessageRecorder() override { setMessagePresenter(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    // Answers to give, in order; when they run out the incoming answer is kept.
    void queueAnswer(char answer) { answers_.push_back(answer); }

    char present(const MessageCall& call, char answer) override {
        calls.push_back(call);
        if (answers_.empty()) return answer;
        const char a = answers_.front();
        answers_.pop_front();
        return a;
    }

    std::vector<MessageCall> calls;

private:
    MessagePresenter* previous_ = nullptr;
    std::deque<char> answers_;
};

}  // namespace velor::test
