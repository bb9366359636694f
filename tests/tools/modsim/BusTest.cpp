// The simulated bus: probes, reads, writes, negative replies and the memory maps behind them.

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "SimHex.h"
#include "tools/modsim/Bus.h"

using namespace velor::modsim;
using velor::modsim::test::hex;

namespace {

Bytes filled(std::size_t count, std::uint8_t first) {
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

Frame variable(const Bytes& user) {
    return Frame{Frame::Kind::Variable, user, buildVariableFrame(user)};
}

Frame variable(std::string_view userHex, const Bytes& data = {}) {
    Bytes user = hex(userHex);
    user.insert(user.end(), data.begin(), data.end());
    return variable(user);
}

Frame probe(std::uint8_t address) {
    const Bytes user{address, 0x40, 0x69};
    return Frame{Frame::Kind::Short, user, buildShortFrame(user)};
}

Bus demoBus() {
    Bus bus;
    addDemoModules(bus);
    bus.addModule(6, ModuleType::Zepa);
    return bus;
}

// User data of a variable reply frame.
Bytes replyData(const Exchange& ex) {
    if (ex.reply.size() < 6 || ex.reply[0] != kVariableStart) return {};
    return Bytes(ex.reply.begin() + 4, ex.reply.end() - 2);
}

std::uint16_t word(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

float single(const Bytes& b, std::size_t at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return std::bit_cast<float>(bits);
}

}  // namespace

TEST(ModsimBus, RequestTable) {
    using O = Exchange::Outcome;
    struct Case {
        const char* name;
        Frame frame;
        O outcome;
        std::string reply;           // whole reply frame for acks and negatives
        std::size_t dataLength = 0;  // user data length of a data reply
    };
    const Case cases[] = {
        {"probe present", probe(1), O::Ack, "E5"},
        {"probe absent", probe(9), O::Silent, ""},
        {"request to an absent module", variable("09 40 6C 0B 02 00 00 02"), O::Silent, ""},
        {"KALU read and write", variable("01 40 6C 0D 02 00 00 30 02 30 00 06 01 02 03 04 05 FF"),
         O::Data, "", 3 + 48},
        {"TEV read", variable("02 40 6C 0B 02 00 00 64"), O::Data, "", 3 + 100},
        {"TEW read and write", variable("03 40 6C 0D 02 00 00 02 02 00 00 02 34 12"), O::Data, "",
         3 + 2},
        {"TEVW read and write", variable("04 40 6C 0D 02 00 00 66 02 04 00 02 05 00"), O::Data, "",
         3 + 102},
        {"MOKR write phase", variable("05 40 6C 0D 02 00 00 10 02 90 01 08", Bytes(8, 0)), O::Data,
         "", 3 + 16},
        {"MOKR read phase, piggy 2", variable("05 40 6C 0B 02 30 00 10 02 B0 00 10 02 30 01 10"),
         O::Data, "", 3 + 48},
        {"KALU configuration, first half", variable("01 40 6C 0C 01 00 00 80", filled(128, 0)),
         O::Ack, "E5"},
        {"KALU configuration, second half", variable("01 40 6C 0C 01 80 00 C0", filled(192, 0)),
         O::Ack, "E5"},
        {"TEV configuration", variable("02 40 6C 0C 01 00 00 88", filled(136, 0)), O::Ack, "E5"},
        {"MOKR configuration, full", variable("05 40 6C 0C 01 00 00 E8", filled(232, 0)), O::Ack,
         "E5"},
        {"ZEPA configuration", variable("06 40 63 0C 01 00 00 0A", filled(10, 0)), O::Ack, "E5"},
        {"unknown request code", variable("02 40 6C 0A 02 00 00 02"), O::Negative, "100240024416"},
        {"area the module does not have", variable("02 40 6C 0B 03 00 00 02"), O::Negative,
         "100240094B16"},
        {"range beyond the area", variable("03 40 6C 0B 02 00 00 04"), O::Negative, "100340094C16"},
        {"start beyond the area", variable("01 40 6C 0B 02 40 00 01"), O::Negative, "100140094A16"},
        {"configuration block too long for the area",
         variable("02 40 6C 0C 01 00 00 89", filled(137, 0)), O::Negative, "100240094B16"},
        {"ZEPA has no live data", variable("06 40 6C 0B 02 00 00 01"), O::Negative, "100640094F16"},
        {"no request code", variable("02 40 6C"), O::Negative, "1002400C4E16"},
        {"read descriptor cut short", variable("02 40 6C 0B 02 00 00"), O::Negative,
         "1002400C4E16"},
        {"read with no descriptor", variable("02 40 6C 0B"), O::Negative, "1002400C4E16"},
        {"count of zero", variable("02 40 6C 0B 02 00 00 00"), O::Negative, "1002400C4E16"},
        {"write data shorter than its count", variable("05 40 6C 0C 01 00 00 E8", filled(136, 0)),
         O::Negative, "1005400C5116"},
        {"write data longer than its count", variable("03 40 6C 0C 02 00 00 01 01 02"), O::Negative,
         "1003400C4F16"},
        {"read-and-write without its write", variable("03 40 6C 0D 02 00 00 02"), O::Negative,
         "1003400C4F16"},
        {"answer would not fit one frame", variable("05 40 6C 0B 02 00 00 FD"), O::Negative,
         "1005400C5116"},
    };
    for (const auto& c : cases) {
        Bus bus = demoBus();
        const Exchange ex = bus.handle(c.frame, 1000);
        EXPECT_EQ(ex.outcome, c.outcome) << c.name;
        if (c.outcome == O::Data) {
            const Bytes data = replyData(ex);
            ASSERT_EQ(data.size(), c.dataLength) << c.name;
            // The answer repeats the request's first three user-data bytes.
            EXPECT_TRUE(std::equal(data.begin(), data.begin() + 3, c.frame.userData.begin()))
                << c.name;
        } else {
            EXPECT_EQ(toHex(ex.reply), c.reply) << c.name;
        }
    }
}

TEST(ModsimBus, KaluReadAndWriteStoresOutputsAndAnswersInputs) {
    Bus bus = demoBus();
    const Exchange ex =
        bus.handle(variable("01 40 6C 0D 02 00 00 30 02 30 00 06 01 02 03 04 05 FF"), 5000);
    ASSERT_EQ(ex.writes.size(), 1u);
    EXPECT_EQ(ex.writes[0].area, kDataArea);
    EXPECT_EQ(ex.writes[0].start, 0x30);
    EXPECT_EQ(toHex(ex.writes[0].data), "0102030405FF");
    const Bytes data = replyData(ex);
    for (int i = 1; i <= 12; ++i) {
        const float v = single(data, 3 + 4 * static_cast<std::size_t>(i - 1));
        EXPECT_NEAR(v, 10.0f * i, 2.01f) << "input " << i;  // distinct per input
    }
    const Exchange back = bus.handle(variable("01 40 6C 0B 02 30 00 06"), 5000);
    EXPECT_EQ(toHex(replyData(back)), "01406C0102030405FF");
    // The inputs move: a few seconds later the first input reads differently.
    const Exchange later = bus.handle(variable("01 40 6C 0B 02 00 00 04"), 10000);
    EXPECT_NE(single(replyData(later), 3), single(data, 3));
}

TEST(ModsimBus, ConfigurationBlockIsStoredAsReceived) {
    Bus bus = demoBus();
    const Bytes first = filled(128, 0x20);
    const Bytes second = filled(192, 0x90);
    const Exchange a = bus.handle(variable("01 40 6C 0C 01 00 00 80", first), 0);
    const Exchange b = bus.handle(variable("01 40 6C 0C 01 80 00 C0", second), 0);
    ASSERT_EQ(a.writes.size(), 1u);
    EXPECT_EQ(a.writes[0].data, first);
    EXPECT_EQ(b.writes[0].start, 0x80);
    EXPECT_EQ(bus.module(1)->areaSize(kConfigArea), 320u);
    Bytes stored = bus.module(1)->read(kConfigArea, 0, 128, 0);
    EXPECT_EQ(stored, first);
    stored = bus.module(1)->read(kConfigArea, 0x80, 192, 0);
    EXPECT_EQ(stored, second);
    // The third byte of a ZEPA block (0x63) comes back in a read answer.
    bus.handle(variable("06 40 63 0C 01 00 00 0A", filled(10, 1)), 0);
    EXPECT_EQ(toHex(replyData(bus.handle(variable("06 40 63 0B 01 00 00 0A"), 0))),
              "0640630102030405060708090A");
}

TEST(ModsimBus, RejectedRequestChangesNothing) {
    Bus bus = demoBus();
    bus.handle(variable("03 40 6C 0C 02 00 00 02 AA 55"), 0);
    // Read-and-write whose read is out of range: the write must not be applied either.
    const Exchange ex = bus.handle(variable("03 40 6C 0D 02 00 00 09 02 00 00 02 11 22"), 0);
    EXPECT_EQ(ex.outcome, Exchange::Outcome::Negative);
    EXPECT_TRUE(ex.writes.empty());
    EXPECT_EQ(toHex(replyData(bus.handle(variable("03 40 6C 0B 02 00 00 02"), 0))), "03406CAA55");
}

TEST(ModsimBus, OutputWordsEcho) {
    Bus bus = demoBus();
    const Bytes tew =
        replyData(bus.handle(variable("03 40 6C 0D 02 00 00 02 02 00 00 02 34 12"), 0));
    EXPECT_EQ(word(tew, 3), 0x1234);
    const Bytes tevw =
        replyData(bus.handle(variable("04 40 6C 0D 02 00 00 66 02 04 00 02 A5 00"), 700));
    EXPECT_EQ(word(tevw, 3 + 4), 0x00A5);  // W2
    const Bytes mokr = replyData(
        bus.handle(variable("05 40 6C 0D 02 00 00 10 02 90 01 08 01 02 03 04 05 06 07 08"), 0));
    EXPECT_EQ(mokr.size(), 19u);
    EXPECT_EQ(toHex(replyData(bus.handle(variable("05 40 6C 0B 02 90 01 08"), 0))),
              "05406C0102030405060708");
}

TEST(ModsimBus, BinaryInputsMoveOverTime) {
    Bus bus = demoBus();
    const Frame read = variable("02 40 6C 0B 02 00 00 64");
    const Bytes early = replyData(bus.handle(read, 0));
    const Bytes late = replyData(bus.handle(read, 60000));
    bool toggled = false;
    for (int t = 0; t < 2000 && !toggled; t += 50) {
        toggled = word(replyData(bus.handle(read, t)), 3 + 2) != word(early, 3 + 2);
    }
    EXPECT_TRUE(toggled) << "input bits (W1) never changed";
    for (int n = 1; n <= 16; ++n) {
        const std::size_t at = 3 + 4 + 2 * static_cast<std::size_t>(n - 1);
        EXPECT_GT(word(late, at), word(early, at)) << "set 0 counter of input " << n;
        EXPECT_NE(word(late, at), 32767) << "counter hits the blank marker";
    }
}

// The windows show W0 (MOKR: state bytes 1..8) as the unfiltered inputs and W1 (bytes 9..16)
// as the filtered ones; the simulated filter passes a change 100 ms late.
TEST(ModsimBus, RawInputBitsComeFirstAndTheFilteredOnesLag) {
    Module tev(ModuleType::Tev);
    Module mokr(ModuleType::Mokr);
    int differing = 0;
    for (std::int64_t t = 200; t < 3000; t += 10) {
        const Bytes words = tev.read(kDataArea, 0, 4, t);
        const Bytes states = mokr.read(kDataArea, 0, 16, t);
        for (int n = 1; n <= 8; ++n) {
            const auto bit = static_cast<std::uint8_t>(1u << (n - 1));
            const bool raw = inputState(n, t);
            const bool filtered = inputState(n, t - 100);
            ASSERT_EQ((words[0] & bit) != 0, raw) << "W0, input " << n << " at " << t;
            ASSERT_EQ((words[2] & bit) != 0, filtered) << "W1, input " << n << " at " << t;
            ASSERT_EQ((states[0] & bit) != 0, raw) << "MOKR byte 1, input " << n << " at " << t;
            ASSERT_EQ((states[8] & bit) != 0, filtered) << "MOKR byte 9, input " << n;
            differing += raw != filtered ? 1 : 0;
        }
    }
    EXPECT_GT(differing, 0) << "the filter never lagged";
}

TEST(ModsimBus, ForcedNegativeReply) {
    Bus bus = demoBus();
    bus.forceNegative(9, 2);
    EXPECT_EQ(toHex(bus.handle(variable("02 40 6C 0B 02 00 00 64"), 0).reply), "100240094B16");
    EXPECT_EQ(bus.handle(variable("03 40 6C 0B 02 00 00 02"), 0).outcome, Exchange::Outcome::Data);
    EXPECT_EQ(toHex(bus.handle(probe(2), 0).reply), "E5");
    EXPECT_TRUE(bus.handle(probe(9), 0).reply.empty());

    bus.forceNegative(12, std::nullopt);
    EXPECT_EQ(toHex(bus.handle(variable("03 40 6C 0B 02 00 00 02"), 0).reply), "1003400C4F16");
}

TEST(ModsimBus, AddressesOutsideTheBusAreRefused) {
    Bus bus;
    EXPECT_FALSE(bus.addModule(32, ModuleType::Kalu));
    EXPECT_FALSE(bus.addModule(-1, ModuleType::Kalu));
    EXPECT_TRUE(bus.addModule(31, ModuleType::Tew));
    EXPECT_EQ(toHex(bus.handle(probe(31), 0).reply), "E5");
}
