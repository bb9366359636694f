#pragma once
// Faults a real bus has, on demand and repeatable from a seed: a late reply, a lost one, a
// corrupted check byte, noise before the reply, a reply that arrives in pieces.

#include <cstdint>
#include <random>
#include <vector>

#include "tools/modsim/FrameCodec.h"

namespace velor::modsim {

struct FaultOptions {
    int delayMs = 0;
    double drop = 0.0;         // probability a reply is not sent
    double badChecksum = 0.0;  // probability a framed reply's check byte is wrong
    double garbage = 0.0;      // probability of noise bytes before a reply
    bool split = false;        // send every reply of more than one byte in pieces
    int disconnectAfter = 0;   // close a TCP connection after this many frames; 0 = never
    std::uint32_t seed = 1;
};

struct Delivery {
    bool dropped = false;
    bool corrupted = false;
    std::size_t garbageBytes = 0;
    int delayMs = 0;
    std::vector<Bytes> pieces;  // sent in order, a short pause between pieces
};

class FaultInjector {
public:
    static constexpr int kPieceGapMs = 15;

    explicit FaultInjector(const FaultOptions& options);
    const FaultOptions& options() const { return options_; }

    Delivery shape(const Bytes& reply);

private:
    bool chance(double p);
    void corrupt(Bytes& bytes);
    Bytes noise();
    std::vector<Bytes> cut(const Bytes& bytes);

    FaultOptions options_;
    std::mt19937 rng_;
};

}  // namespace velor::modsim
