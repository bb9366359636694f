// Frame codec of the module simulator: check bytes, reply builders and the request parser.

#include <gtest/gtest.h>

#include "SimHex.h"
#include "tools/modsim/FrameCodec.h"

using namespace velor::modsim;
using velor::modsim::test::hex;

namespace {

// Frames as "S:<user hex>" / "V:<user hex>", drops as "D:<hex>", in the order the parser found
// them.
std::vector<std::string> describe(const std::vector<ParsedItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) {
        if (const auto* f = std::get_if<Frame>(&item)) {
            out.push_back((f->kind == Frame::Kind::Short ? "S:" : "V:") + toHex(f->userData));
        } else {
            out.push_back("D:" + toHex(std::get<Dropped>(item).bytes));
        }
    }
    return out;
}

}  // namespace

TEST(ModsimCodec, ChecksumAndBuilders) {
    EXPECT_EQ(checksum8(hex("01 02 03")), 0x06);
    EXPECT_EQ(checksum8(hex("FF 02")), 0x01);
    EXPECT_EQ(checksum8({}), 0x00);
    EXPECT_EQ(toHex(buildShortFrame(hex("05 40 69"))), "10054069AE16");
    EXPECT_EQ(toHex(buildVariableFrame(hex("05 40 6C 0B"))), "6804046805406C0BBC16");
    EXPECT_EQ(toHex(buildVariableFrame(hex("05 40 6C"))), "6803036805406CB116");
    EXPECT_EQ(toHex(buildNegativeReply(0x03, 9)), "100340094C16");
    EXPECT_TRUE(buildVariableFrame(Bytes(256, 0)).empty());
    EXPECT_EQ(buildVariableFrame(Bytes(255, 1)).size(), 261u);
}

TEST(ModsimCodec, ParserTable) {
    struct Case {
        const char* name;
        const char* input;
        std::vector<std::string> expected;
        std::size_t pending;
    };
    const Case cases[] = {
        {"probe", "10 05 40 69 AE 16", {"S:054069"}, 0},
        {"variable", "68 04 04 68 05 40 6C 0B BC 16", {"V:05406C0B"}, 0},
        {"junk before a frame", "00 FF 16 10 05 40 69 AE 16", {"D:00FF16", "S:054069"}, 0},
        {"two frames in one read",
         "10 05 40 69 AE 16 68 04 04 68 05 40 6C 0B BC 16",
         {"S:054069", "V:05406C0B"},
         0},
        {"bad short checksum, then a good frame",
         "10 05 40 69 AF 16 10 05 40 69 AE 16",
         {"D:10", "D:054069AF16", "S:054069"},
         0},
        {"unequal length bytes", "68 04 05 68 00", {"D:68", "D:0405"}, 2},
        {"wrong checksum", "68 01 01 68 07 08 16", {"D:68", "D:0101", "D:68", "D:070816"}, 0},
        {"missing end byte", "68 01 01 68 07 07 17", {"D:68", "D:0101", "D:68", "D:070717"}, 0},
        {"incomplete frame waits", "68 04 04 68 05 40", {}, 6},
        {"oversized length waits, good frame behind it is kept",
         "68 FF FF 68 10 05 40 69 AE 16",
         {},
         10},
        {"empty variable frame", "68 00 00 68 00 16", {"V:"}, 0},
    };
    for (const auto& c : cases) {
        FrameParser parser;
        const auto items = parser.feed(hex(c.input), 0);
        EXPECT_EQ(describe(items), c.expected) << c.name;
        EXPECT_EQ(parser.pending(), c.pending) << c.name;
    }
}

TEST(ModsimCodec, FrameArrivingInPiecesIsAssembled) {
    FrameParser parser;
    const Bytes frame = hex("68 04 04 68 05 40 6C 0B BC 16");
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        for (auto& s : describe(parser.feed(std::span(&frame[i], 1), static_cast<int>(i) * 10))) {
            seen.push_back(s);
        }
    }
    EXPECT_EQ(seen, std::vector<std::string>{"V:05406C0B"});
}

// A length byte that promises more than ever comes must not block the link for good.
TEST(ModsimCodec, StaleIncompleteFrameIsGivenUp) {
    FrameParser parser;
    EXPECT_TRUE(parser.feed(hex("68 FF FF 68 01 02"), 0).empty());
    const auto items = parser.feed(hex("10 05 40 69 AE 16"), FrameParser::kStaleMs + 1);
    EXPECT_EQ(describe(items), (std::vector<std::string>{"D:68FFFF680102", "S:054069"}));
    EXPECT_EQ(parser.pending(), 0u);
}
