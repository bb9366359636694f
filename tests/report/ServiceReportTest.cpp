// What the service report gathers: the key fields of the configuration in use, the values as
// the window shows them, the link statistics of the module's address only, and the writes to
// that module.

#include <gtest/gtest.h>

#include <vector>

#include "comm/ByteCodec.h"
#include "comm/TrafficStats.h"
#include "comm/TrafficTap.h"
#include "config/ConfigFiles.h"
#include "modules/WriteLog.h"
#include "report/ServiceReport.h"
#include "ui/Cp1250.h"

namespace velor {
namespace {

ConfigState kaluConfig() {
    ConfigState c;
    c.AnalogConfig.ModuleAddress = 7;
    for (std::size_t i = 0; i < 12; ++i) c.AnalogConfig.Inputs[i].Decimals = 2;
    c.AnalogConfig.Inputs[0].Name = utf8ToCp1250("Teplota přívodu   ");
    c.AnalogConfig.Inputs[0].SensorName = utf8ToCp1250("Pt100 0-150 °C    ");
    c.AnalogConfig.Inputs[0].LowLimit = -50.0f;
    c.AnalogConfig.Inputs[0].HighLimit = 150.5f;
    c.AnalogConfig.Inputs[0].FilterConstant = 0x10005;  // the module takes the low 16 bits
    c.BinaryConfig.ModuleAddress = 3;
    c.BinaryConfig.Inputs[8].Name = utf8ToCp1250("Čerpadlo 2");
    c.BinaryConfig.Inputs[8].FilterL = 4;
    c.BinaryConfig.Inputs[8].FilterH = 9;
    return c;
}

TEST(ServiceReport, KeyFieldsOfTheConfigurationInUse) {
    const ConfigState c = kaluConfig();
    const std::vector<ReportInput> kalu = reportInputs(RequestKind::Kalu, c, 0);
    ASSERT_EQ(kalu.size(), 12u);
    EXPECT_EQ(kalu[0].name, "Teplota přívodu");
    EXPECT_EQ(kalu[0].sensor, "Pt100 0-150 °C");
    EXPECT_EQ(kalu[0].range, "-50.0 .. 150.5");
    EXPECT_EQ(kalu[0].filter, "5");
    EXPECT_EQ(kalu[1].name, "Vstup 1");  // an unnamed input by its number
    EXPECT_EQ(reportAddress(RequestKind::Kalu, c), 7);
    EXPECT_EQ(reportConfigFile(RequestKind::Kalu, c), "KonfigA.cfa");

    // MOKR lists the eight inputs of the board it watches.
    const std::vector<ReportInput> mokr = reportInputs(RequestKind::Mokr, c, 1);
    ASSERT_EQ(mokr.size(), 8u);
    EXPECT_EQ(mokr[0].name, "Čerpadlo 2");
    EXPECT_EQ(mokr[0].filter, "L 4 / H 9");
    EXPECT_EQ(reportInputs(RequestKind::Tev, c, 0).size(), 16u);
    EXPECT_EQ(reportAddress(RequestKind::Tew, c), 3);
    EXPECT_EQ(reportConfigFile(RequestKind::Tew, c), "KonfigB.cfb");
}

TEST(ServiceReport, ChecksumFollowsTheConfigurationFile) {
    ConfigState c = kaluConfig();
    const std::string before = reportConfigChecksum(RequestKind::Kalu, c);
    EXPECT_EQ(before, blockChecksumText(encodeAnalogFile(c)));
    c.AnalogConfig.Inputs[3].HighLimit = 10.0f;
    EXPECT_NE(reportConfigChecksum(RequestKind::Kalu, c), before);
    EXPECT_EQ(reportConfigChecksum(RequestKind::Tev, c), blockChecksumText(encodeBinaryFile(c)));
}

TEST(ServiceReport, ValuesAsTheWindowShowsThem) {
    const ConfigState c = kaluConfig();
    DecodeResult kalu;
    kalu.decoded = true;
    kalu.kind = RequestKind::Kalu;
    for (std::size_t i = 0; i < 12; ++i) kalu.kalu.values[i] = std::to_string(i) + ".25";
    const std::vector<ReportValue> v = reportValues(kalu, c, 0);
    ASSERT_EQ(v.size(), 12u);
    EXPECT_EQ(v[0].name, "Teplota přívodu");
    EXPECT_EQ(v[11].value, "11.25");

    DecodeResult tew;
    tew.decoded = true;
    tew.kind = RequestKind::Tew;
    tew.binary.outputCount = 12;
    tew.binary.outputFonts.fill(UnitColour::WindowText);
    tew.binary.outputFonts[2] = UnitColour::Active;
    const std::vector<ReportValue> relays = reportValues(tew, c, 0);
    ASSERT_EQ(relays.size(), 12u);
    EXPECT_EQ(relays[2].name, "Y 2");
    EXPECT_EQ(relays[2].value, "sepnuto");
    EXPECT_EQ(relays[3].value, "vypnuto");

    // Before the first answer nothing is claimed.
    EXPECT_TRUE(reportValues(DecodeResult{}, c, 0).empty());
}

TEST(ServiceReport, LinkStatisticsOfTheAddressOnly) {
    TrafficStats stats;
    ExchangeOutcome answered;
    answered.address = 7;
    answered.status = 2;  // done
    const std::vector<ReceivedFrame> good = {{0, 9, {Verdict::VariableOk, 0, 0, 3}}};
    for (int ms : {10, 20, 30, 40, 50, 60, 70, 80, 90, 100})
        stats.attemptEnded(answered, good, ms, 0);
    ExchangeOutcome retried = answered;
    retried.status = 1;  // a retry follows
    retried.transferResult = -1;
    stats.attemptEnded(retried, {}, -1, 0);
    const std::vector<ReceivedFrame> bad = {{0, 9, {Verdict::WrongChecksum, 0xB3, 0xB4, 0}}};
    ExchangeOutcome corrupt = retried;
    corrupt.transferResult = -3;  // a wrong reply
    stats.attemptEnded(corrupt, bad, -1, 0);
    ExchangeOutcome refused = answered;
    refused.status = 3;
    const std::vector<ReceivedFrame> negative = {{0, 5, {Verdict::ShortNegative, 9, 0, 0}}};
    stats.attemptEnded(refused, negative, -1, 0);
    ExchangeOutcome other = answered;
    other.address = 8;
    stats.attemptEnded(other, good, 500, 0);

    const ReportLink link = reportLink(stats, 7);
    EXPECT_EQ(link.requests, 13u);
    EXPECT_EQ(link.answers, 10u);
    EXPECT_EQ(link.timeouts, 1u);
    EXPECT_EQ(link.checksumErrors, 1u);
    EXPECT_EQ(link.negative, 1u);
    ASSERT_TRUE(link.p95Ms.has_value());
    EXPECT_EQ(*link.p95Ms, 100);
    EXPECT_FALSE(reportLink(stats, 9).p95Ms.has_value());
}

TEST(ServiceReport, WritesOfTheModuleAndTheFileName) {
    const std::vector<std::string> lines = {
        "t | u | COM1 | adresa 1 KALU | výstupy ? -> 1 | přijato",
        "t | u | COM1 | adresa 12 TEW | výstupy ? -> 0x0001 | přijato",
        "t | u | COM1 | adresa 1 KALU | konfigurace KonfigA.cfa | přijato",
    };
    EXPECT_EQ(writesOfAddress(lines, 1).size(), 2u);
    EXPECT_EQ(writesOfAddress(lines, 12).size(), 1u);
    EXPECT_EQ(reportFileName(RequestKind::Kalu, 1, QDateTime(QDate(2026, 3, 14), QTime(9, 26))),
              "protokol-KALU-1-20260314-0926.pdf");
}

}  // namespace
}  // namespace velor

namespace velor {
namespace {

std::vector<std::uint8_t> counting(std::size_t n, std::uint8_t from) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(from + 7 * i);
    return bytes;
}

// The report shows what the window shows: decoding the kept copies again gives the texts and
// colours of the last decode, for every kind, and nothing before the first answer.
TEST(ServiceReport, ShownNowIsWhatTheLastDecodeShowed) {
    ConfigState c = kaluConfig();
    c.AnalogConfig.Inputs[2].Offset = 0.5f;
    UnitSelections sel;
    sel.TevInputSet = 2;
    sel.TevFilterFlag = true;
    sel.MokrInputPiggy = 1;
    DecoderState st;
    for (RequestKind kind : {RequestKind::Kalu, RequestKind::Tev, RequestKind::Tew,
                             RequestKind::Tevw, RequestKind::Mokr})
        EXPECT_FALSE(shownNow(kind, st, sel, c).decoded);

    KaluFormats formats{};
    for (std::size_t i = 0; i < 12; ++i) {
        formats[i].Offset = c.AnalogConfig.Inputs[i].Offset;
        formats[i].Decimals = c.AnalogConfig.Inputs[i].Decimals;
    }
    std::vector<std::uint8_t> kalu(48);
    for (std::size_t i = 0; i < 12; ++i) codec::putF32(kalu, 4 * i, 1.25f * float(i) - 3.0f);
    const DecodeResult k = DecodeAnswer(RequestKind::Kalu, kalu, formats, {}, sel, st);
    EXPECT_EQ(shownNow(RequestKind::Kalu, st, sel, c).kalu.values, k.kalu.values);

    for (RequestKind kind : {RequestKind::Tev, RequestKind::Tew, RequestKind::Tevw}) {
        const std::size_t size = answerLayoutSize(kind, false);
        const DecodeResult shown = DecodeAnswer(kind, counting(size, 3), formats, {}, sel, st);
        const DecoderState before = st;
        const DecodeResult again = shownNow(kind, st, sel, c);
        ASSERT_TRUE(again.decoded);
        EXPECT_EQ(again.binary.texts, shown.binary.texts) << int(kind);
        EXPECT_EQ(again.binary.colours, shown.binary.colours) << int(kind);
        EXPECT_EQ(again.binary.outputFonts, shown.binary.outputFonts) << int(kind);
        EXPECT_EQ(st.TevAnswer, before.TevAnswer);  // the program's copies stay as they were
    }
    // MOKR: the state phase, then the counter phase; the window shows both.
    sel.MokrWritePhase = true;
    DecodeAnswer(RequestKind::Mokr, counting(16, 1), formats, {}, sel, st);
    const DecodeResult mokr =
        DecodeAnswer(RequestKind::Mokr, counting(48, 9), formats, {}, sel, st);
    const bool phase = sel.MokrWritePhase;
    const DecodeResult again = shownNow(RequestKind::Mokr, st, sel, c);
    EXPECT_EQ(again.binary.texts, mokr.binary.texts);
    EXPECT_EQ(again.binary.colours, mokr.binary.colours);
    EXPECT_EQ(sel.MokrWritePhase, phase);
}

TEST(ServiceReport, GatheredForTheWatchedModuleOnly) {
    const ConfigState c = kaluConfig();
    DecoderState st;
    const UnitSelections sel;
    PortRecord port;
    port.PortNumber = 2;
    port.BaudIndex = 2;
    const std::vector<std::string> writes = {
        "t | u | COM2 | adresa 7 KALU | výstupy ? -> 1 | přijato",
        "t | u | COM2 | adresa 3 TEW | výstupy ? -> 0x0001 | přijato"};
    const ReportSources from{RequestKind::Kalu, c, st, sel, port, 10000, nullptr, writes};
    const ServiceReport r = gatherReport(from, QDateTime(QDate(2026, 3, 14), QTime(9, 0)));
    EXPECT_EQ(r.address, 7);
    EXPECT_EQ(r.port, "COM2 19200 Bd, sudá parita");
    EXPECT_EQ(r.configFile, "KonfigA.cfa");
    EXPECT_EQ(r.configChecksum, reportConfigChecksum(RequestKind::Kalu, c));
    EXPECT_EQ(r.inputs.size(), 12u);
    EXPECT_TRUE(r.values.empty());  // no answer yet
    ASSERT_EQ(r.writes.size(), 1u);
    EXPECT_NE(r.writes[0].find("adresa 7 KALU"), std::string::npos);
    EXPECT_EQ(r.link.requests, 0u);
}

}  // namespace
}  // namespace velor
