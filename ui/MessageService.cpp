#include "ui/MessageService.h"

namespace velor {
namespace {
MessagePresenter* gPresenter = nullptr;
}

MessagePresenter* setMessagePresenter(MessagePresenter* presenter)
{
    MessagePresenter* old = gPresenter;
    gPresenter = presenter;
    return old;
}

MessagePresenter* messagePresenter() { return gPresenter; }

void ShowMessageWindow(const std::string& text1, const std::string& text2, unsigned kind,
                       char& answer, std::uint8_t iconSet)
{
    if (gPresenter == nullptr) return;
    answer = gPresenter->present(MessageCall{text1, text2, kind, iconSet}, answer);
}

void ShowMessageWindow(const std::string& text1, const std::string& text2, unsigned kind,
                       std::uint8_t iconSet)
{
    char answer = 0;
    ShowMessageWindow(text1, text2, kind, answer, iconSet);
}

}  // namespace velor
