#pragma once
// What the traffic monitor says about the bytes on the link: received bytes of one exchange cut
// into frames, each with a verdict, and sent frames decoded into the request they carry. Plain
// functions over byte spans; the texts are the monitor's own (Czech, UTF-8).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velor {

enum class Verdict : std::uint8_t {
    Request,             // a sent frame, first attempt
    Retry,               // a sent frame, attempt n (2..3) of 3
    Acknowledge,         // the single byte 0xE5
    ShortPositive,       // 10 .. with function code 0
    ShortNegative,       // function code 2, 9 or 12 (a)
    ShortUnknownCode,    // any other function code (a)
    VariableOk,          // checked variable frame with n user-data bytes
    LengthMismatch,      // the two length bytes differ (a, b)
    SecondStartMissing,  // the fourth byte is not 0x68 (a = the byte)
    WrongChecksum,       // a = expected, b = received
    EndMissing,          // a = the byte where 0x16 belongs
    Incomplete,          // a frame cut off: n = the length the whole frame needs
    Dropped,             // n bytes ahead of a start byte, or with none following
    Trailing,            // n bytes read together with a frame, behind its end
    Timeout,             // no frame within the step's time-out (n ms)
    LinkError,           // the channel failed the attempt (n = TransferResult)
    PortFailed,          // the serial port could not be opened
};

struct FrameVerdict {
    Verdict code = Verdict::Request;
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    // Attempt of a retry, byte count, user-data length, time-out ms, link result; for an
    // incomplete frame the length the frame needs.
    std::uint16_t n = 0;
    // Read after its exchange had ended (a late answer or the rest of a refused frame).
    bool late = false;

    bool operator==(const FrameVerdict&) const = default;
};

// One received frame: its position in the exchange's received bytes and its verdict.
struct ReceivedFrame {
    std::size_t offset = 0;
    std::size_t length = 0;
    FrameVerdict verdict;

    bool operator==(const ReceivedFrame&) const = default;
};

// Cuts the bytes received in one attempt into frames the way the engine's receiver reads
// them: bytes ahead of a start byte are dropped, 0xE5 is an acknowledgement, 0x10 starts a
// six-byte short frame, 0x68 a variable frame whose length bytes, second start byte, check
// byte and end byte are checked. A frame cut off by the end of the bytes is incomplete.
std::vector<ReceivedFrame> assembleReceived(std::span<const std::uint8_t> bytes);

// True when the verdict marks a fault: anything but a sent first attempt and a good answer.
bool isErrorVerdict(const FrameVerdict& verdict);

// Short Czech text of a verdict. Sent frames (Request, Retry) are described by their bytes.
std::string verdictText(const FrameVerdict& verdict, std::span<const std::uint8_t> bytes);

// The request a sent frame carries: "dotaz na adresu 5", "čtení 02:0000 48 B, zápis
// 02:0030 6 B", "konfigurace KALU, 1. polovina (128 B)".
std::string describeSent(std::span<const std::uint8_t> frame);

// Module address of a sent short or variable frame; -1 when the bytes are no such frame.
int sentFrameAddress(std::span<const std::uint8_t> frame);

// Name of a request kind: "KALU", "TEV", "TEW", "TEVW", "MOKR", "sonda", "konfigurace"; empty
// for an unknown kind.
std::string requestKindName(std::uint8_t kind);

}  // namespace velor
