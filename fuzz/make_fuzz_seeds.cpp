// Writes the seed inputs of the fuzz targets into <directory>/<target>/: valid frames, files and
// records made by the codecs themselves, so that every decoder is reached from the first input
// and the seeds stay valid when a format changes.
//   make_fuzz_seeds <directory>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm/ComConfig.h"
#include "comm/Frame.h"
#include "comm/PortRecord.h"
#include "config/ConfigFields.h"
#include "config/ConfigFiles.h"
#include "config/SensorTable.h"
#include "modules/AnswerDecoder.h"

using namespace velor;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::filesystem::path root;

void write(const std::string& target, const std::string& name, const Bytes& bytes) {
    const std::filesystem::path dir = root / target;
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (dir / name).string());
}

Bytes framed(Bytes userData, bool shortFrame) {
    auto length = static_cast<std::int32_t>(userData.size());
    userData.resize(userData.size() + 6);
    if (!frameInPlace(userData, length, shortFrame)) throw std::runtime_error("frame too long");
    userData.resize(static_cast<std::size_t>(length));
    return userData;
}

// A reply of the module at address 5: control byte, address, CI, then n data bytes.
Bytes variableReply(std::size_t n) {
    Bytes data{0x08, 0x05, 0x72};
    for (std::size_t i = 0; i < n; ++i) data.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    return framed(data, false);
}

// Receiver input: buffer size / 4, seed of the arrival portions, then the stream.
Bytes stream(std::uint8_t capacityQuarter, std::uint8_t seed, std::initializer_list<Bytes> parts) {
    Bytes out{capacityQuarter, seed};
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

void frameSeeds() {
    const std::string t = "fuzz_frame_receiver";
    const Bytes ack{kAcknowledge};
    const Bytes shortReply = framed({0x08, 0x05, 0x33}, true);
    write(t, "acknowledge", stream(0xFF, 1, {ack}));
    write(t, "short", stream(0xFF, 2, {shortReply}));
    write(t, "variable_empty", stream(0xFF, 3, {variableReply(0)}));
    write(t, "variable_16", stream(0xFF, 4, {variableReply(16)}));
    write(t, "variable_max", stream(0xFF, 5, {variableReply(kMaxVariableUserData - 3)}));
    // A reply longer than the buffer it arrives in.
    write(t, "variable_overflow", stream(0x08, 6, {variableReply(64)}));
    write(t, "mixed",
          stream(0x40, 7, {{0x00, 0xFF}, variableReply(8), ack, shortReply, variableReply(40)}));
}

Bytes withSelector(std::uint8_t selector, const Bytes& file) {
    Bytes out{selector};
    out.insert(out.end(), file.begin(), file.end());
    return out;
}

void configSeeds() {
    const std::string t = "fuzz_config_files";
    ConfigState s;
    InitAnalogConfig(s);
    InitBinaryConfig(s);
    importSensorTableFrom(s.SensorTable, s.SensorLastIndex, std::nullopt);
    // Selector: bit 0 the file kind, the rest the baud index.
    write(t, "analog_default", withSelector(3 << 1, encodeAnalogFile(s)));
    write(t, "binary_default", withSelector(3 << 1 | 1, encodeBinaryFile(s)));

    // Variant 12 with temperature sensors of the built-in table, and one sensor it lacks.
    s.AnalogConfig.Variant = 1;
    for (std::size_t i = 0; i < s.AnalogConfig.Inputs.size(); ++i) {
        AnalogInput& in = s.AnalogConfig.Inputs[i];
        in.SensorIndex = static_cast<std::int32_t>(23 + 3 * i);
        in.SensorName = s.SensorTable[static_cast<std::size_t>(in.SensorIndex)].Name;
        in.Decimals = static_cast<std::int32_t>(i % 4);
        in.ZeroSuppression = 0.5f;
    }
    s.AnalogConfig.Inputs[11].SensorName = "PT1000 special";
    write(t, "analog_sensors", withSelector(4 << 1, encodeAnalogFile(s)));

    for (std::size_t i = 0; i < s.BinaryConfig.Inputs.size(); ++i) {
        s.BinaryConfig.Inputs[i].FilterL = static_cast<std::int32_t>(i);
        s.BinaryConfig.Inputs[i].FilterH = static_cast<std::int32_t>(300 - i);
    }
    write(t, "binary_filters", withSelector(0 << 1 | 1, encodeBinaryFile(s)));
}

Bytes comConfig(const PortRecord& ch1, const PortRecord& ch2) {
    Bytes out(kComConfigSize);
    encodePortRecord(ch1, std::span(out).first(kPortRecordSize));
    encodePortRecord(ch2, std::span(out).subspan(kPortRecordSize));
    return out;
}

void comConfigSeeds() {
    PortRecord tcp;
    setDefaultPortRecord(tcp);
    setTcpHost(tcp, "127.0.0.1");
    PortRecord serial;
    setDefaultPortRecord(serial);
    serial.PortNumber = 3;
    serial.BaudIndex = 4;
    serial.NoParity = 1;
    write("fuzz_com_config", "tcp_default", comConfig(tcp, tcp));
    write("fuzz_com_config", "serial_com3", comConfig(serial, tcp));
}

void trafficFrameSeeds() {
    const std::string t = "fuzz_traffic_frames";
    write(t, "acknowledge", {kAcknowledge});
    write(t, "short", framed({0x08, 0x05, 0x09}, true));
    write(t, "variable_48", variableReply(48));
    write(t, "probe", framed({0x05, 0x40, 0x69}, true));
    write(t, "read_request", framed({0x05, 0x40, 0x6C, 0x0D, 0x02, 0x00, 0x00, 0x30}, false));
    Bytes mixed{0x00, 0xFF};
    for (const Bytes& part : {variableReply(8), Bytes{kAcknowledge}, variableReply(2)})
        mixed.insert(mixed.end(), part.begin(), part.end());
    mixed.push_back(0x68);
    write(t, "mixed", mixed);
}

// Tap input: op 0 written, 1 read (a length byte, then the bytes), 2 attempt started (kind,
// attempt), 3 attempt ended (kind, address + 1, attempt, result, status, reply code,
// time-out / 10), 4 0xFF clear.
Bytes tapEvents(std::initializer_list<Bytes> events) {
    Bytes out;
    for (const Bytes& e : events) out.insert(out.end(), e.begin(), e.end());
    return out;
}

Bytes chunk(std::uint8_t op, const Bytes& bytes) {
    Bytes out{op, static_cast<std::uint8_t>(bytes.size())};
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

void trafficTapSeeds() {
    const std::string t = "fuzz_traffic_tap";
    const Bytes request = framed({0x05, 0x40, 0x6C, 0x0D, 0x02, 0x00, 0x00, 0x30}, false);
    const Bytes reply = variableReply(16);
    const Bytes start{2, 0, 1};
    const Bytes good{3, 0, 6, 0, 0, 2, 0, 20};
    const Bytes timeout{3, 0, 6, 0, 0xFF, 1, 0, 20};
    write(t, "exchange", tapEvents({start, chunk(0, request), chunk(1, reply), good}));
    write(t, "retry_and_late",
          tapEvents({start, chunk(0, request), timeout, chunk(1, reply), Bytes{2, 0, 2},
                     chunk(0, request), chunk(1, Bytes(reply.begin(), reply.begin() + 5)),
                     chunk(1, Bytes(reply.begin() + 5, reply.end())), good, Bytes{4, 0xFF}}));
    write(t, "not_sent", tapEvents({start, Bytes{3, 0, 6, 0, 1, 3, 0, 20}}));
}

// Decoder input: kind, value sets and flags, MOKR boards, layout flag, KALU decimals and
// offset, two bytes of an output text, then the answer.
void answerDecoderSeeds() {
    const std::string t = "fuzz_answer_decoder";
    const char* const names[] = {"kalu", "tev", "tew", "tevw", "mokr_counters", "mokr_states"};
    for (int i = 0; i < 6; ++i) {
        const int kind = i < 5 ? i : 4;
        const bool writePhase = i == 5;
        Bytes out{static_cast<std::uint8_t>(kind),
                  static_cast<std::uint8_t>(writePhase ? 0x95 : 0x15),
                  2,
                  1,
                  2,
                  4,
                  '1',
                  '5'};
        const std::size_t n =
            std::max<std::size_t>(answerLayoutSize(static_cast<RequestKind>(kind), writePhase), 48);
        for (std::size_t b = 0; b < n; ++b) out.push_back(static_cast<std::uint8_t>(b * 13 + 7));
        write(t, names[i], out);
    }
}

// The JSON form as show --json prints it: the default files, and a changed analog one.
void jsonSeeds() {
    const std::string t = "fuzz_config_json";
    const auto bytesOf = [](const std::string& text) { return Bytes(text.begin(), text.end()); };
    write(t, "analog_default",
          bytesOf(configFileToJson(defaultConfigFile(ConfigFileKind::Analog))));
    write(t, "binary_default",
          bytesOf(configFileToJson(defaultConfigFile(ConfigFileKind::Binary))));
    write(t, "comcfg_default",
          bytesOf(configFileToJson(defaultConfigFile(ConfigFileKind::ComConfig))));
    ConfigFileData changed = defaultConfigFile(ConfigFileKind::Analog);
    changed.config.AnalogConfig.ModuleAddress = 17;
    changed.config.AnalogConfig.Inputs[3].Name = "Teplota \x9A\xE8";  // code page 1250
    changed.config.AnalogImage.A[2] = -1.5e-7f;
    write(t, "analog_changed", bytesOf(configFileToJson(changed)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <directory>\n");
        return 2;
    }
    root = argv[1];
    try {
        frameSeeds();
        configSeeds();
        comConfigSeeds();
        trafficFrameSeeds();
        trafficTapSeeds();
        answerDecoderSeeds();
        jsonSeeds();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
