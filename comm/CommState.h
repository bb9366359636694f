#pragma once
// State of the communication subsystem: the channel table and the transfer engine. The
// application owns one and hands it to the windows and code that talk to the modules.

#include "comm/ChannelState.h"
#include "comm/EngineState.h"

namespace velor {

struct CommState {
    ChannelState channel;
    EngineState engine;
};

// Lets the traffic tap see channel 1 and the engine's attempts; null detaches it.
inline void attachTrafficTap(CommState& comm, TrafficTap* tap) {
    comm.channel.tap = tap;
    comm.engine.Tap = tap;
}

}  // namespace velor
