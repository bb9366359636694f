#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace velor {
namespace {

// Takes the first mouse event meant for the active window (or the progress window) while
// StepProgress lets events through; a left press there interrupts the operation.
class MouseTaker : public QObject {
public:
    MouseTaker(ProgressState& state, QWidget* progress) : state_(state), progress_(progress) {}

    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (taken_ || !isMouse(ev->type())) return false;
        auto* w = qobject_cast<QWidget*>(obj);
        if (w == nullptr) return false;
        QWidget* win = w->window();
        if (win != QApplication::activeWindow() && win != progress_) return false;
        taken_ = true;
        const auto* me = static_cast<QMouseEvent*>(ev);
        if (ev->type() == QEvent::MouseButtonPress && me->button() == Qt::LeftButton) {
            QApplication::beep();
            state_.ProgressAbort = true;
        }
        return true;
    }

private:
    static bool isMouse(QEvent::Type t) {
        return t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease ||
               t == QEvent::MouseButtonDblClick || t == QEvent::MouseMove || t == QEvent::Wheel;
    }

    ProgressState& state_;
    QWidget* progress_;
    bool taken_ = false;
};

}  // namespace

TForm_Prubeh::TForm_Prubeh(ProgressState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Bevel1(new QFrame(this)),
      Label_101(new QLabel(this)),
      Gauge1(new QProgressBar(this)),
      Button(new QPushButton(QString::fromUtf8("&Přerušit"), this)),
      PanelSize(new QWidget(this)),
      state_(state) {
    setObjectName("TForm_Prubeh");
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 380, 120);
    Label_101->setObjectName("Label_101");
    Label_101->setAlignment(Qt::AlignCenter);
    Label_101->setGeometry(16, 24, 364, 20);
    Gauge1->setObjectName("Gauge1");
    Gauge1->setGeometry(16, 64, 364, 24);
    Gauge1->setTextVisible(true);
    QPalette pal = Gauge1->palette();
    pal.setColor(QPalette::Highlight, QColor(0, 0, 128));
    Gauge1->setPalette(pal);
    Gauge1->setRange(0, 0);
    Gauge1->setValue(0);
    Button->setObjectName("Button");
    QFont bold = Button->font();
    bold.setBold(true);
    Button->setFont(bold);
    Button->setGeometry(148, 144, 100, 32);
    PanelSize->setObjectName("PanelSize");
    PanelSize->setGeometry(396, 189, 8, 8);
    PanelSize->hide();
    connect(Button, &QPushButton::clicked, this, &TForm_Prubeh::ButtonClick);
    FormCreate();
}

void TForm_Prubeh::FormCreate() {
    setFixedSize(PanelSize->x(), PanelSize->y());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void TForm_Prubeh::ButtonClick() {
    state_.ProgressAbort = true;
}

void OpenProgress(ProgressState& state, const std::string& text, const std::string& caption,
                  std::uint16_t steps, std::uint16_t divider) {
    auto window = std::make_unique<TForm_Prubeh>(state);
    TForm_Prubeh* w = window.get();
    state.windows.push_back(std::move(window));
    state.current = w;
    w->setWindowTitle(QString::fromUtf8(caption));
    w->Label_101->setText(QString::fromUtf8(text));
    w->Button->setVisible(steps > 0);
    w->StepCounter = 0;
    w->Divider = divider;
    // The gauge takes the range first, so that a value of 0 is always within it.
    w->Gauge1->setRange(0, steps);
    w->Gauge1->setValue(0);
    if (steps > 0) w->show();
    w->Label_101->repaint();
    w->Button->repaint();
    StepProgress(state);
}

void StepProgress(ProgressState& state) {
    TForm_Prubeh* w = state.current;
    if (w == nullptr || w->Divider == 0) return;
    const bool due = w->StepCounter == 0;
    // Counts calls modulo the divider, so a divider n advances the gauge on every n-th call.
    w->StepCounter = (w->StepCounter + 1) % w->Divider;
    if (!due) return;
    QProgressBar* gauge = w->Gauge1;
    gauge->setValue(std::min(gauge->value() + 1, gauge->maximum()));
    gauge->repaint();
    MouseTaker taker(state, w);
    qApp->installEventFilter(&taker);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&taker);
}

}  // namespace velor
