#include "comm/TrafficCapture.h"

#include "comm/ByteCodec.h"
#include "comm/FileStore.h"

namespace velor {

namespace {

constexpr std::uint32_t kSnapLength = 65535;

void putBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putLittle32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    const std::size_t at = out.size();
    out.resize(at + 4);
    codec::putU32(out, at, v);
}

void putLittle16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    const std::size_t at = out.size();
    out.resize(at + 2);
    codec::putU16(out, at, v);
}

}  // namespace

void appendPcapHeader(std::vector<std::uint8_t>& out) {
    putLittle32(out, kPcapMagic);
    putLittle16(out, 2);  // version 2.4
    putLittle16(out, 4);
    putLittle32(out, 0);  // time zone: the stamps are UTC
    putLittle32(out, 0);  // accuracy
    putLittle32(out, kSnapLength);
    putLittle32(out, kLinkTypeRtacSerial);
}

void appendPcapRecord(std::vector<std::uint8_t>& out, const CaptureFrame& frame) {
    if (frame.bytes.empty()) return;
    const auto seconds = static_cast<std::uint32_t>(frame.wallUs / 1'000'000);
    const auto micros = static_cast<std::uint32_t>(frame.wallUs % 1'000'000);
    const auto length = static_cast<std::uint32_t>(kRtacHeaderBytes + frame.bytes.size());
    putLittle32(out, seconds);
    putLittle32(out, micros);
    putLittle32(out, length);
    putLittle32(out, length);
    putBigEndian32(out, seconds);
    putBigEndian32(out, micros);
    out.push_back(frame.direction == Direction::Tx ? kRtacTxStart : kRtacRxStart);
    out.push_back(0);  // control lines: none known
    out.push_back(0);  // footer
    out.push_back(0);
    out.insert(out.end(), frame.bytes.begin(), frame.bytes.end());
}

std::vector<std::uint8_t> pcapOfFrames(const TrafficTap& tap, std::span<const std::uint64_t> seqs) {
    std::vector<std::uint8_t> out;
    appendPcapHeader(out);
    for (std::uint64_t seq : seqs) {
        const TrafficFrame* f = tap.frame(seq);
        if (f == nullptr) continue;
        appendPcapRecord(out, {f->direction, f->time.wallUs, tap.bytes(*f)});
    }
    return out;
}

bool CaptureWriter::open(const std::string& path) {
    close();
    error_.clear();
    buffer_.clear();
    std::vector<std::uint8_t> header;
    appendPcapHeader(header);
    if (const auto error = saveFileDurably(path, header)) {
        error_ = describeFileError(*error);
        return false;
    }
    file_.setFileName(QString::fromStdString(path));
    // Unbuffered: the bound is the one buffer between the frames and the file.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error_ = file_.errorString().toStdString();
        return false;
    }
    buffer_.reserve(bound_);
    return true;
}

bool CaptureWriter::append(const CaptureFrame& frame) {
    if (!file_.isOpen() || failed()) return false;
    appendPcapRecord(buffer_, frame);
    return buffer_.size() < bound_ || flush();
}

bool CaptureWriter::flush() {
    if (!file_.isOpen() || failed()) return false;
    const auto size = static_cast<qint64>(buffer_.size());
    if (size > 0 && file_.write(reinterpret_cast<const char*>(buffer_.data()), size) != size) {
        error_ = file_.errorString().toStdString();
        file_.close();
    }
    buffer_.clear();
    return !failed();
}

bool CaptureWriter::close() {
    if (!file_.isOpen()) return !failed();
    flush();
    file_.close();
    return !failed();
}

}  // namespace velor
