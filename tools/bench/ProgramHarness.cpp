#include "tools/bench/ProgramHarness.h"

#include "comm/Channel.h"
#include "comm/ComConfig.h"
#include "comm/PortRecord.h"
#include "config/ConfigFiles.h"

namespace velor::bench {

void writeLoopbackComConfig() {
    ChannelState table;
    DefaultComConfig(table);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        PortRecord* record = table.ChannelTable.record(channel);
        record->PortNumber = 0;
        SetTcpHost(*record, "127.0.0.1");
    }
    SaveComConfig(table);
}

ProgramHarness::ProgramHarness(quint16 peerPort)
    : app_(std::make_unique<AppState>()), tcp_(peerPort) {
    app_->config.AnalogFileName = "KonfigA.cfa";
    app_->config.BinaryFileName = "KonfigB.cfb";
    app_->config.AnalogDirectory.clear();
    app_->config.BinaryDirectory.clear();

    app_->comm.channel.tcp = &tcp_;
    io_ = std::make_unique<ChannelTableIo>(app_->comm.channel, [] {
        ShowMessageWindow("ERROR", "Chyba při otevírání sériové komunikace", 2, 0);
    });
    transferWindows_ = std::make_unique<TransferWindowFactoryQt>(
        TransferContext{app_->comm.engine, *io_, clock_, app_->comm.channel.TransferResult});
    app_->comm.engine.Windows = transferWindows_.get();

    mainWindow_ = std::make_unique<TForm_MzVyber>(*app_);
    LoadAnalogConfig(app_->config, app_->comm.channel);
    LoadBinaryConfig(app_->config, app_->comm.channel);
    OpenChannel(app_->comm.channel, 1);
    // The editor itself is not shown: closing it is what lets the loop start.
    mainWindow_->setEditorRunner([](auto&&...) {});
}

ProgramHarness::~ProgramHarness() {
    mainWindow_->Timer1->stop();
    mainWindow_.reset();
    CloseChannel(app_->comm.channel, 1);
}

void ProgramHarness::releaseLoop() {
    mainWindow_->B_KonfigClick();
}

std::vector<QTcpSocket*> ProgramHarness::sockets() {
    const auto found = tcp_.findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly);
    return {found.begin(), found.end()};
}

}  // namespace velor::bench
