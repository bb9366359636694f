#pragma once
// How a window that needs channel 1 alone (the module finder) borrows it from its holder, the
// polling loop, as a configuration editor does: take() stops the holder and closes the
// channel, giveBack() hands it back and the holder goes on.

#include <functional>

namespace velor {

struct ChannelLoan {
    std::function<void()> take;
    std::function<void()> giveBack;
};

}  // namespace velor
