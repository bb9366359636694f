#pragma once
// The transfer window: one per running request. Its 10 ms timer Timer1 drives the step machine;
// it releases itself when the request is finished, and its destruction starts the next queued
// request.

#include <QObject>
#include <QTimer>

#include "comm/TransferEngine.h"

namespace velor {

class TForm_Com : public QObject {
    Q_OBJECT
public:
    TForm_Com(TransferContext context, TransferRequest& request, QObject* parent = nullptr);
    ~TForm_Com() override;

    void Timer1Timer();
    TransferRun& run() { return run_; }

    QTimer* Timer1;

private:
    TransferContext ctx_;
    TransferRun run_;
    bool releasing_ = false;
};

// Creates a TForm_Com for every started request; the application sets it as engine.Windows.
class TransferWindowFactoryQt : public TransferWindowFactory {
public:
    explicit TransferWindowFactoryQt(TransferContext context) : ctx_(context) {}
    void createWindow(TransferRequest& request) override;

private:
    TransferContext ctx_;
};

}  // namespace velor
