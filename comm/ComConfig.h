#pragma once
// COM.CFG: the byte image of the channel table, the record of channel 1 followed by that of
// channel 2 (264 bytes), in the file named by ChannelState::ComConfigPath.

#include <cstddef>

#include "comm/ChannelState.h"

namespace velor {

inline constexpr std::size_t kComConfigSize = 2 * kPortRecordSize;
static_assert(kComConfigSize == 264);

// Reads the table from the file. A missing file, one that is no regular file (readRegularFile)
// or one shorter than 264 bytes is replaced by
// the defaults, which are written back (DefaultComConfig, so it may throw like SaveComConfig);
// a longer file is read for its first 264 bytes.
void LoadComConfig(ChannelState& state);

// Writes the 264 bytes of the table through saveFileDurably, so a failed write leaves the old
// file as it was. Throws FileWriteError (a std::runtime_error) when the file cannot be written.
void SaveComConfig(const ChannelState& state);

// Sets both channels to the defaults (TCP, 38400 Bd, even parity, no handle, empty unused
// texts; TcpHost untouched) and saves the table.
void DefaultComConfig(ChannelState& state);

}  // namespace velor
