#include "tools/modsim/FaultInjector.h"

#include <algorithm>

namespace velor::modsim {

FaultInjector::FaultInjector(const FaultOptions& options) : options_(options), rng_(options.seed) {}

bool FaultInjector::chance(double p) {
    if (p <= 0.0) return false;
    if (p >= 1.0) return true;
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p;
}

Delivery FaultInjector::shape(const Bytes& reply) {
    Delivery d;
    d.delayMs = options_.delayMs;
    if (reply.empty()) return d;
    if (chance(options_.drop)) {
        d.dropped = true;
        return d;
    }
    Bytes bytes = reply;
    // A lone acknowledgement has no check byte to spoil.
    if (bytes.size() > 2 && chance(options_.badChecksum)) {
        corrupt(bytes);
        d.corrupted = true;
    }
    if (chance(options_.garbage)) {
        Bytes prefix = noise();
        d.garbageBytes = prefix.size();
        bytes.insert(bytes.begin(), prefix.begin(), prefix.end());
    }
    d.pieces = options_.split ? cut(bytes) : std::vector<Bytes>{bytes};
    return d;
}

// The check byte sits just before the closing 0x16 in both reply frames.
void FaultInjector::corrupt(Bytes& bytes) {
    bytes[bytes.size() - 2] = static_cast<std::uint8_t>(bytes[bytes.size() - 2] ^ 0x5A);
}

// Noise never contains a start byte, so the receiver drops it byte by byte.
Bytes FaultInjector::noise() {
    std::uniform_int_distribution<int> length(1, 4);
    std::uniform_int_distribution<int> value(0, 255);
    Bytes bytes(static_cast<std::size_t>(length(rng_)));
    for (auto& b : bytes) {
        do {
            b = static_cast<std::uint8_t>(value(rng_));
        } while (b == kShortStart || b == kVariableStart || b == kAck);
    }
    return bytes;
}

std::vector<Bytes> FaultInjector::cut(const Bytes& bytes) {
    if (bytes.size() < 2) return {bytes};
    const std::size_t pieces = std::min<std::size_t>(3, bytes.size());
    std::vector<std::size_t> cuts;
    std::uniform_int_distribution<std::size_t> at(1, bytes.size() - 1);
    while (cuts.size() < pieces - 1) {
        const std::size_t c = at(rng_);
        if (std::find(cuts.begin(), cuts.end(), c) == cuts.end()) cuts.push_back(c);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(bytes.size());
    std::vector<Bytes> out;
    std::size_t from = 0;
    for (std::size_t c : cuts) {
        out.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                         bytes.begin() + static_cast<std::ptrdiff_t>(c));
        from = c;
    }
    return out;
}

}  // namespace velor::modsim
