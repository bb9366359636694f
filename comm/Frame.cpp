#include "comm/Frame.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velor {

std::uint8_t Checksum8(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

std::uint8_t checksum8Complement(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint8_t>(0xFFu - Checksum8(bytes));
}

bool frameInPlace(std::span<std::uint8_t> buffer, std::int32_t& length, bool shortFrame) {
    const std::int32_t n = length;
    if (n < 0) return false;
    const std::size_t head = shortFrame ? 1 : 4;
    const std::size_t framed = static_cast<std::size_t>(n) + head + 2;
    if (framed > buffer.size()) return false;
    if (!shortFrame && n > kMaxVariableUserData) return false;

    std::memmove(buffer.data() + head, buffer.data(), static_cast<std::size_t>(n));
    if (shortFrame) {
        buffer[0] = kShortStart;
    } else {
        buffer[0] = kVariableStart;
        buffer[1] = static_cast<std::uint8_t>(n);
        buffer[2] = static_cast<std::uint8_t>(n);
        buffer[3] = kVariableStart;
    }
    buffer[head + n] = Checksum8(buffer.subspan(head, static_cast<std::size_t>(n)));
    buffer[head + n + 1] = kFrameEnd;
    length = static_cast<std::int32_t>(framed);
    return true;
}

int readAllWaiting(int waiting, ByteSource& source, std::span<std::uint8_t> buffer) {
    if (waiting <= 0) return 0;
    const int room = static_cast<int>(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF));
    const int taken = source.read(buffer.data(), std::min(waiting, room));
    if (waiting <= room) return std::clamp(taken, 0, room);

    // More is waiting than the buffer holds: drain the rest so that the next attempt starts
    // clean. Bounded by the count that was waiting.
    std::array<std::uint8_t, 512> scratch{};
    int surplus = waiting - room;
    while (surplus > 0) {
        const int got = source.read(scratch.data(), std::min<int>(surplus, scratch.size()));
        if (got <= 0) break;
        surplus -= got;
    }
    return -1;
}

ReceiveOutcome FrameReceiver::receive(int waiting, ByteSource& source,
                                      std::span<std::uint8_t> buffer, std::int32_t& length) {
    switch (ReceiveState) {
        case 0:
            return waitStart(waiting, source, buffer);
        case 1:
            return shortFrame(waiting, source, buffer);
        case 2:
            return header(waiting, source, buffer, length);
        case 3:
            return body(waiting, source, buffer, length);
        default:
            return ReceiveOutcome::Pending;
    }
}

ReceiveOutcome FrameReceiver::waitStart(int waiting, ByteSource& source,
                                        std::span<std::uint8_t> buffer) {
    // One byte per phase: bytes ahead of a start byte are dropped one at a time.
    if (waiting < 1 || buffer.empty()) return ReceiveOutcome::Pending;
    if (source.read(buffer.data(), 1) != 1) return ReceiveOutcome::Pending;
    switch (buffer[0]) {
        case kShortStart:
            ReceiveState = 1;
            break;
        case kVariableStart:
            ReceiveState = 2;
            break;
        case kAcknowledge:
            ReceiveState = 4;
            return ReceiveOutcome::Acknowledged;
        default:
            break;
    }
    return ReceiveOutcome::Pending;
}

ReceiveOutcome FrameReceiver::shortFrame(int waiting, ByteSource& source,
                                         std::span<std::uint8_t> buffer) {
    if (waiting < 5) return ReceiveOutcome::Pending;
    // The function code sits in the third byte; a read that came up short has no code to show.
    const int got = readAllWaiting(waiting, source, buffer);
    return got >= 5 ? ReceiveOutcome::ShortReply : ReceiveOutcome::WrongReply;
}

ReceiveOutcome FrameReceiver::header(int waiting, ByteSource& source,
                                     std::span<std::uint8_t> buffer, std::int32_t& length) {
    if (waiting < 3) return ReceiveOutcome::Pending;
    if (buffer.size() < 3 || source.read(buffer.data(), 3) != 3) return ReceiveOutcome::WrongReply;
    if (buffer[0] != buffer[1] || buffer[2] != kVariableStart) return ReceiveOutcome::WrongReply;
    length = buffer[0];
    ReceiveState = 3;
    return ReceiveOutcome::Pending;
}

ReceiveOutcome FrameReceiver::body(int waiting, ByteSource& source, std::span<std::uint8_t> buffer,
                                   std::int32_t& length) {
    if (length < 0 || length > kMaxVariableUserData) return ReceiveOutcome::WrongReply;
    const int need = length + 2;
    if (waiting < need) return ReceiveOutcome::Pending;
    const int got = readAllWaiting(waiting, source, buffer);
    // Only bytes that really arrived are checked.
    if (got < need) return ReceiveOutcome::WrongReply;
    const auto n = static_cast<std::size_t>(length);
    if (buffer[n] != Checksum8(buffer.first(n)) || buffer[n + 1] != kFrameEnd) {
        return ReceiveOutcome::WrongReply;
    }
    // The caller gets D4..DL: the address and the two protocol bytes are dropped.
    if (length > 3) std::memmove(buffer.data(), buffer.data() + 3, n - 3);
    length -= 3;
    return ReceiveOutcome::VariableReply;
}

}  // namespace velor
