#pragma once
// The program's one message window: information, timed notice, yes/no and yes/no/cancel
// questions. It presents every ShowMessageWindow call once installed.

#include <QDialog>
#include <QPixmap>
#include <memory>

#include "ui/MessageService.h"

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace velor {

struct ProgressState;

class TForm_Msg : public QDialog, public MessagePresenter {
    Q_OBJECT
public:
    explicit TForm_Msg(ProgressState& progress, QWidget* parent = nullptr);
    ~TForm_Msg() override;

    char present(const MessageCall& call, char answer) override;

    void FormCreate();
    void Timer1Timer();

    // Escape and the close box close with Cancel (2).
    void reject() override;

    QFrame* Bevel1;
    QLabel* Label_1;
    QLabel* Image_1;
    QLabel* Image_2;
    QLabel* Image_3;
    QPushButton* BitBtn_1;
    QPushButton* BitBtn_2;
    QPushButton* BitBtn_3;
    QPushButton* BitBtn_4;
    QPushButton* BitBtn_5;
    QPushButton* BitBtn_6;
    QWidget* PanelSize;
    QTimer* Timer1;

private:
    QPushButton* makeButton(const char* name, const char* caption, int x, int result);
    QLabel* makeImage(const char* name, const QPixmap& symbol);
    void showSymbol(unsigned kind, std::uint8_t iconSet);

    ProgressState& progress_;
    MessagePresenter* previous_ = nullptr;
    bool installed_ = false;

    friend std::unique_ptr<TForm_Msg> installMessageWindow(ProgressState& progress);
};

// The three 34 x 34 symbols: 1 information, 2 warning, 3 question.
QPixmap messageSymbol(int which);

// Creates the message window and makes it the presenter of ShowMessageWindow until it is
// destroyed. The program entry keeps it for the whole run.
std::unique_ptr<TForm_Msg> installMessageWindow(ProgressState& progress);

}  // namespace velor
