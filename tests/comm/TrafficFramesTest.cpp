#include "comm/TrafficFrames.h"

#include <gtest/gtest.h>

#include "support/HexBytes.h"

using namespace velor;
using velor::test::hex;

namespace {

struct Piece {
    std::size_t length;
    const char* text;
};

// The frames and verdict texts of a received byte stream.
void expectFrames(const char* stream, std::vector<Piece> expected) {
    const auto bytes = hex(stream);
    const auto frames = assembleReceived(bytes);
    ASSERT_EQ(frames.size(), expected.size()) << stream;
    std::size_t offset = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].offset, offset) << stream << " frame " << i;
        EXPECT_EQ(frames[i].length, expected[i].length) << stream << " frame " << i;
        const auto span = std::span(bytes).subspan(frames[i].offset, frames[i].length);
        EXPECT_EQ(verdictText(frames[i].verdict, span), expected[i].text) << stream;
        offset += frames[i].length;
    }
}

}  // namespace

TEST(TrafficFrames, VerdictOfEveryReply) {
    struct Case {
        const char* stream;
        std::vector<Piece> frames;
    };
    const std::vector<Case> cases = {
        {"E5", {{1, "potvrzení E5"}}},
        {"10 05 40 00 45 16", {{6, "krátká odpověď kladná"}}},
        {"10 05 40 02 47 16", {{6, "FC=2 Neznámá komunikační šlužba"}}},
        {"10 05 40 09 4E 16", {{6, "FC=9 Blok/Data nedostupná"}}},
        {"10 05 40 0C 51 16", {{6, "FC=0x0c nespravne zadane parametry"}}},
        {"10 05 40 07 4C 16", {{6, "krátká odpověď, neznámé FC=0x07"}}},
        {"68 05 05 68 01 02 03 04 05 0F 16", {{11, "odpověď v pořádku (2 B dat)"}}},
        {"68 03 03 68 05 40 6C B1 16", {{9, "odpověď v pořádku (0 B dat)"}}},
        // The receiver refuses these once it has the header; what follows is not its frame.
        {"68 05 04 68", {{4, "různé délky L=5 a 4"}}},
        {"68 05 05 67", {{4, "chybí druhý počáteční bajt 68 (přišel 67)"}}},
        {"68 05 05 68 01 02 03 04 05 10 16",
         {{11, "chybný kontrolní součet: očekáván 0F, přišel 10"}}},
        {"68 05 05 68 01 02 03 04 05 0F 17", {{11, "chybí koncový bajt 16 (přišel 17)"}}},
        {"68 05 05 68 01 02", {{6, "neúplný rámec (rámec má 11 B)"}}},
        {"10 05 40", {{3, "neúplný rámec (rámec má 6 B)"}}},
        {"00 FF E5", {{2, "zahozeno 2 B před počátečním bajtem"}, {1, "potvrzení E5"}}},
        {"33", {{1, "zahozeno 1 B před počátečním bajtem"}}},
        {"68 03 03 68 05 40 6C B1 16 AA BB",
         {{9, "odpověď v pořádku (0 B dat)"}, {2, "2 B navíc za rámcem"}}},
        {"", {}},
    };
    for (const auto& c : cases) expectFrames(c.stream, c.frames);
}

TEST(TrafficFrames, JunkBetweenAndAfterTwoFrames) {
    // A late acknowledgement, noise, then a good frame: three verdicts in order.
    expectFrames("E5 01 02 03 68 03 03 68 05 40 6C B1 16",
                 {{1, "potvrzení E5"},
                  {3, "zahozeno 3 B před počátečním bajtem"},
                  {9, "odpověď v pořádku (0 B dat)"}});
}

TEST(TrafficFrames, VerdictsWithoutBytesAndLateFrames) {
    FrameVerdict v;
    v.code = Verdict::Timeout;
    v.n = 200;
    EXPECT_EQ(verdictText(v, {}), "bez odpovědi do 200 ms");
    EXPECT_TRUE(isErrorVerdict(v));
    v.code = Verdict::LinkError;
    v.n = 2;
    EXPECT_EQ(verdictText(v, {}), "spojení TCP není navázáno");

    const auto ack = hex("E5");
    v = assembleReceived(ack)[0].verdict;
    EXPECT_FALSE(isErrorVerdict(v));
    v.late = true;
    EXPECT_EQ(verdictText(v, ack), "pozdě, po konci výměny: potvrzení E5");
    EXPECT_TRUE(isErrorVerdict(v));
}

TEST(TrafficFrames, SentFramesDecoded) {
    struct Case {
        const char* frame;
        int address;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"10 1F 40 69 C8 16", 31, "dotaz na adresu 31"},
        {"68 04 04 68 05 40 6C 0B BC 16", 5, "požadavek bez položek"},
        {"68 08 08 68 02 40 6C 0B 02 00 00 64 1F 16", 2, "čtení 02:0000 100 B"},
        {"68 12 12 68 03 40 6C 0D 02 00 00 30 02 30 00 06 01 02 03 04 05 FF 34 16", 3,
         "čtení 02:0000 48 B, zápis 02:0030 6 B"},
        {"68 10 10 68 05 40 6C 0B 02 30 00 10 02 B0 00 10 02 30 01 10 03 16", 5,
         "čtení 02:0030 16 B, čtení 02:00B0 16 B, čtení 02:0130 16 B"},
        {"68 0E 0E 68 03 40 6C 0C 01 00 00 0A 00 00 00 00 00 00 C6 16", 3,
         "konfigurace 01:0000 10 B"},
        {"68 0E 0E 68 03 40 63 0C 01 00 00 0A 00 00 00 00 00 00 BD 16", 3,
         "konfigurace ZEPA (10 B)"},
        {"68 04 04 68 05 40 6C 0E BF 16", 5, "neznámý požadavek 0E"},
        {"68 04 05 68 05 40 6C 0B BC 16", -1, "neznámý rámec"},
        {"", -1, "neznámý rámec"},
    };
    for (const auto& c : cases) {
        const auto bytes = hex(c.frame);
        EXPECT_EQ(sentFrameAddress(bytes), c.address) << c.frame;
        EXPECT_EQ(describeSent(bytes), c.text) << c.frame;
    }
    FrameVerdict retry;
    retry.code = Verdict::Retry;
    retry.n = 2;
    EXPECT_EQ(verdictText(retry, hex("10 1F 40 69 C8 16")), "opakování 2 ze 3: dotaz na adresu 31");
}

TEST(TrafficFrames, ConfigurationBlocksNameHalfAndTarget) {
    // The descriptor says which block it is; the data themselves do not matter here.
    auto block = [](std::uint8_t function, std::uint8_t startLow, std::uint8_t count) {
        std::vector<std::uint8_t> user = {7, 0x40, function, 0x0C, 1, startLow, 0, count};
        user.resize(8 + std::min<std::size_t>(count, 200), 0);
        std::vector<std::uint8_t> f = {0x68, static_cast<std::uint8_t>(user.size()),
                                       static_cast<std::uint8_t>(user.size()), 0x68};
        f.insert(f.end(), user.begin(), user.end());
        unsigned sum = 0;
        for (auto b : user) sum += b;
        f.push_back(static_cast<std::uint8_t>(sum));
        f.push_back(0x16);
        return describeSent(f);
    };
    EXPECT_EQ(block(0x6C, 0x00, 0x80), "konfigurace KALU, 1. polovina (128 B)");
    EXPECT_EQ(block(0x6C, 0x80, 0xC0), "konfigurace KALU, 2. polovina (192 B)");
    EXPECT_EQ(block(0x6C, 0x00, 0x88), "konfigurace TEV/TEVW/TEW (136 B)");
    EXPECT_EQ(block(0x6C, 0x00, 0xE8), "konfigurace MOKR (232 B)");
    EXPECT_EQ(requestKindName(5), "sonda");
    EXPECT_EQ(requestKindName(9), "");
}
