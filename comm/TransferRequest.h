#pragma once
// One exchange with a module as the caller describes it to the transfer engine: the channel,
// a step program of up to 20 steps, the caller's data buffer and the outcome fields that the
// caller polls.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace velor {

inline constexpr std::size_t kBufferSize = 5000;
inline constexpr int kMaxSteps = 20;

// Status of a request.
inline constexpr std::uint8_t kStatusIdle = 0;
inline constexpr std::uint8_t kStatusRunning = 1;
inline constexpr std::uint8_t kStatusDone = 2;
inline constexpr std::uint8_t kStatusFailed = 3;
inline constexpr std::uint8_t kStatusPortUnusable = 4;
inline constexpr std::uint8_t kStatusQueued = 5;

// Step opcodes.
inline constexpr std::uint8_t kOpReceiveByte = 0;
inline constexpr std::uint8_t kOpSendByte = 1;
inline constexpr std::uint8_t kOpReceiveBlock = 2;
inline constexpr std::uint8_t kOpSendBlock = 3;
inline constexpr std::uint8_t kOpWait = 4;
inline constexpr std::uint8_t kOpSendByteQueued = 5;
inline constexpr std::uint8_t kOpEnd = 6;
inline constexpr std::uint8_t kOpSendFrame = 7;
inline constexpr std::uint8_t kOpReceiveFrame = 8;

struct TransferStep {
    std::uint8_t Opcode = 0;
    std::uint8_t Operand = 0;
    std::uint16_t TimeoutMs = 0;
};

struct TransferRequest {
    std::int32_t Channel = 1;
    std::array<TransferStep, kMaxSteps> Steps{};
    std::uint8_t Status = kStatusIdle;
    std::uint8_t ReplyCode = 0;
    // Caller-owned data area; the engine never uses more than kBufferSize bytes of it.
    std::span<std::uint8_t> Buffer;
    std::int32_t Length = 0;
    // Set by the engine: the reply was the single acknowledgement 0xE5, so Buffer holds no
    // answer data (Length is still that of the framed request). A caller that expects data
    // must not read the request's own bytes as an answer.
    bool Acknowledged = false;

    // Steps and buffer positions count from 1; both are checked.
    TransferStep& step(int index) { return Steps.at(static_cast<std::size_t>(index - 1)); }
    const TransferStep& step(int index) const {
        return Steps.at(static_cast<std::size_t>(index - 1));
    }
    std::uint8_t& at(int position) {
        if (position < 1 || static_cast<std::size_t>(position) > data().size()) {
            throw std::out_of_range("TransferRequest buffer position");
        }
        return Buffer[static_cast<std::size_t>(position - 1)];
    }
    // The usable part of Buffer.
    std::span<std::uint8_t> data() const {
        return Buffer.first(std::min(Buffer.size(), kBufferSize));
    }
};

}  // namespace velor
