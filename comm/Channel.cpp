#include "comm/Channel.h"

#include "comm/TcpLink.h"
#include "comm/TrafficTap.h"

namespace velor {

namespace {

std::unique_ptr<SerialPort>* portSlot(ChannelState& state, int channel) {
    if (!isValidChannel(channel)) return nullptr;
    return &state.serialPorts[static_cast<std::size_t>(channel - 1)];
}

void openTcp(ChannelState& state, int channel, const PortRecord& record) {
    // A serial port left open before the channel was switched to TCP is let go.
    auto& slot = *portSlot(state, channel);
    if (slot) slot->close();
    if (state.tcp == nullptr) {
        state.TransferResult = kNoTcpTransport;
        return;
    }
    state.tcp->TcpOpen(channel, getTcpHost(record));
    state.TransferResult = state.tcp->TcpState(channel).state;
}

bool& lostMark(ChannelState& state, int channel) {
    return state.deviceLost[static_cast<std::size_t>(channel - 1)];
}

void openSerial(ChannelState& state, int channel, PortRecord& record) {
    auto& slot = *portSlot(state, channel);
    if (slot) slot->close();
    record.Handle = -1;
    // BaudIndex comes from a file; an index outside the table is refused, not looked up.
    const std::uint32_t baud = baudRateAt(record.BaudIndex);
    const std::string device =
        state.resolvePort ? state.resolvePort(state.SelectedPortName) : std::string();
    if (baud == 0 || device.empty()) {
        state.TransferResult = kOpenFailed;
        return;
    }
    if (!slot) slot = createSerialPort();
    if (!slot->open(device, baud, record.NoParity == 0)) {
        state.TransferResult = kOpenFailed;
        return;
    }
    record.Handle = slot->nativeHandle();
}

}  // namespace

bool IsTcpChannel(const ChannelState& state, int channel) {
    const PortRecord* record = state.ChannelTable.record(channel);
    return record != nullptr && record->PortNumber == 0;
}

SerialPort* channelSerialPort(ChannelState& state, int channel) {
    if (IsTcpChannel(state, channel)) return nullptr;
    auto* slot = portSlot(state, channel);
    if (slot == nullptr || !*slot || !(*slot)->isOpen()) return nullptr;
    return slot->get();
}

void OpenChannel(ChannelState& state, int channel) {
    PortRecord* record = state.ChannelTable.record(channel);
    if (record == nullptr) {
        state.TransferResult = kOpenFailed;
        return;
    }
    state.CurrentChannel = channel;
    lostMark(state, channel) = false;
    if (record->PortNumber == 0) {
        openTcp(state, channel, *record);
        return;
    }
    openSerial(state, channel, *record);
}

void CloseChannel(ChannelState& state, int channel) {
    const PortRecord* record = state.ChannelTable.record(channel);
    if (record == nullptr) return;
    lostMark(state, channel) = false;
    if (record->PortNumber == 0) {
        if (state.tcp != nullptr) state.tcp->TcpClose(channel, getTcpHost(*record));
        return;
    }
    auto& slot = *portSlot(state, channel);
    if (slot) slot->close();
}

namespace {

int readChannel(ChannelState& state, int channel, std::uint8_t* buffer, int count) {
    if (IsTcpChannel(state, channel)) {
        return state.tcp != nullptr ? state.tcp->TcpRead(channel, buffer, count) : 0;
    }
    SerialPort* port = channelSerialPort(state, channel);
    if (port == nullptr) return 0;
    const int got = port->read(buffer, count);
    dropLostPort(state, channel);
    return got;
}

int writeChannel(ChannelState& state, int channel, const std::uint8_t* buffer, int count) {
    if (IsTcpChannel(state, channel)) {
        // Without a transport nothing was sent, and the count says so.
        if (state.tcp == nullptr) return 0;
        return state.tcp->TcpSend(channel, buffer, count);
    }
    SerialPort* port = channelSerialPort(state, channel);
    if (port == nullptr) return 0;
    const int taken = port->write(buffer, count);
    dropLostPort(state, channel);
    return taken;
}

// The traffic monitor watches the program's one channel.
TrafficTap* tapOf(ChannelState& state, int channel) {
    return channel == 1 ? state.tap : nullptr;
}

}  // namespace

int ReadChannel(ChannelState& state, int channel, std::uint8_t* buffer, int count) {
    if (buffer == nullptr || count <= 0) return 0;
    const int got = readChannel(state, channel, buffer, count);
    TrafficTap* tap = tapOf(state, channel);
    if (tap != nullptr && got > 0) tap->read({buffer, static_cast<std::size_t>(got)});
    return got;
}

int WriteChannel(ChannelState& state, int channel, const std::uint8_t* buffer, int count) {
    if (buffer == nullptr || count <= 0) return 0;
    const int taken = writeChannel(state, channel, buffer, count);
    TrafficTap* tap = tapOf(state, channel);
    if (tap != nullptr && taken > 0) tap->written({buffer, static_cast<std::size_t>(taken)});
    return taken;
}

bool dropLostPort(ChannelState& state, int channel) {
    SerialPort* port = channelSerialPort(state, channel);
    if (port != nullptr && port->deviceLost()) {
        // Released at once: the descriptor of a vanished device is worth nothing, and holding
        // it would keep the kernel's node of a re-plugged adapter from being reused.
        port->close();
        lostMark(state, channel) = true;
    }
    return isDeviceLost(state, channel);
}

bool isDeviceLost(const ChannelState& state, int channel) {
    return isValidChannel(channel) && !IsTcpChannel(state, channel) &&
           state.deviceLost[static_cast<std::size_t>(channel - 1)];
}

bool reopenLostPort(ChannelState& state, int channel) {
    if (!isDeviceLost(state, channel)) return false;
    PortRecord* record = state.ChannelTable.record(channel);
    const std::int32_t result = state.TransferResult;
    openSerial(state, channel, *record);
    state.TransferResult = result;
    if (channelSerialPort(state, channel) == nullptr) return false;
    lostMark(state, channel) = false;
    return true;
}

std::int32_t ReopenChannel(ChannelState& state) {
    state.TransferResult = 0;
    OpenChannel(state, 1);
    return state.TransferResult;
}

}  // namespace velor
