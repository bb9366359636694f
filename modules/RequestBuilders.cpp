#include "modules/RequestBuilders.h"

#include <algorithm>

#include "comm/ModuleProtocol.h"
#include "config/ImageBuilder.h"
#include "config/ImageHead.h"

namespace velor {

namespace {

std::uint8_t AddressByte(std::int32_t address) {
    if (address < 0 || address > 255) throw AddressRangeError();
    return static_cast<std::uint8_t>(address);
}

void head(std::vector<std::uint8_t>& out, std::int32_t address, std::uint8_t app,
          std::uint8_t code) {
    out = {AddressByte(address), kPrefix, app, code};
}

void word(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// An item descriptor: area, start address (low byte first), byte count.
void item(std::vector<std::uint8_t>& out, std::uint8_t area, std::uint16_t start,
          std::size_t count) {
    out.push_back(area);
    word(out, start);
    out.push_back(static_cast<std::uint8_t>(count));
}

// TEW and TEVW: the whole answer read from 0 and one output word written at writeAt.
void readAndWriteWord(std::vector<std::uint8_t>& out, std::int32_t address, std::size_t answer,
                      std::uint16_t writeAt, std::uint16_t value) {
    head(out, address, kApplication, kReadWrite);
    item(out, kMonitorArea, kAnswerAt, answer);
    item(out, kMonitorArea, writeAt, 2);
    word(out, value);
}

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void putSaveTag(std::span<std::uint8_t> image, std::size_t offset) {
    image[offset] = 's';
    image[offset + 1] = 'a';
    image[offset + 2] = 'v';
    image[offset + 3] = 'e';
}

RequestData mokrRequest(const MonitorSource& src) {
    RequestData r{{}, "Komunikace - MOKR"};
    if (src.mokrWritePhase) {
        head(r.bytes, src.binaryAddress, kApplication, kReadWrite);
        item(r.bytes, kMonitorArea, kAnswerAt, kMokrStateBytes);
        item(r.bytes, kMonitorArea, kMokrOutputsAt, kPiggyCount);
        append(r.bytes, src.piggyOutputs);
        return r;
    }
    // Three blocks of counters of the selected input piggy, one per value set.
    const auto board = static_cast<std::uint16_t>(kMokrBoardStep * src.mokrInputPiggy);
    head(r.bytes, src.binaryAddress, kApplication, kRead);
    for (const std::uint16_t set : kMokrCountersAt)
        item(r.bytes, kMonitorArea, static_cast<std::uint16_t>(set + board), 2 * kBoardInputs);
    return r;
}

}  // namespace

RequestData monitorUserData(const MonitorSource& src) {
    RequestData r;
    switch (src.kind) {
        case RequestKind::Kalu:
            r.statusText = "Komunikace - KALU";
            head(r.bytes, src.analogAddress, kApplication, kReadWrite);
            item(r.bytes, kMonitorArea, kAnswerAt, kKaluAnswerBytes);
            item(r.bytes, kMonitorArea, kKaluOutputsAt, kKaluOutputs);
            for (std::int32_t v : src.kaluOutputs) r.bytes.push_back(static_cast<std::uint8_t>(v));
            return r;
        case RequestKind::Tev:
            r.statusText = "Komunikace - TEV";
            head(r.bytes, src.binaryAddress, kApplication, kRead);
            item(r.bytes, kMonitorArea, kAnswerAt, kTevAnswerBytes);
            return r;
        case RequestKind::Tew:
            r.statusText = "Komunikace - TEW";
            readAndWriteWord(r.bytes, src.binaryAddress, kTewAnswerBytes, kAnswerAt,
                             src.tewOutputs);
            return r;
        case RequestKind::Tevw:
            r.statusText = "Komunikace - TEVW";
            readAndWriteWord(r.bytes, src.binaryAddress, kTevwAnswerBytes, kTevwOutputsAt,
                             src.tevwOutputs);
            return r;
        case RequestKind::Mokr:
            return mokrRequest(src);
        case RequestKind::Probe:
            r.bytes = {AddressByte(src.scanAddress), kPrefix, kProbeApplication};
            return r;
        default:
            throw std::out_of_range("Range check error");
    }
}

ConfigTarget chooseConfigTarget(bool sendBinaryInputs, bool sendBinaryOutputs, bool sendMokr,
                                bool sendZepa) {
    if (sendBinaryInputs) return ConfigTarget::BinaryInputs;
    if (sendBinaryOutputs) return ConfigTarget::BinaryOutputs;
    if (sendMokr) return ConfigTarget::Mokr;
    if (sendZepa) return ConfigTarget::Zepa;
    return ConfigTarget::Kalu;
}

void prepareImage(std::span<std::uint8_t> image, std::uint16_t targetBaudIndex) {
    putSaveTag(image, kImageTagAt);
    image[kImageBaudCodeAt] = baudCodeFor(targetBaudIndex);
}

void prepareZepaImage(std::span<std::uint8_t> zepaImage, std::span<const std::uint8_t> binaryImage,
                      std::uint16_t targetBaudIndex) {
    zepaImage[0] = 2;
    zepaImage[1] = binaryImage[kImageDelayAt];
    if (targetBaudIndex < BaudCodes.size()) zepaImage[2] = BaudCodes[targetBaudIndex];
    zepaImage[3] = 2;
    zepaImage[4] = binaryImage[kImageTimeoutAt];  // communication time-out, low byte first
    zepaImage[5] = binaryImage[kImageTimeoutAt + 1];
    putSaveTag(zepaImage, 8);
    zepaImage[12] = 1;
    zepaImage[13] = 0x33;
    std::fill(zepaImage.begin() + 14, zepaImage.begin() + 22, std::uint8_t{0});
}

namespace {

ConfigBlock kaluBlock(bool secondHalf, std::int32_t address, std::uint16_t targetBaudIndex,
                      std::span<std::uint8_t> image) {
    ConfigBlock b;
    head(b.data.bytes, address, kApplication, kWrite);
    if (!secondHalf) {
        prepareImage(image, targetBaudIndex);
        b.data.statusText = "Konfigurace  KALU.1";
        item(b.data.bytes, kConfigArea, 0, kKaluFirstBlockBytes);
        append(b.data.bytes, image.subspan(0, kKaluFirstBlockBytes));
        b.kaluSecondHalf = true;
        return b;
    }
    b.data.statusText = "Konfigurace  KALU.2";
    constexpr std::size_t kSecondBlockBytes = kAnalogImageSize - kKaluFirstBlockBytes;
    item(b.data.bytes, kConfigArea, kKaluFirstBlockBytes, kSecondBlockBytes);
    append(b.data.bytes, image.subspan(kKaluFirstBlockBytes, kSecondBlockBytes));
    b.lastBlock = true;
    return b;
}

}  // namespace

ConfigBlock configUserData(ConfigTarget target, bool kaluSecondHalf, std::int32_t analogAddress,
                           std::int32_t binaryAddress, std::uint16_t targetBaudIndex,
                           const ConfigImages& images) {
    if (target == ConfigTarget::Kalu)
        return kaluBlock(kaluSecondHalf, analogAddress, targetBaudIndex, images.analog);

    ConfigBlock b;
    b.lastBlock = true;
    b.kaluSecondHalf = kaluSecondHalf;
    if (target == ConfigTarget::Zepa) {
        prepareZepaImage(images.zepa, images.binary, targetBaudIndex);
        b.data.statusText = "Konfigurace  ZEPA";
        head(b.data.bytes, binaryAddress, kZepaApplication, kWrite);
        item(b.data.bytes, kConfigArea, 0, kZepaBlockBytes);
        append(b.data.bytes, images.zepa.subspan(0, kZepaBlockBytes));
        return b;
    }
    prepareImage(images.binary, targetBaudIndex);
    head(b.data.bytes, binaryAddress, kApplication, kWrite);
    if (target == ConfigTarget::Mokr) {
        // The descriptor announces 232 bytes; the module gets exactly that many: the 136
        // bytes of the binary image, then zeros for the part the program holds no data for.
        b.data.statusText = "Konfigurace  MOKR";
        item(b.data.bytes, kConfigArea, 0, kMokrBlockBytes);
        append(b.data.bytes, images.binary.subspan(0, kBinaryImageSize));
        b.data.bytes.resize(8 + kMokrBlockBytes, 0);
        return b;
    }
    b.data.statusText =
        target == ConfigTarget::BinaryInputs ? "Konfigurace  TEVW" : "Konfigurace  TEW";
    item(b.data.bytes, kConfigArea, 0, kBinaryImageSize);
    append(b.data.bytes, images.binary.subspan(0, kBinaryImageSize));
    return b;
}

bool statusLineShowsError(const std::string& statusLine) {
    return statusLine.rfind("Chyba", 0) == 0;
}

}  // namespace velor
