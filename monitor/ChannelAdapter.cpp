#include "monitor/ChannelAdapter.h"

#include "comm/Channel.h"
#include "comm/SerialPortName.h"

namespace velor {

void ChannelAdapter::openChannel() {
    // A serial channel opens the port its PortNumber names. The editors name the chosen port in
    // SelectedPortName at once, but a configuration send goes out over the restored (old)
    // settings, and a cancelled editor leaves the start-up name COM0 behind; both would open
    // the wrong device without this.
    const std::uint8_t port = portNumber();
    if (port != 0) channels_.SelectedPortName = PortDeviceName(port).substr(0, kPortNameChars);
    OpenChannel(channels_, 1);
}

void ChannelAdapter::closeChannel() {
    CloseChannel(channels_, 1);
}

std::uint8_t ChannelAdapter::portNumber() const {
    const PortRecord* rec = channels_.ChannelTable.record(1);
    return rec != nullptr ? rec->PortNumber : 0;
}

std::uint16_t ChannelAdapter::baudIndex() const {
    const PortRecord* rec = channels_.ChannelTable.record(1);
    return rec != nullptr ? rec->BaudIndex : 0;
}

void ChannelAdapter::setPort(std::uint8_t portNumber, std::uint16_t baudIndex) {
    PortRecord* rec = channels_.ChannelTable.record(1);
    if (rec == nullptr) return;
    rec->PortNumber = portNumber;
    rec->BaudIndex = baudIndex;
}

bool ChannelAdapter::deviceLost() const {
    return isDeviceLost(channels_, 1);
}

void ChannelAdapter::searchPorts(ChannelState& channels) const {
    if (search_) {
        search_(channels);
        return;
    }
    std::string choice;  // the editors build their list from FoundPorts
    SearchPorts(channels, choice, [this](const std::string& text) {
        if (showStatus_) showStatus_(text);
    });
}

}  // namespace velor
