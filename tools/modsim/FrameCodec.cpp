#include "tools/modsim/FrameCodec.h"

#include <algorithm>

namespace velor::modsim {

std::uint8_t checksum8(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint8_t>(sum & 0xFF);
}

Bytes buildVariableFrame(std::span<const std::uint8_t> userData) {
    if (userData.size() > kMaxUserData) return {};
    const auto n = static_cast<std::uint8_t>(userData.size());
    Bytes frame{kVariableStart, n, n, kVariableStart};
    frame.insert(frame.end(), userData.begin(), userData.end());
    frame.push_back(checksum8(userData));
    frame.push_back(kEndByte);
    return frame;
}

Bytes buildShortFrame(std::span<const std::uint8_t> userData) {
    Bytes frame;
    frame.reserve(userData.size() + 3);
    frame.push_back(kShortStart);
    frame.insert(frame.end(), userData.begin(), userData.end());
    frame.push_back(checksum8(userData));
    frame.push_back(kEndByte);
    return frame;
}

Bytes buildNegativeReply(std::uint8_t address, std::uint8_t functionCode) {
    const std::uint8_t user[] = {address, 0x40, functionCode};
    return buildShortFrame(user);
}

std::vector<ParsedItem> FrameParser::feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs) {
    std::vector<ParsedItem> out;
    if (!buffer_.empty() && nowMs - lastFeedMs_ > kStaleMs) {
        drop(buffer_.size(), "incomplete frame timed out", out);
    }
    lastFeedMs_ = nowMs;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    while (!buffer_.empty() && parseOne(out) == Step::Progress) {
    }
    return out;
}

FrameParser::Step FrameParser::parseOne(std::vector<ParsedItem>& out) {
    const std::uint8_t first = buffer_.front();
    if (first == kShortStart) return parseShort(out);
    if (first == kVariableStart) return parseVariable(out);
    const auto it = std::find_if(buffer_.begin(), buffer_.end(), [](std::uint8_t b) {
        return b == kShortStart || b == kVariableStart;
    });
    drop(static_cast<std::size_t>(it - buffer_.begin()), "no start byte", out);
    return Step::Progress;
}

FrameParser::Step FrameParser::parseShort(std::vector<ParsedItem>& out) {
    if (buffer_.size() < kShortFrameSize) return Step::NeedMore;
    const std::span<const std::uint8_t> user(buffer_.data() + 1, 3);
    if (buffer_[4] != checksum8(user) || buffer_[5] != kEndByte) {
        drop(1, "short frame with bad checksum or end byte", out);
        return Step::Progress;
    }
    Frame frame;
    frame.kind = Frame::Kind::Short;
    frame.userData.assign(user.begin(), user.end());
    frame.raw.assign(buffer_.begin(), buffer_.begin() + kShortFrameSize);
    buffer_.erase(buffer_.begin(), buffer_.begin() + kShortFrameSize);
    out.emplace_back(std::move(frame));
    return Step::Progress;
}

FrameParser::Step FrameParser::parseVariable(std::vector<ParsedItem>& out) {
    if (buffer_.size() < 4) return Step::NeedMore;
    if (buffer_[1] != buffer_[2] || buffer_[3] != kVariableStart) {
        drop(1, "variable frame with bad header", out);
        return Step::Progress;
    }
    const std::size_t n = buffer_[1];
    const std::size_t total = n + 6;
    if (buffer_.size() < total) return Step::NeedMore;
    const std::span<const std::uint8_t> user(buffer_.data() + 4, n);
    if (buffer_[4 + n] != checksum8(user)) {
        drop(1, "variable frame with bad checksum", out);
        return Step::Progress;
    }
    if (buffer_[5 + n] != kEndByte) {
        drop(1, "variable frame without end byte", out);
        return Step::Progress;
    }
    Frame frame;
    frame.kind = Frame::Kind::Variable;
    frame.userData.assign(user.begin(), user.end());
    frame.raw.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
    out.emplace_back(std::move(frame));
    return Step::Progress;
}

void FrameParser::drop(std::size_t count, const char* reason, std::vector<ParsedItem>& out) {
    count = std::min(count, buffer_.size());
    Dropped d;
    d.bytes.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    d.reason = reason;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    out.emplace_back(std::move(d));
}

std::string toHex(std::span<const std::uint8_t> bytes, bool spaced) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        if (spaced && !text.empty()) text.push_back(' ');
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool fromHex(std::string_view text, Bytes& out) {
    out.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        const int v = hexValue(c);
        if (v < 0) return false;
        if (high < 0) {
            high = v;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(high * 16 + v));
        high = -1;
    }
    return high < 0;
}

}  // namespace velor::modsim
