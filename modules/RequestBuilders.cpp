#include "modules/RequestBuilders.h"

#include <algorithm>

#include "comm/ModuleProtocol.h"
#include "config/ImageBuilder.h"

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

// An item descriptor: area, start address (low byte first), byte count.
void item(std::vector<std::uint8_t>& out, std::uint8_t area, std::uint16_t start,
          std::uint8_t count) {
    out.push_back(area);
    out.push_back(static_cast<std::uint8_t>(start & 0xFF));
    out.push_back(static_cast<std::uint8_t>(start >> 8));
    out.push_back(count);
}

void word(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
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
        item(r.bytes, kMonitorArea, 0x0000, 0x10);
        item(r.bytes, kMonitorArea, 0x0190, 0x08);
        append(r.bytes, src.piggyOutputs);
        return r;
    }
    // Three blocks of counters of the selected input piggy, one per value set.
    const auto k = static_cast<std::uint16_t>(16 * src.mokrInputPiggy);
    head(r.bytes, src.binaryAddress, kApplication, kRead);
    item(r.bytes, kMonitorArea, static_cast<std::uint16_t>(k + 16), 0x10);
    item(r.bytes, kMonitorArea, static_cast<std::uint16_t>(k + 144), 0x10);
    item(r.bytes, kMonitorArea, static_cast<std::uint16_t>(k + 272), 0x10);
    return r;
}

}  // namespace

RequestData monitorUserData(const MonitorSource& src) {
    RequestData r;
    switch (src.kind) {
        case RequestKind::Kalu:
            r.statusText = "Komunikace - KALU";
            head(r.bytes, src.analogAddress, kApplication, kReadWrite);
            item(r.bytes, kMonitorArea, 0x0000, 0x30);
            item(r.bytes, kMonitorArea, 0x0030, 0x06);
            for (std::int32_t v : src.kaluOutputs) r.bytes.push_back(static_cast<std::uint8_t>(v));
            return r;
        case RequestKind::Tev:
            r.statusText = "Komunikace - TEV";
            head(r.bytes, src.binaryAddress, kApplication, kRead);
            item(r.bytes, kMonitorArea, 0x0000, 0x64);
            return r;
        case RequestKind::Tew:
            r.statusText = "Komunikace - TEW";
            head(r.bytes, src.binaryAddress, kApplication, kReadWrite);
            item(r.bytes, kMonitorArea, 0x0000, 0x02);
            item(r.bytes, kMonitorArea, 0x0000, 0x02);
            word(r.bytes, src.tewOutputs);
            return r;
        case RequestKind::Tevw:
            r.statusText = "Komunikace - TEVW";
            head(r.bytes, src.binaryAddress, kApplication, kReadWrite);
            item(r.bytes, kMonitorArea, 0x0000, 0x66);
            item(r.bytes, kMonitorArea, 0x0004, 0x02);
            word(r.bytes, src.tevwOutputs);
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

void prepareAnalogImage(std::span<std::uint8_t> analogImage, std::uint16_t targetBaudIndex) {
    putSaveTag(analogImage, 4);
    analogImage[1] = baudCodeFor(targetBaudIndex);
}

void prepareBinaryImage(std::span<std::uint8_t> binaryImage, std::uint16_t targetBaudIndex) {
    putSaveTag(binaryImage, 4);
    binaryImage[1] = baudCodeFor(targetBaudIndex);
}

void prepareZepaImage(std::span<std::uint8_t> zepaImage, std::span<const std::uint8_t> binaryImage,
                      std::uint16_t targetBaudIndex) {
    zepaImage[0] = 2;
    zepaImage[1] = binaryImage[0];  // response delay
    if (targetBaudIndex < BaudCodes.size()) zepaImage[2] = BaudCodes[targetBaudIndex];
    zepaImage[3] = 2;
    zepaImage[4] = binaryImage[2];  // communication time-out, low byte first
    zepaImage[5] = binaryImage[3];
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
        prepareAnalogImage(image, targetBaudIndex);
        b.data.statusText = "Konfigurace  KALU.1";
        item(b.data.bytes, kConfigArea, 0x0000, 0x80);
        append(b.data.bytes, image.subspan(0, 128));
        b.kaluSecondHalf = true;
        return b;
    }
    b.data.statusText = "Konfigurace  KALU.2";
    item(b.data.bytes, kConfigArea, 0x0080, 0xC0);
    append(b.data.bytes, image.subspan(128, 192));
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
        item(b.data.bytes, kConfigArea, 0x0000, 0x0A);
        append(b.data.bytes, images.zepa.subspan(0, 10));
        return b;
    }
    prepareBinaryImage(images.binary, targetBaudIndex);
    head(b.data.bytes, binaryAddress, kApplication, kWrite);
    if (target == ConfigTarget::Mokr) {
        // The descriptor announces 232 bytes; the module gets exactly that many: the 136
        // bytes of the binary image, then zeros for the part the program holds no data for.
        b.data.statusText = "Konfigurace  MOKR";
        item(b.data.bytes, kConfigArea, 0x0000, static_cast<std::uint8_t>(kMokrBlockBytes));
        append(b.data.bytes, images.binary.subspan(0, kBinaryImageSize));
        b.data.bytes.resize(8 + kMokrBlockBytes, 0);
        return b;
    }
    b.data.statusText =
        target == ConfigTarget::BinaryInputs ? "Konfigurace  TEVW" : "Konfigurace  TEW";
    item(b.data.bytes, kConfigArea, 0x0000, 0x88);
    append(b.data.bytes, images.binary.subspan(0, kBinaryImageSize));
    return b;
}

bool statusLineShowsError(const std::string& statusLine) {
    return statusLine.rfind("Chyba", 0) == 0;
}

}  // namespace velor
