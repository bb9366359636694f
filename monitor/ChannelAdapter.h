#pragma once
// Channel 1 as the polling loop and the configuration editors use it: open and close, its port
// settings, and the serial port search the editors run. No widget: what the search shows goes
// to a status function the main window supplies.

#include <cstdint>
#include <functional>
#include <string>

#include "comm/ChannelState.h"
#include "comm/PortSearch.h"
#include "monitor/PollingLoop.h"

namespace velor {

// A device name such as "COM3" is kept to this many characters.
inline constexpr std::size_t kPortNameChars = 10;

class ChannelAdapter : public LoopChannel {
public:
    using PortSearch = std::function<void(ChannelState& channels)>;

    explicit ChannelAdapter(ChannelState& channels) : channels_(channels) {}

    void openChannel() override;
    void closeChannel() override;
    std::uint8_t portNumber() const override;
    std::uint16_t baudIndex() const override;
    void setPort(std::uint8_t portNumber, std::uint16_t baudIndex) override;
    bool deviceLost() const override;

    // The editors' port search: fills channels.FoundPorts and clears PortSearchPending.
    // Runs the injected search when there is one, else probes COM1..COM9 and names each probed
    // port through the status function.
    void searchPorts(ChannelState& channels) const;
    void setPortSearch(PortSearch search) { search_ = std::move(search); }
    void setStatusFunction(StatusFunction show) { showStatus_ = std::move(show); }

    ChannelState& channels() { return channels_; }

private:
    ChannelState& channels_;
    PortSearch search_;
    StatusFunction showStatus_;
};

}  // namespace velor
