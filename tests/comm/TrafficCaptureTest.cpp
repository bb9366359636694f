#include "comm/TrafficCapture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "HexBytes.h"
#include "TrafficCaptureSamples.h"

using namespace velor;
using velor::test::hex;
using velor::test::toHex;

using namespace velor::test;

TEST(TrafficCapture, FileHeaderAndRecordBytes) {
    std::vector<std::uint8_t> out;
    appendPcapHeader(out);
    EXPECT_EQ(toHex(out),
              "D4 C3 B2 A1 02 00 04 00 00 00 00 00 00 00 00 00 FF FF 00 00 FA 00 00 00");
    out.clear();
    const auto bytes = hex("E5");
    // 1700000000 s = 0x6553F100; 123456 us = 0x0001E240.
    appendPcapRecord(out, {Direction::Rx, 1'700'000'000'123'456, bytes});
    EXPECT_EQ(toHex(out),
              "00 F1 53 65 40 E2 01 00 0D 00 00 00 0D 00 00 00 "
              "65 53 F1 00 00 01 E2 40 02 00 00 00 E5");
    out.clear();
    appendPcapRecord(out, {Direction::Tx, 1'700'000'000'000'000, {}});
    EXPECT_TRUE(out.empty());  // a time-out has nothing on the wire
}

TEST(TrafficCapture, TapFramesInOrderWithTheirDirection) {
    ManualClock clock;
    TrafficTap tap(clock);
    recordExchanges(tap, clock);
    const auto file = pcapOfFrames(tap, allSeqs(tap));
    ASSERT_EQ(file.size(),
              kPcapHeaderBytes + 4 * (kPcapRecordHeaderBytes + kRtacHeaderBytes) + 6 + 1 + 14 + 11);
    // The second record: the E5 received 4 ms after the probe went out.
    const std::size_t second = kPcapHeaderBytes + kPcapRecordHeaderBytes + kRtacHeaderBytes + 6;
    EXPECT_EQ(toHex(&file[second], 4), "00 F1 53 65");
    EXPECT_EQ(toHex(&file[second + 4], 4), "E0 F1 01 00");  // 127456 us
    EXPECT_EQ(file[second + kPcapRecordHeaderBytes + 8], kRtacRxStart);
    EXPECT_EQ(file.back(), 0x16);
}
