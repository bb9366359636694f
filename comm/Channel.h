#pragma once
// Channel operations: a channel is a serial port or, when its PortNumber is 0, a TCP
// connection through the TCP transport. Every operation takes the channel number 1 or 2; any
// other number is refused and does nothing (an open reports TransferResult -2).

#include <cstdint>

#include "comm/ChannelState.h"

namespace velor {

// Result of an open whose serial port is missing, held elsewhere or refuses its settings.
inline constexpr std::int32_t kOpenFailed = -2;
// TCP state without a transport.
inline constexpr std::int32_t kNoTcpTransport = 1;

// True when the channel's PortNumber is 0; false for a channel number other than 1 or 2.
bool IsTcpChannel(const ChannelState& state, int channel);

// Opens the channel and records it as CurrentChannel. TCP: starts the transport's connection
// to TcpHost and sets TransferResult to its state (0 connected, 1 no transport, 2 not connected
// yet). Serial: opens SelectedPortName (through the resolver) at the record's baud rate with 8
// data bits and even or no parity; any failure sets TransferResult to -2, success leaves it as
// it was, so callers wanting a fresh result set it to 0 first. A port this channel still holds
// is released first, so its handle is never lost.
void OpenChannel(ChannelState& state, int channel);

// TCP: closes the connection through the transport. Serial: clears RTS and releases the port.
// The record's Handle keeps its old value until the next open.
void CloseChannel(ChannelState& state, int channel);

// Reads at most count bytes that have already arrived; never waits. Returns the number read.
int ReadChannel(ChannelState& state, int channel, std::uint8_t* buffer, int count);

// Starts sending count bytes; returns the number taken (TCP: count once handed over).
int WriteChannel(ChannelState& state, int channel, const std::uint8_t* buffer, int count);

// Sets TransferResult to 0, opens channel 1 and returns the new TransferResult. The channel
// layer shows no message: on -2 the window layer shows "ERROR" / "Chyba při otevírání
// sériové komunikace" (kind 2, icon set 0).
std::int32_t ReopenChannel(ChannelState& state);

// The open serial port of the channel, or nullptr (TCP, closed, or a wrong channel number).
SerialPort* channelSerialPort(ChannelState& state, int channel);

// When the channel's serial port found its device gone, releases the port and marks the
// channel as lost; from then on the channel counts as not open. Returns the mark.
bool dropLostPort(ChannelState& state, int channel);

// True while the channel's device is marked as lost (see dropLostPort).
bool isDeviceLost(const ChannelState& state, int channel);

// One attempt to open a lost channel's port again with the settings it had; on success the
// mark is cleared and true returned. TransferResult is left alone: a pulled adapter is not
// an open the user asked for.
bool reopenLostPort(ChannelState& state, int channel);

}  // namespace velor
