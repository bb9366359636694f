#include "comm/TransferWindow.h"

namespace velor {

namespace {
constexpr int kTickMs = 10;
}

TForm_Com::TForm_Com(TransferContext context, TransferRequest& request, QObject* parent)
    : QObject(parent), Timer1(new QTimer(this)), ctx_(context), run_(context, request) {
    ctx_.engine.TransferWindow = &run_;
    setObjectName("TForm_Com");
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kTickMs);
    connect(Timer1, &QTimer::timeout, this, &TForm_Com::Timer1Timer);
    Timer1->start();
}

TForm_Com::~TForm_Com() {
    Timer1->stop();
    // The window always belongs to the request in queue slot 1.
    if (ctx_.engine.TransferWindow == &run_) transferWindowDestroyed(ctx_.engine);
}

void TForm_Com::Timer1Timer() {
    if (releasing_) return;
    run_.tick();
    if (!run_.timerEnabled()) Timer1->stop();
    if (!run_.released()) return;
    // Destroyed once the current event has been handled.
    releasing_ = true;
    Timer1->stop();
    deleteLater();
}

void TransferWindowFactoryQt::createWindow(TransferRequest& request) {
    new TForm_Com(ctx_, request);
}

}  // namespace velor
