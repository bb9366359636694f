#include "comm/TrafficFrames.h"

#include <array>
#include <cstdio>

#include "comm/Frame.h"
#include "comm/ModuleProtocol.h"

namespace velor {

namespace {

constexpr std::size_t kShortFrameBytes = 6;
constexpr std::size_t kVariableHeadBytes = 4;

bool isStartByte(std::uint8_t b) {
    return b == kShortStart || b == kVariableStart || b == kAcknowledge;
}

std::string format(const char* pattern, unsigned a, unsigned b = 0, unsigned c = 0) {
    std::array<char, 160> text{};
    std::snprintf(text.data(), text.size(), pattern, a, b, c);
    return text.data();
}

FrameVerdict verdict(Verdict code, std::uint16_t n = 0, std::uint8_t a = 0, std::uint8_t b = 0) {
    FrameVerdict v;
    v.code = code;
    v.n = n;
    v.a = a;
    v.b = b;
    return v;
}

FrameVerdict shortVerdict(std::uint8_t functionCode) {
    switch (functionCode) {
        case 0:
            return verdict(Verdict::ShortPositive);
        case 2:
        case 9:
        case 12:
            return verdict(Verdict::ShortNegative, 0, functionCode);
        default:
            return verdict(Verdict::ShortUnknownCode, 0, functionCode);
    }
}

// A variable frame starting at bytes[0]; its length is set to what the verdict covers.
FrameVerdict variableVerdict(std::span<const std::uint8_t> bytes, std::size_t& length) {
    const auto needed = [&](std::size_t total) {
        length = std::min(total, bytes.size());
        return verdict(Verdict::Incomplete, static_cast<std::uint16_t>(total));
    };
    if (bytes.size() < kVariableHeadBytes) return needed(kVariableHeadBytes);
    const std::uint8_t l1 = bytes[1];
    const std::uint8_t l2 = bytes[2];
    // The engine refuses the frame once it has seen the header: the rest is not its frame.
    length = kVariableHeadBytes;
    if (l1 != l2) return verdict(Verdict::LengthMismatch, 0, l1, l2);
    if (bytes[3] != kVariableStart) return verdict(Verdict::SecondStartMissing, 0, bytes[3]);
    const std::size_t total = kVariableHeadBytes + l1 + 2;
    if (bytes.size() < total) return needed(total);
    length = total;
    const std::uint8_t expected = Checksum8(bytes.subspan(kVariableHeadBytes, l1));
    const std::uint8_t received = bytes[kVariableHeadBytes + l1];
    if (expected != received) return verdict(Verdict::WrongChecksum, 0, expected, received);
    const std::uint8_t end = bytes[total - 1];
    if (end != kFrameEnd) return verdict(Verdict::EndMissing, 0, end);
    return verdict(Verdict::VariableOk, l1);
}

FrameVerdict frameAt(std::span<const std::uint8_t> bytes, std::size_t& length) {
    switch (bytes[0]) {
        case kAcknowledge:
            length = 1;
            return verdict(Verdict::Acknowledge);
        case kShortStart:
            length = std::min(kShortFrameBytes, bytes.size());
            if (bytes.size() < kShortFrameBytes)
                return verdict(Verdict::Incomplete, kShortFrameBytes);
            return shortVerdict(bytes[3]);
        default:
            return variableVerdict(bytes, length);
    }
}

std::string itemText(std::span<const std::uint8_t> d) {
    const unsigned start = d[1] | (d[2] << 8);
    return format("%02X:%04X %u B", d[0], start, d[3]);
}

std::string configText(std::span<const std::uint8_t> d, std::uint8_t function) {
    const unsigned start = d[1] | (d[2] << 8);
    const unsigned count = d[3];
    if (function == kZepaApplication) return format("konfigurace ZEPA (%u B)", count);
    if (start == 0 && count == 0x80) return "konfigurace KALU, 1. polovina (128 B)";
    if (start == 0x80 && count == 0xC0) return "konfigurace KALU, 2. polovina (192 B)";
    if (start == 0 && count == 0x88) return "konfigurace TEV/TEVW/TEW (136 B)";
    if (start == 0 && count == 0xE8) return "konfigurace MOKR (232 B)";
    return "konfigurace " + itemText(d);
}

// The item descriptors of a read, write or read-and-write request.
std::string itemsText(std::span<const std::uint8_t> user) {
    const std::uint8_t code = user[3];
    std::string out;
    std::size_t pos = 4;
    for (int item = 0; pos + 4 <= user.size(); ++item) {
        const auto d = user.subspan(pos, 4);
        const bool write = code == kWrite || (code == kReadWrite && item > 0);
        if (!out.empty()) out += ", ";
        if (write && d[0] == kConfigArea) {
            out += configText(d, user[2]);
        } else {
            out += (write ? "zápis " : "čtení ") + itemText(d);
        }
        pos += 4 + (write ? d[3] : 0);
    }
    return out.empty() ? "požadavek bez položek" : out;
}

std::span<const std::uint8_t> sentUserData(std::span<const std::uint8_t> frame, bool& isShort) {
    isShort = false;
    if (frame.size() < kShortFrameBytes || frame.back() != kFrameEnd) return {};
    if (frame[0] == kShortStart) {
        isShort = true;
        return frame.subspan(1, frame.size() - 3);
    }
    if (frame[0] != kVariableStart || frame[1] != frame[2] || frame[3] != kVariableStart) return {};
    if (frame.size() != kVariableHeadBytes + frame[1] + 2u) return {};
    return frame.subspan(kVariableHeadBytes, frame[1]);
}

std::string linkErrorText(std::uint16_t result) {
    if (result == 1) return "bez TCP přenosu";
    if (result == 2) return "spojení TCP není navázáno";
    return format("chyba linky (příznaky 0x%X)", result);
}

std::string receivedText(const FrameVerdict& v) {
    switch (v.code) {
        case Verdict::Acknowledge:
            return "potvrzení E5";
        case Verdict::ShortPositive:
            return "krátká odpověď kladná";
        case Verdict::ShortNegative:
            if (v.a == 2) return "FC=2 Neznámá komunikační šlužba";
            if (v.a == 9) return "FC=9 Blok/Data nedostupná";
            return "FC=0x0c nespravne zadane parametry";
        case Verdict::ShortUnknownCode:
            return format("krátká odpověď, neznámé FC=0x%02X", v.a);
        case Verdict::VariableOk:
            return format("odpověď v pořádku (%u B dat)", v.n >= 3 ? v.n - 3u : 0u);
        case Verdict::LengthMismatch:
            return format("různé délky L=%u a %u", v.a, v.b);
        case Verdict::SecondStartMissing:
            return format("chybí druhý počáteční bajt 68 (přišel %02X)", v.a);
        case Verdict::WrongChecksum:
            return format("chybný kontrolní součet: očekáván %02X, přišel %02X", v.a, v.b);
        case Verdict::EndMissing:
            return format("chybí koncový bajt 16 (přišel %02X)", v.a);
        case Verdict::Incomplete:
            return format("neúplný rámec (rámec má %u B)", v.n);
        case Verdict::Dropped:
            return format("zahozeno %u B před počátečním bajtem", v.n);
        case Verdict::Trailing:
            return format("%u B navíc za rámcem", v.n);
        case Verdict::Timeout:
            return format("bez odpovědi do %u ms", v.n);
        case Verdict::LinkError:
            return linkErrorText(v.n);
        case Verdict::PortFailed:
            return "port nelze otevřít";
        case Verdict::Request:
        case Verdict::Retry:
            break;
    }
    return {};
}

}  // namespace

std::vector<ReceivedFrame> assembleReceived(std::span<const std::uint8_t> bytes) {
    std::vector<ReceivedFrame> frames;
    std::size_t pos = 0;
    bool afterFrame = false;
    while (pos < bytes.size()) {
        std::size_t junk = 0;
        while (pos + junk < bytes.size() && !isStartByte(bytes[pos + junk])) ++junk;
        if (junk > 0) {
            // Bytes behind a frame were read with it; any others the receiver dropped.
            const bool trailing = afterFrame && pos + junk == bytes.size();
            const Verdict code = trailing ? Verdict::Trailing : Verdict::Dropped;
            frames.push_back({pos, junk, verdict(code, static_cast<std::uint16_t>(junk))});
            pos += junk;
            continue;
        }
        std::size_t length = 0;
        const FrameVerdict v = frameAt(bytes.subspan(pos), length);
        frames.push_back({pos, length, v});
        pos += length;
        afterFrame = true;
    }
    return frames;
}

bool isErrorVerdict(const FrameVerdict& v) {
    if (v.late) return true;
    switch (v.code) {
        case Verdict::Request:
        case Verdict::Acknowledge:
        case Verdict::ShortPositive:
        case Verdict::VariableOk:
            return false;
        default:
            return true;
    }
}

std::string verdictText(const FrameVerdict& v, std::span<const std::uint8_t> bytes) {
    if (v.code == Verdict::Request) return describeSent(bytes);
    if (v.code == Verdict::Retry) return format("opakování %u ze 3: ", v.n) + describeSent(bytes);
    const std::string text = receivedText(v);
    return v.late ? "pozdě, po konci výměny: " + text : text;
}

std::string describeSent(std::span<const std::uint8_t> frame) {
    bool isShort = false;
    const auto user = sentUserData(frame, isShort);
    if (user.size() < 3) return "neznámý rámec";
    if (isShort) {
        if (user[1] == kPrefix && user[2] == kProbeApplication)
            return format("dotaz na adresu %u", user[0]);
        return "krátký rámec";
    }
    if (user.size() < 4) return "rámec bez požadavku";
    const std::uint8_t code = user[3];
    if (code != kRead && code != kWrite && code != kReadWrite)
        return format("neznámý požadavek %02X", code);
    return itemsText(user);
}

int sentFrameAddress(std::span<const std::uint8_t> frame) {
    bool isShort = false;
    const auto user = sentUserData(frame, isShort);
    return user.empty() ? -1 : user[0];
}

std::string requestKindName(std::uint8_t kind) {
    static const std::array<const char*, 7> names = {"KALU", "TEV",   "TEW",        "TEVW",
                                                     "MOKR", "sonda", "konfigurace"};
    return kind < names.size() ? names[kind] : "";
}

}  // namespace velor
