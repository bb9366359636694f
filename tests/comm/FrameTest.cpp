#include "comm/Frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/HexBytes.h"

using namespace velor;
using velor::test::hex;
using velor::test::toHex;

TEST(Checksum, SumsModulo256AndComplements) {
    EXPECT_EQ(Checksum8(hex("01 02 03")), 0x06);
    EXPECT_EQ(Checksum8(hex("FF 02")), 0x01);
    EXPECT_EQ(checksum8Complement(hex("FF 02")), 0xFE);
    EXPECT_EQ(Checksum8({}), 0x00);
}

TEST(frameInPlace, ShortAndVariableFramesByteForByte) {
    struct Case {
        const char* user;
        bool shortFrame;
        const char* framed;
    };
    const Case cases[] = {
        {"05 40 69", true, "10 05 40 69 AE 16"},
        {"05 40 6C 0B", false, "68 04 04 68 05 40 6C 0B BC 16"},
        {"", false, "68 00 00 68 00 16"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> buffer = hex(c.user);
        buffer.resize(300, 0xAA);
        auto length = static_cast<std::int32_t>(hex(c.user).size());
        ASSERT_TRUE(frameInPlace(buffer, length, c.shortFrame)) << c.user;
        EXPECT_EQ(toHex(buffer.data(), static_cast<std::size_t>(length)), c.framed);
    }
}

TEST(frameInPlace, RefusesWhatCannotBeFramedAndLeavesItUntouched) {
    struct Case {
        std::size_t capacity;
        std::int32_t length;
        bool shortFrame;
    };
    const Case cases[] = {
        {5000, 256, false},  // too long for the length byte
        {9, 4, false},       // framed request would not fit
        {5, 3, true},
        {100, -1, false},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> buffer(c.capacity, 0x11);
        std::int32_t length = c.length;
        EXPECT_FALSE(frameInPlace(buffer, length, c.shortFrame)) << c.capacity << " " << c.length;
        EXPECT_EQ(length, c.length);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0x11; }));
    }
}

namespace {

// Bytes that have "arrived": the whole stream, handed out in order.
struct StreamSource : ByteSource {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    int read(std::uint8_t* destination, int count) override {
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), bytes.size() - pos);
        std::copy_n(bytes.begin() + static_cast<long>(pos), n, destination);
        pos += n;
        return static_cast<int>(n);
    }
    int waiting() const { return static_cast<int>(bytes.size() - pos); }
};

struct Received {
    ReceiveOutcome outcome;
    std::int32_t length;
    std::vector<std::uint8_t> buffer;
};

Received receiveAll(const std::string& stream, std::size_t capacity = 5000) {
    StreamSource source;
    source.bytes = hex(stream);
    FrameReceiver receiver;
    std::vector<std::uint8_t> buffer(capacity);
    std::int32_t length = 99;
    for (int phase = 0; phase < 100; ++phase) {
        const ReceiveOutcome o = receiver.receive(source.waiting(), source, buffer, length);
        if (o != ReceiveOutcome::Pending) return {o, length, buffer};
    }
    return {ReceiveOutcome::Pending, length, buffer};
}

}  // namespace

TEST(FrameReceiver, TakesRepliesApart) {
    struct Case {
        const char* stream;
        ReceiveOutcome outcome;
        std::int32_t length;  // -100: not checked
        const char* data;     // first bytes of the buffer
    };
    const Case cases[] = {
        {"68 03 03 68 05 40 6C B1 16", ReceiveOutcome::VariableReply, 0, ""},
        {"68 05 05 68 01 02 03 0D 0E 21 16", ReceiveOutcome::VariableReply, 2, "0D 0E"},
        {"00 00 E5", ReceiveOutcome::Acknowledged, 99, "E5"},
        {"10 01 02 09 03 16", ReceiveOutcome::ShortReply, 99, "01 02 09 03 16"},
        {"68 03 03 68 05 40 6C B2 16", ReceiveOutcome::WrongReply, -100, ""},  // CS
        {"68 03 03 68 05 40 6C B1 17", ReceiveOutcome::WrongReply, -100, ""},  // end byte
        {"68 03 04 68 05 40 6C B1 16", ReceiveOutcome::WrongReply, -100, ""},  // lengths
        {"68 03 03 69 05 40 6C B1 16", ReceiveOutcome::WrongReply, -100, ""},  // 4th byte
        {"68 05 05 68 01 02", ReceiveOutcome::Pending, -100, ""},              // incomplete
        {"10 01 02 09", ReceiveOutcome::Pending, -100, ""},
    };
    for (const Case& c : cases) {
        const Received r = receiveAll(c.stream);
        EXPECT_EQ(r.outcome, c.outcome) << c.stream;
        if (c.length != -100) {
            EXPECT_EQ(r.length, c.length) << c.stream;
        }
        const auto data = hex(c.data);
        EXPECT_EQ(toHex(r.buffer.data(), data.size()), c.data) << c.stream;
    }
}

TEST(FrameReceiver, ShortLengthGivesNegativeLengthAndNoData) {
    // Two user-data bytes: fewer than the three that are dropped.
    const Received r = receiveAll("68 02 02 68 05 40 45 16");
    EXPECT_EQ(r.outcome, ReceiveOutcome::VariableReply);
    EXPECT_EQ(r.length, -1);
}

TEST(FrameReceiver, ReplyLargerThanTheBufferFailsAndIsDrained) {
    StreamSource source;
    source.bytes = hex("10");
    source.bytes.resize(200, 0x00);
    FrameReceiver receiver;
    std::vector<std::uint8_t> buffer(40, 0x77);
    std::int32_t length = 0;
    EXPECT_EQ(receiver.receive(source.waiting(), source, buffer, length), ReceiveOutcome::Pending);
    EXPECT_EQ(receiver.receive(source.waiting(), source, buffer, length),
              ReceiveOutcome::WrongReply);
    EXPECT_EQ(source.waiting(), 0);
}

TEST(FrameReceiver, OnlyBytesThatArrivedAreChecked) {
    // The count of waiting bytes claims a whole body, but the read delivers less.
    struct ShortSource : StreamSource {
        int read(std::uint8_t* d, int count) override {
            return StreamSource::read(d, std::min(count, 3));
        }
    } source;
    source.bytes = hex("05 40 6C B1 16");
    FrameReceiver receiver;
    receiver.ReceiveState = 3;
    std::vector<std::uint8_t> buffer = hex("00 00 00 B1 16");  // stale bytes that would pass
    std::int32_t length = 3;
    EXPECT_EQ(receiver.receive(5, source, buffer, length), ReceiveOutcome::WrongReply);
}
