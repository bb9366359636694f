#pragma once
// The state of the channel table subsystem: the two channel records, the open serial ports,
// the port search results and the result of the last channel operation. The application owns
// one instance and hands it to the code and windows that use it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "comm/PortRecord.h"
#include "comm/SerialPort.h"
#include "comm/SerialPortName.h"

namespace velor {

class TcpLink;
class TrafficTap;

inline constexpr int kChannelCount = 2;

// True for the channel numbers the table has: 1 and 2.
constexpr bool isValidChannel(int channel) {
    return channel == 1 || channel == 2;
}

// Records of channels 1 and 2. A channel number other than 1 or 2 is refused (nullptr) and
// never used as an index.
class PortTable {
public:
    PortRecord* record(int channel) {
        return isValidChannel(channel) ? &records_[static_cast<std::size_t>(channel - 1)] : nullptr;
    }
    const PortRecord* record(int channel) const {
        return isValidChannel(channel) ? &records_[static_cast<std::size_t>(channel - 1)] : nullptr;
    }

private:
    std::array<PortRecord, kChannelCount> records_{};
};

struct ChannelState {
    PortTable ChannelTable;
    std::int32_t CurrentChannel = 0;      // the channel given to the last OpenChannel
    std::string SelectedPortName;         // "COMn": the serial port OpenChannel opens
    std::vector<std::string> FoundPorts;  // names SearchPorts could open, at most nine
    bool PortSearchPending = false;
    std::int32_t TransferResult = 0;  // shared with the transfer engine

    std::string ComConfigPath = "COM.CFG";
    // Open serial ports by channel (index channel - 1, after the channel has been checked).
    std::array<std::unique_ptr<SerialPort>, kChannelCount> serialPorts;
    TcpLink* tcp = nullptr;  // the TCP transport, once it exists; not owned
    PortResolver resolvePort = defaultPortResolver;
    // Serial channels whose device disappeared while in use (index channel - 1): the port was
    // released, and the channel opens the same COMn again until the device is back. A
    // deliberate open or close of the channel clears the mark.
    std::array<bool, kChannelCount> deviceLost{};
    // Sees every chunk written to and read from channel 1, when set; not owned.
    TrafficTap* tap = nullptr;
};

}  // namespace velor
