// Requests of the main window, byte for byte.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "modules/RequestBuilders.h"

namespace velor {
namespace {

using Bytes = std::vector<std::uint8_t>;

MonitorSource Source(RequestKind kind) {
    MonitorSource s;
    s.kind = kind;
    s.analogAddress = 3;
    s.binaryAddress = 7;
    return s;
}

TEST(BuildersMonitor, KaluExampleSendsLowBytesOfOutputs) {
    MonitorSource s = Source(RequestKind::Kalu);
    s.kaluOutputs = {1, 2, 3, 4, 5, -1};
    const RequestData r = monitorUserData(s);
    EXPECT_EQ(r.bytes, (Bytes{0x03, 0x40, 0x6C, 0x0D, 0x02, 0x00, 0x00, 0x30, 0x02, 0x30, 0x00,
                              0x06, 0x01, 0x02, 0x03, 0x04, 0x05, 0xFF}));
    EXPECT_EQ(r.statusText, "Komunikace - KALU");
}

TEST(BuildersMonitor, EveryKindByteForByte) {
    struct Case {
        RequestKind kind;
        bool writePhase;
        Bytes bytes;
        const char* status;
    };
    const std::vector<Case> cases = {
        {RequestKind::Tev, false, {7, 0x40, 0x6C, 0x0B, 2, 0, 0, 0x64}, "Komunikace - TEV"},
        {RequestKind::Tew,
         false,
         {7, 0x40, 0x6C, 0x0D, 2, 0, 0, 2, 2, 0, 0, 2, 0x34, 0x12},
         "Komunikace - TEW"},
        {RequestKind::Tevw,
         false,
         {7, 0x40, 0x6C, 0x0D, 2, 0, 0, 0x66, 2, 4, 0, 2, 0xCD, 0xAB},
         "Komunikace - TEVW"},
        {RequestKind::Mokr,
         true,
         {7, 0x40, 0x6C, 0x0D, 2, 0, 0, 0x10, 2, 0x90, 1, 8, 1, 2, 3, 4, 5, 6, 7, 0x80},
         "Komunikace - MOKR"},
        {RequestKind::Mokr,
         false,
         {7, 0x40, 0x6C, 0x0B, 2, 0x30, 0, 0x10, 2, 0xB0, 0, 0x10, 2, 0x30, 1, 0x10},
         "Komunikace - MOKR"},
    };
    for (const Case& c : cases) {
        MonitorSource s = Source(c.kind);
        s.tewOutputs = 0x1234;
        s.tevwOutputs = 0xABCD;
        s.piggyOutputs = {1, 2, 3, 4, 5, 6, 7, 0x80};
        s.mokrInputPiggy = 2;
        s.mokrWritePhase = c.writePhase;
        const RequestData r = monitorUserData(s);
        EXPECT_EQ(r.bytes, c.bytes) << "kind " << int(c.kind) << " write " << c.writePhase;
        EXPECT_EQ(r.statusText, c.status);
    }
}

TEST(BuildersMonitor, MokrWritePhaseWithNoOutputsEndsInEightZeros) {
    MonitorSource s = Source(RequestKind::Mokr);
    s.mokrWritePhase = true;
    const Bytes b = monitorUserData(s).bytes;
    ASSERT_EQ(b.size(), 20u);
    EXPECT_EQ(Bytes(b.begin() + 12, b.end()), Bytes(8, 0));
}

TEST(BuildersMonitor, ProbeCarriesScanAddressAndNoStatusText) {
    MonitorSource s = Source(RequestKind::Probe);
    s.scanAddress = 31;
    const RequestData r = monitorUserData(s);
    EXPECT_EQ(r.bytes, (Bytes{0x1F, 0x40, 0x69}));
    EXPECT_TRUE(r.statusText.empty());
}

TEST(BuildersMonitor, AddressOutsideOneByteIsARangeError) {
    for (std::int32_t bad : {256, -1, 100000}) {
        MonitorSource kalu = Source(RequestKind::Kalu);
        kalu.analogAddress = bad;
        EXPECT_THROW(monitorUserData(kalu), AddressRangeError) << bad;
        MonitorSource tev = Source(RequestKind::Tev);
        tev.binaryAddress = bad;
        EXPECT_THROW(monitorUserData(tev), AddressRangeError) << bad;
    }
    MonitorSource edge = Source(RequestKind::Tev);
    edge.binaryAddress = 255;
    EXPECT_EQ(monitorUserData(edge).bytes[0], 255);
    EXPECT_THROW(monitorUserData(Source(static_cast<RequestKind>(9))), std::out_of_range);
}

struct Images {
    std::array<std::uint8_t, kAnalogImageSize> analog{};
    std::array<std::uint8_t, kBinaryImageSize> binary{};
    std::array<std::uint8_t, kZepaImageSize> zepa{};
    Images() {
        for (std::size_t i = 0; i < analog.size(); ++i) analog[i] = static_cast<std::uint8_t>(i);
        for (std::size_t i = 0; i < binary.size(); ++i)
            binary[i] = static_cast<std::uint8_t>(0x80 + i);
    }
    ConfigImages spans() { return {analog, binary, zepa}; }
};

TEST(BuildersConfig, KaluHalvesCarryPreparedImageAndFlipTheFlag) {
    Images im;
    const ConfigBlock first = configUserData(ConfigTarget::Kalu, false, 3, 7, 1, im.spans());
    ASSERT_EQ(first.data.bytes.size(), 136u);
    EXPECT_EQ(Bytes(first.data.bytes.begin(), first.data.bytes.begin() + 8),
              (Bytes{3, 0x40, 0x6C, 0x0C, 1, 0, 0, 0x80}));
    EXPECT_EQ(first.data.bytes[8 + 1], 9);  // baud code of index 1
    EXPECT_EQ(std::string(first.data.bytes.begin() + 12, first.data.bytes.begin() + 16), "save");
    EXPECT_EQ(first.data.bytes[8 + 127], 127);
    EXPECT_EQ(first.data.statusText, "Konfigurace  KALU.1");
    EXPECT_TRUE(first.kaluSecondHalf);
    EXPECT_FALSE(first.lastBlock);

    const ConfigBlock second = configUserData(ConfigTarget::Kalu, true, 3, 7, 1, im.spans());
    ASSERT_EQ(second.data.bytes.size(), 200u);
    EXPECT_EQ(Bytes(second.data.bytes.begin(), second.data.bytes.begin() + 9),
              (Bytes{3, 0x40, 0x6C, 0x0C, 1, 0x80, 0, 0xC0, 128}));
    EXPECT_EQ(second.data.bytes.back(), static_cast<std::uint8_t>(319));
    EXPECT_EQ(second.data.statusText, "Konfigurace  KALU.2");
    EXPECT_FALSE(second.kaluSecondHalf);
    EXPECT_TRUE(second.lastBlock);
}

TEST(BuildersConfig, BaudCodeOfTargetIndex) {
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> cases = {
        {0, 4}, {1, 9}, {2, 19}, {3, 38}, {4, 57}, {5, 19}, {0xFFFF, 19}};
    for (auto [index, code] : cases) {
        Images im;
        im.analog[1] = 0xAA;
        const ConfigBlock b = configUserData(ConfigTarget::Kalu, false, 0, 0, index, im.spans());
        EXPECT_EQ(b.data.bytes[9], code) << "index " << index;
        EXPECT_EQ(im.analog[1], code);  // the image itself is prepared
    }
}

TEST(BuildersConfig, BinaryBlocksForTevwAndTew) {
    for (ConfigTarget t : {ConfigTarget::BinaryInputs, ConfigTarget::BinaryOutputs}) {
        Images im;
        const ConfigBlock b = configUserData(t, false, 3, 7, 3, im.spans());
        ASSERT_EQ(b.data.bytes.size(), 144u);
        EXPECT_EQ(Bytes(b.data.bytes.begin(), b.data.bytes.begin() + 8),
                  (Bytes{7, 0x40, 0x6C, 0x0C, 1, 0, 0, 0x88}));
        EXPECT_EQ(b.data.bytes[9], 38);
        EXPECT_EQ(std::string(b.data.bytes.begin() + 12, b.data.bytes.begin() + 16), "save");
        EXPECT_EQ(b.data.bytes.back(), static_cast<std::uint8_t>(0x80 + 135));
        EXPECT_TRUE(b.lastBlock);
        EXPECT_EQ(b.data.statusText,
                  t == ConfigTarget::BinaryInputs ? "Konfigurace  TEVW" : "Konfigurace  TEW");
    }
}

TEST(BuildersConfig, MokrBlockLengthMatchesItsDescriptor) {
    Images im;
    const ConfigBlock b = configUserData(ConfigTarget::Mokr, false, 3, 7, 3, im.spans());
    ASSERT_EQ(b.data.bytes.size(), 8u + 232u);
    EXPECT_EQ(Bytes(b.data.bytes.begin(), b.data.bytes.begin() + 8),
              (Bytes{7, 0x40, 0x6C, 0x0C, 1, 0, 0, 0xE8}));
    EXPECT_EQ(b.data.bytes[8 + 135], static_cast<std::uint8_t>(0x80 + 135));
    EXPECT_EQ(Bytes(b.data.bytes.begin() + 8 + 136, b.data.bytes.end()), Bytes(96, 0));
    EXPECT_EQ(b.data.statusText, "Konfigurace  MOKR");
    EXPECT_TRUE(b.lastBlock);
}

TEST(BuildersConfig, ZepaBlockFromBinaryImageWhichStaysUnchanged) {
    Images im;
    im.binary[0] = 20;
    im.binary[2] = 0x88;
    im.binary[3] = 0x13;
    im.zepa.fill(0xEE);
    const auto before = im.binary;
    const ConfigBlock b = configUserData(ConfigTarget::Zepa, false, 3, 7, 2, im.spans());
    EXPECT_EQ(b.data.bytes, (Bytes{7, 0x40, 0x63, 0x0C, 1, 0, 0, 0x0A, 2, 20, 19, 2, 0x88, 0x13,
                                   0xEE, 0xEE, 's', 'a'}));
    EXPECT_EQ(im.binary, before);
    EXPECT_EQ(im.zepa[12], 1);
    EXPECT_EQ(im.zepa[13], 0x33);
    EXPECT_EQ(im.zepa[21], 0);
    EXPECT_EQ(b.data.statusText, "Konfigurace  ZEPA");
    EXPECT_TRUE(b.lastBlock);

    // An index with no rate keeps the byte there was.
    Images keep;
    keep.zepa[2] = 0x42;
    configUserData(ConfigTarget::Zepa, false, 3, 7, 5, keep.spans());
    EXPECT_EQ(keep.zepa[2], 0x42);
}

TEST(BuildersConfig, TargetChoiceAndRangeError) {
    EXPECT_EQ(chooseConfigTarget(false, false, false, false), ConfigTarget::Kalu);
    EXPECT_EQ(chooseConfigTarget(true, false, false, false), ConfigTarget::BinaryInputs);
    EXPECT_EQ(chooseConfigTarget(false, true, false, false), ConfigTarget::BinaryOutputs);
    EXPECT_EQ(chooseConfigTarget(false, false, true, false), ConfigTarget::Mokr);
    EXPECT_EQ(chooseConfigTarget(false, false, false, true), ConfigTarget::Zepa);
    Images im;
    EXPECT_THROW(configUserData(ConfigTarget::Kalu, false, 300, 0, 3, im.spans()),
                 AddressRangeError);
    EXPECT_THROW(configUserData(ConfigTarget::Mokr, false, 0, 256, 3, im.spans()),
                 AddressRangeError);
}

TEST(BuildersStatus, ErrorTextStaysUntilAnAnswer) {
    EXPECT_TRUE(statusLineShowsError("Chyba přenosu"));
    EXPECT_FALSE(statusLineShowsError("Chyb"));
    EXPECT_FALSE(statusLineShowsError(" Chyba"));
    EXPECT_FALSE(statusLineShowsError("Komunikace - TEV"));
}

}  // namespace
}  // namespace velor
