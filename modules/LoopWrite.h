#pragma once
// What a request of the polling loop wrote to a module, and how it ended: the write log's view
// of the loop.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "modules/RequestBuilders.h"

namespace velor {

// One request that may write to a module, and how it ended.
struct LoopWrite {
    RequestKind kind = RequestKind::Probe;  // RequestKind::Config for a configuration block
    MonitorSource source;                   // a monitoring request: what it was built from
    ConfigTarget target = ConfigTarget::Kalu;
    std::vector<std::uint8_t> block;  // a configuration block: its user data
    std::string configFile;           // ... and the file it comes from (UTF-8)
    bool lastBlock = false;
    bool accepted = false;
    std::string reason;  // Czech, when not accepted
};
// Called by the loop when a request has ended, before its outcome is shown; must not throw.
using WriteObserver = std::function<void(const LoopWrite&)>;

}  // namespace velor
