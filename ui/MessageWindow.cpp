#include "ui/MessageWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "ui/ModalResult.h"
#include "ui/ProgressWindow.h"

namespace velor {
namespace {

constexpr int kSymbolSize = 34;
constexpr int kTextLimit = 255;
constexpr int kNoticeMs = 3000;

void drawDisc(QPainter& p, const QColor& fill) {
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, 30, 30));
    p.setPen(Qt::NoPen);
}

void drawInformation(QPainter& p) {
    drawDisc(p, QColor(0, 0, 128));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(17, 10), 2.5, 2.5);
    p.drawRect(QRectF(15, 14, 4, 12));
}

void drawWarning(QPainter& p) {
    drawDisc(p, QColor(255, 255, 0));
    p.setBrush(Qt::black);
    p.drawRect(QRectF(15, 7, 4, 14));
    p.drawEllipse(QPointF(17, 25), 2.5, 2.5);
}

void drawQuestion(QPainter& p) {
    drawDisc(p, QColor(0, 128, 0));
    QPainterPath hook;
    hook.arcMoveTo(QRectF(12, 7, 10, 10), 180);
    hook.arcTo(QRectF(12, 7, 10, 10), 180, -270);
    hook.lineTo(17, 21);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(17, 26), 2.2, 2.2);
}

}  // namespace

QPixmap messageSymbol(int which) {
    QPixmap pm(kSymbolSize, kSymbolSize);
    pm.fill(QColor(192, 192, 192));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (which == 1) drawInformation(p);
    if (which == 2) drawWarning(p);
    if (which == 3) drawQuestion(p);
    return pm;
}

TForm_Msg::TForm_Msg(ProgressState& progress, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Bevel1(new QFrame(this)),
      Label_1(new QLabel(this)),
      Image_1(makeImage("Image_1", messageSymbol(1))),
      Image_2(makeImage("Image_2", messageSymbol(2))),
      Image_3(makeImage("Image_3", messageSymbol(3))),
      // OK closes with OK (1), not Cancel: otherwise a kind-2 message would answer "no" after
      // OK and a kind-4 confirmation could never be confirmed. Escape and the close box still
      // give Cancel.
      BitBtn_1(makeButton("BitBtn_1", "&OK", 205, kModalOk)),
      BitBtn_2(makeButton("BitBtn_2", "&Ano", 150, kModalYes)),
      BitBtn_3(makeButton("BitBtn_3", "&Ne", 260, kModalNo)),
      BitBtn_4(makeButton("BitBtn_4", "&Ano", 100, kModalYes)),
      BitBtn_5(makeButton("BitBtn_5", "&Ne", 205, kModalNo)),
      BitBtn_6(makeButton("BitBtn_6", "&Zrušit", 310, kModalCancel)),
      PanelSize(new QWidget(this)),
      Timer1(new QTimer(this)),
      progress_(progress) {
    setObjectName("TForm_Msg");
    setModal(true);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 479, 86);
    Bevel1->lower();
    Label_1->setObjectName("Label_1");
    Label_1->setGeometry(60, 22, 420, 58);
    Label_1->setAlignment(Qt::AlignCenter);
    Label_1->setWordWrap(true);
    Label_1->setTextFormat(Qt::PlainText);
    QFont bold = Label_1->font();
    bold.setBold(true);
    Label_1->setFont(bold);
    QPalette pal = Label_1->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    Label_1->setPalette(pal);
    PanelSize->setObjectName("PanelSize");
    PanelSize->setGeometry(495, 147, 8, 8);
    PanelSize->hide();
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kNoticeMs);
    Timer1->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5 % early
    connect(Timer1, &QTimer::timeout, this, &TForm_Msg::Timer1Timer);
    FormCreate();
}

TForm_Msg::~TForm_Msg() {
    if (installed_ && messagePresenter() == this) setMessagePresenter(previous_);
}

QPushButton* TForm_Msg::makeButton(const char* name, const char* caption, int x, int result) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(name);
    b->setGeometry(x, 106, 85, 30);
    b->setAutoDefault(false);
    b->hide();
    connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
    return b;
}

QLabel* TForm_Msg::makeImage(const char* name, const QPixmap& symbol) {
    auto* image = new QLabel(this);
    image->setObjectName(name);
    image->setGeometry(18, 34, kSymbolSize, kSymbolSize);
    image->setPixmap(symbol);
    image->hide();
    return image;
}

void TForm_Msg::FormCreate() {
    setFixedSize(PanelSize->x(), PanelSize->y());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void TForm_Msg::Timer1Timer() {
    Timer1->stop();
    close();
}

void TForm_Msg::reject() {
    done(kModalCancel);
}

void TForm_Msg::showSymbol(unsigned kind, std::uint8_t iconSet) {
    if (iconSet == 0) (kind == 3 || kind == 5 ? Image_3 : Image_1)->show();
    if (iconSet == 1) Image_2->show();
}

char TForm_Msg::present(const MessageCall& call, char answer) {
    const QString text =
        (QString::fromUtf8(call.text1) + "\n " + QString::fromUtf8(call.text2)).left(kTextLimit);
    Label_1->setText(text);
    for (QPushButton* b : {BitBtn_1, BitBtn_2, BitBtn_3, BitBtn_4, BitBtn_5, BitBtn_6}) {
        b->hide();
        b->setDefault(false);
    }
    for (QLabel* image : {Image_1, Image_2, Image_3}) image->hide();
    showSymbol(call.kind, call.iconSet);
    const QString info = QStringLiteral("Informace");
    const QString query = QStringLiteral("Dotaz");
    switch (call.kind) {
        case 1:
            setWindowTitle(info);
            Timer1->start();
            exec();
            Timer1->stop();
            return kAnswerYes;
        case 2:
        case 4: {
            setWindowTitle(info);
            BitBtn_1->show();
            BitBtn_1->setDefault(true);
            const bool ok = exec() == kModalOk;
            if (call.kind == 2) return ok ? kAnswerYes : kAnswerNo;
            return ok ? kAnswerConfirmed : kAnswerNotConfirmed;
        }
        case 3:
            setWindowTitle(query);
            BitBtn_2->show();
            BitBtn_3->show();
            BitBtn_2->setDefault(true);
            return exec() == kModalYes ? kAnswerYes : kAnswerNo;
        case 5: {
            setWindowTitle(query);
            BitBtn_4->show();
            BitBtn_5->show();
            BitBtn_6->show();
            const int r = exec();
            if (r == kModalCancel) return kAnswerCancel;
            if (r == kModalYes) return kAnswerYes;
            if (r == kModalNo) return kAnswerNo;
            return answer;
        }
        case 0:
        case 6:
            OpenProgress(progress_, text.toStdString(), call.text2, 0, 1);
            return answer;
        default:
            return answer;
    }
}

std::unique_ptr<TForm_Msg> installMessageWindow(ProgressState& progress) {
    auto window = std::make_unique<TForm_Msg>(progress);
    window->previous_ = setMessagePresenter(window.get());
    window->installed_ = true;
    return window;
}

}  // namespace velor
