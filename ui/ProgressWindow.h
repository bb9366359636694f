#pragma once
// The progress window: a text, a bar gauge and an interrupt button over a long operation that
// runs on the UI thread. The operation calls StepProgress and looks at ProgressAbort.

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace velor {

struct ProgressState;

class TForm_Prubeh : public QDialog {
    Q_OBJECT
public:
    explicit TForm_Prubeh(ProgressState& state, QWidget* parent = nullptr);

    void FormCreate();
    void ButtonClick();

    QFrame* Bevel1;
    QLabel* Label_101;
    QProgressBar* Gauge1;
    QPushButton* Button;
    QWidget* PanelSize;

    std::int32_t StepCounter = 0;
    std::int32_t Divider = 0;

private:
    ProgressState& state_;
};

struct ProgressState {
    // Every window opened lives until the program ends; the newest is the current one.
    std::vector<std::unique_ptr<TForm_Prubeh>> windows;
    TForm_Prubeh* current = nullptr;
    // Set by the interrupt button or a click during StepProgress; never cleared here.
    bool ProgressAbort = false;
};

// Texts are UTF-8. With steps 0 the window is made but neither shown nor given its button.
void OpenProgress(ProgressState& state, const std::string& text, const std::string& caption,
                  std::uint16_t steps, std::uint16_t divider);
// Advances the gauge on every divider-th call and lets one mouse click on the active window
// interrupt the operation.
void StepProgress(ProgressState& state);

}  // namespace velor
