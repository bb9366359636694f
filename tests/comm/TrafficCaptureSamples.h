#pragma once
// A tap with two recorded exchanges on a manual clock, and a capture written to a file: what the
// capture tests start from.

#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

#include "HexBytes.h"
#include "comm/TrafficCapture.h"
#include "comm/TrafficTap.h"

namespace velor::test {

struct ManualClock : TrafficClock {
    std::int64_t wallUs = 1'700'000'000'123'456;
    TrafficTime now() override { return {wallUs, wallUs}; }
};

// A probe answered by E5, then a read answered by a variable frame.
inline void recordExchanges(TrafficTap& tap, ManualClock& clock) {
    tap.attemptStarted({5, 1});
    tap.written(hex("10 07 40 69 B0 16"));
    clock.wallUs += 4000;
    tap.read(hex("E5"));
    ExchangeOutcome o;
    o.kind = 5;
    o.address = 7;
    o.status = 2;
    tap.attemptEnded(o);
    clock.wallUs += 100'000;
    tap.attemptStarted({1, 1});
    tap.written(hex("68 08 08 68 07 40 6C 0B 02 00 00 64 24 16"));
    clock.wallUs += 6000;
    tap.read(hex("68 05 05 68 07 40 6C 0A 0B C8 16"));
    o.kind = 1;
    tap.attemptEnded(o);
}

inline std::vector<std::uint64_t> allSeqs(const TrafficTap& tap) {
    std::vector<std::uint64_t> seqs;
    for (std::uint64_t s = tap.firstSeq(); s < tap.nextSeq(); ++s) seqs.push_back(s);
    return seqs;
}

inline std::string writeTemp(const QTemporaryDir& dir, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir.filePath("provoz.pcap").toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace velor::test
