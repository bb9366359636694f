#include "comm/ChannelTableIo.h"

#include <utility>

#include "comm/Channel.h"
#include "comm/TcpLink.h"

namespace velor {

ChannelTableIo::ChannelTableIo(ChannelState& state, std::function<void()> reopenFailed)
    : state_(state), reopenFailed_(std::move(reopenFailed)) {}

bool ChannelTableIo::isTcp(int channel) const {
    return IsTcpChannel(state_, channel);
}

bool ChannelTableIo::isUsable(int channel) {
    return IsTcpChannel(state_, channel) || ChannelSerialPort(state_, channel) != nullptr;
}

bool ChannelTableIo::ignoreLineErrors(int channel) const {
    const PortRecord* record = state_.ChannelTable.record(channel);
    return record != nullptr && record->IgnoreLineErrors != 0;
}

int ChannelTableIo::read(int channel, std::uint8_t* buffer, int count) {
    return ReadChannel(state_, channel, buffer, count);
}

int ChannelTableIo::write(int channel, const std::uint8_t* buffer, int count) {
    return WriteChannel(state_, channel, buffer, count);
}

bool ChannelTableIo::transmitByte(int channel, std::uint8_t byte) {
    SerialPort* port = ChannelSerialPort(state_, channel);
    return port != nullptr && port->transmitByte(byte);
}

LineState ChannelTableIo::lineState(int channel) {
    SerialPort* port = ChannelSerialPort(state_, channel);
    return port != nullptr ? port->lineState() : LineState{};
}

TcpStatus ChannelTableIo::tcpState(int channel) {
    if (state_.tcp == nullptr || !IsValidChannel(channel)) return TcpStatus{};
    return state_.tcp->TcpState(channel);
}

int ChannelTableIo::reopen() {
    const std::int32_t result = ReopenChannel(state_);
    if (result == kOpenFailed && reopenFailed_) reopenFailed_();
    return result;
}

}  // namespace velor
