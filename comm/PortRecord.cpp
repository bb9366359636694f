#include "comm/PortRecord.h"

#include <algorithm>

#include "comm/ByteCodec.h"

namespace velor {

namespace {

template <std::size_t N>
void copyOut(std::span<const std::uint8_t> bytes, std::size_t off,
             std::array<std::uint8_t, N>& to) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(off), N, to.begin());
}

template <std::size_t N>
void copyIn(const std::array<std::uint8_t, N>& from, std::span<std::uint8_t> bytes,
            std::size_t off) {
    std::copy(from.begin(), from.end(), bytes.begin() + static_cast<std::ptrdiff_t>(off));
}

}  // namespace

std::uint32_t baudRateAt(unsigned index) {
    if (index >= BaudRates.size()) return 0;
    return BaudRates[index];
}

PortRecord decodePortRecord(std::span<const std::uint8_t> bytes) {
    bytes = bytes.first(kPortRecordSize);
    PortRecord r;
    r.PortNumber = codec::getU8(bytes, kOffPortNumber);
    r.Unnamed = codec::getU8(bytes, kOffUnnamed);
    r.BaudIndex = codec::getU16(bytes, kOffBaudIndex);
    r.IgnoreLineErrors = codec::getU8(bytes, kOffIgnoreLineErrors);
    r.NoParity = codec::getU8(bytes, kOffNoParity);
    copyOut(bytes, kOffPadding, r.Padding);
    r.Handle = codec::getI32(bytes, kOffHandle);
    copyOut(bytes, kOffText1, r.Text1);
    copyOut(bytes, kOffText2, r.Text2);
    copyOut(bytes, kOffTcpHost, r.TcpHost);
    return r;
}

void encodePortRecord(const PortRecord& r, std::span<std::uint8_t> out) {
    out = out.first(kPortRecordSize);
    codec::putU8(out, kOffPortNumber, r.PortNumber);
    codec::putU8(out, kOffUnnamed, r.Unnamed);
    codec::putU16(out, kOffBaudIndex, r.BaudIndex);
    codec::putU8(out, kOffIgnoreLineErrors, r.IgnoreLineErrors);
    codec::putU8(out, kOffNoParity, r.NoParity);
    copyIn(r.Padding, out, kOffPadding);
    codec::putI32(out, kOffHandle, r.Handle);
    copyIn(r.Text1, out, kOffText1);
    copyIn(r.Text2, out, kOffText2);
    copyIn(r.TcpHost, out, kOffTcpHost);
}

std::string getTcpHost(const PortRecord& record) {
    return codec::getShortText(record.TcpHost, 0, kTcpHostMaxChars);
}

void setTcpHost(PortRecord& record, const std::string& host) {
    codec::putShortText(record.TcpHost, 0, kTcpHostMaxChars, host);
}

void setDefaultPortRecord(PortRecord& record) {
    record.PortNumber = 0;
    record.Unnamed = 4;
    record.BaudIndex = 3;
    record.IgnoreLineErrors = 0;
    record.NoParity = 0;
    record.Handle = -1;
    // An empty text is a zero length byte; the characters behind it are undefined.
    record.Text1[0] = 0;
    record.Text2[0] = 0;
}

}  // namespace velor
