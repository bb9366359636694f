// Arbitrary bytes as "COM.CFG": the two channel records are read as the loader reads them (the
// first 264 bytes; a shorter file is replaced by the defaults and never decoded). A record must
// keep every byte it was read from, and its port number, baud rate and host must read from
// anything.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "comm/ComConfig.h"
#include "comm/PortRecord.h"
#include "comm/SerialPortName.h"

using namespace velor;

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void record(std::span<const std::uint8_t, kPortRecordSize> bytes) {
    PortRecord r = decodePortRecord(bytes);
    std::array<std::uint8_t, kPortRecordSize> saved{};
    encodePortRecord(r, saved);
    check(std::equal(saved.begin(), saved.end(), bytes.begin()));

    (void)baudRateAt(r.BaudIndex);
    check(portNumberOfName(PortDeviceName(r.PortNumber)) == r.PortNumber);
    const std::string host = getTcpHost(r);
    check(host.size() <= kTcpHostMaxChars);
    setTcpHost(r, host);
    check(getTcpHost(r) == host);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kComConfigSize) return 0;
    const std::span<const std::uint8_t, kComConfigSize> file(data, kComConfigSize);
    record(file.first<kPortRecordSize>());
    record(file.last<kPortRecordSize>());
    return 0;
}
