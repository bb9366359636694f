#include "tools/bench/ProgramHarness.h"

#include "comm/Channel.h"
#include "comm/ComConfig.h"
#include "comm/PortRecord.h"

namespace velor::bench {

void writeLoopbackComConfig() {
    ChannelState table;
    DefaultComConfig(table);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        PortRecord* record = table.ChannelTable.record(channel);
        record->PortNumber = 0;
        setTcpHost(*record, "127.0.0.1");
    }
    SaveComConfig(table);
}

namespace {

ProgramHooks BenchHooks(quint16 peerPort, MessagePresenter& messages) {
    ProgramHooks hooks;
    hooks.tcpPeerPort = peerPort;
    hooks.messages = &messages;
    // The editor itself is not shown: closing it is what lets the loop start.
    hooks.editorRunner = [](EditorKind, EditorContext&, QWidget*) {};
    return hooks;
}

}  // namespace

ProgramHarness::ProgramHarness(quint16 peerPort) : program_(BenchHooks(peerPort, messages_)) {
    program_.start();
}

ProgramHarness::~ProgramHarness() {
    program_.stop();
}

void ProgramHarness::releaseLoop() {
    program_.mainWindow().B_KonfigClick();
}

std::vector<QTcpSocket*> ProgramHarness::sockets() {
    const auto found = program_.tcp().findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly);
    return {found.begin(), found.end()};
}

}  // namespace velor::bench
