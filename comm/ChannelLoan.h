#pragma once
// How a window that needs channel 1 alone (the module finder) borrows it from its holder, the
// polling loop, as a configuration editor does: take() stops the holder and closes the
// channel, giveBack() hands it back: one that changed the channel's settings (changed) lets the
// holder go on as after an editor; one that changed nothing leaves the holder as it was.

#include <functional>

namespace velor {

struct ChannelLoan {
    std::function<void()> take;
    std::function<void(bool changed)> giveBack;
};

}  // namespace velor
