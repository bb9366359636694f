#include "report/ServiceReport.h"

#include <QSysInfo>
#include <algorithm>
#include <cctype>
#include <iterator>

#include "comm/TrafficFrames.h"
#include "config/ConfigFiles.h"
#include "modules/WriteLog.h"
#include "ui/Cp1250.h"
#include "ui/NumberText.h"

namespace velor {

namespace {

std::string trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string nameOf(const std::string& cp1250, int n) {
    const std::string name = trimmed(cp1250ToUtf8(cp1250));
    return name.empty() ? "Vstup " + std::to_string(n) : name;
}

std::string number(float value) {
    return FloatToText(value);
}

std::vector<ReportInput> kaluInputs(const ConfigState& config) {
    std::vector<ReportInput> rows;
    for (std::size_t i = 0; i < config.AnalogConfig.Inputs.size(); ++i) {
        const AnalogInput& in = config.AnalogConfig.Inputs[i];
        rows.push_back({nameOf(in.Name, static_cast<int>(i)), trimmed(cp1250ToUtf8(in.SensorName)),
                        number(in.LowLimit) + " .. " + number(in.HighLimit),
                        std::to_string(in.FilterConstant & 0xFFFF)});
    }
    return rows;
}

}  // namespace

std::string reportConfigFile(RequestKind kind, const ConfigState& config) {
    if (kind == RequestKind::Kalu)
        return cp1250ToUtf8(config.AnalogDirectory + config.AnalogFileName);
    return cp1250ToUtf8(config.BinaryDirectory + config.BinaryFileName);
}

std::string reportConfigChecksum(RequestKind kind, const ConfigState& config) {
    const std::vector<std::uint8_t> file =
        kind == RequestKind::Kalu ? encodeAnalogFile(config) : encodeBinaryFile(config);
    return blockChecksumText(file);
}

std::vector<ReportInput> reportInputs(RequestKind kind, const ConfigState& config, int board) {
    if (kind == RequestKind::Kalu) return kaluInputs(config);
    std::vector<ReportInput> rows;
    const int first = firstBinaryInput(kind, board);
    const auto& inputs = config.BinaryConfig.Inputs;
    for (int n = 1; n <= binaryInputCount(kind); ++n) {
        const auto index = static_cast<std::size_t>(first + n - 1);
        if (index >= inputs.size()) break;
        const BinaryInput& in = inputs[index];
        rows.push_back({nameOf(in.Name, n),
                        {},
                        {},
                        "L " + std::to_string(in.FilterL) + " / H " + std::to_string(in.FilterH)});
    }
    return rows;
}

int reportAddress(RequestKind kind, const ConfigState& config) {
    return kind == RequestKind::Kalu ? config.AnalogConfig.ModuleAddress
                                     : config.BinaryConfig.ModuleAddress;
}

std::vector<ReportValue> reportValues(const DecodeResult& shown, const ConfigState& config,
                                      int board) {
    std::vector<ReportValue> values;
    if (!shown.decoded) return values;
    if (shown.kind == RequestKind::Kalu) {
        const std::vector<ReportInput> inputs = kaluInputs(config);
        for (std::size_t i = 0; i < shown.kalu.values.size(); ++i)
            values.push_back({inputs[i].name, shown.kalu.values[i]});
        return values;
    }
    const BinaryView& v = shown.binary;
    if (shown.kind == RequestKind::Tew) {
        for (int n = 0; n < v.outputCount; ++n) {
            const bool on = v.outputFonts[static_cast<std::size_t>(n)] == UnitColour::Active;
            values.push_back({"Y " + std::to_string(n), on ? "sepnuto" : "vypnuto"});
        }
        return values;
    }
    const std::vector<ReportInput> inputs = reportInputs(shown.kind, config, board);
    for (int n = 0; n < v.inputCount; ++n) {
        const auto i = static_cast<std::size_t>(n);
        const bool on = v.colours[i] == UnitColour::Active;
        const std::string name =
            i < inputs.size() ? inputs[i].name : "Vstup " + std::to_string(n + 1);
        values.push_back({name, v.texts[i] + (on ? "  (sepnuto)" : "  (vypnuto)")});
    }
    return values;
}

ReportLink reportLink(const TrafficStats& stats, int address) {
    ReportLink link;
    const auto it = stats.addresses().find(address);
    if (it == stats.addresses().end()) return link;
    const AddressStats& s = it->second;
    link.requests = s.requests;
    link.answers = s.answered;
    link.timeouts = s.timeouts;
    link.checksumErrors = s.received[static_cast<std::size_t>(Verdict::WrongChecksum)];
    for (std::uint32_t n : s.negative) link.negative += n;
    if (s.times.count() > 0) link.p95Ms = s.times.percentile(95);
    return link;
}

std::vector<std::string> writesOfAddress(const std::vector<std::string>& lines, int address) {
    const std::string mark = " | adresa " + std::to_string(address) + " ";
    std::vector<std::string> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [&](const std::string& line) { return line.find(mark) != std::string::npos; });
    return out;
}

DecodeResult shownNow(RequestKind kind, const DecoderState& decoder,
                      const UnitSelections& selections, const ConfigState& config) {
    if (kind > RequestKind::Mokr || !decoder.Decoded[static_cast<std::size_t>(kind)]) return {};
    const KaluFormats formats = kaluFormatsOf(config.AnalogConfig);
    if (kind == RequestKind::Kalu) {
        // The values as shown, offset included: decoding them again would add it twice.
        DecodeResult r;
        r.decoded = true;
        for (std::size_t i = 0; i < r.kalu.values.size(); ++i)
            r.kalu.values[i] = valueText(decoder.KaluValues[i], formats[i].Decimals);
        return r;
    }
    std::vector<std::uint8_t> answer;
    const auto words = [&answer](std::span<const std::uint16_t> w) {
        for (std::uint16_t v : w)
            answer.insert(answer.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    if (kind == RequestKind::Tev) words(decoder.TevAnswer);
    if (kind == RequestKind::Tevw) words(decoder.TevwAnswer);
    if (kind == RequestKind::Tew) words(std::span<const std::uint16_t>(&decoder.TewReadback, 1));
    UnitSelections sel = selections;  // the copies: the program's state stays as it is
    DecoderState st = decoder;
    if (kind == RequestKind::Mokr) {
        // The counters' phase decodes the whole image the window shows.
        sel.MokrWritePhase = false;
        answer.assign(decoder.MokrImage.begin() + kMokrStateBytes, decoder.MokrImage.end());
    }
    return DecodeAnswer(kind, answer, formats, {}, sel, st);
}

ServiceReport gatherReport(const ReportSources& from, const QDateTime& now) {
    ServiceReport r;
    const RequestKind kind = from.kind;
    const int board = from.selections.MokrInputPiggy;
    r.time = now;
    r.technician = currentUserName();
    r.workstation = workstationName();
    r.port = portSettingsText(from.port, from.tcpPort);
    r.address = reportAddress(kind, from.config);
    r.kind = kind;
    r.configFile = reportConfigFile(kind, from.config);
    r.configChecksum = reportConfigChecksum(kind, from.config);
    r.inputs = reportInputs(kind, from.config, board);
    r.values = reportValues(shownNow(kind, from.decoder, from.selections, from.config), from.config,
                            board);
    if (from.stats != nullptr) r.link = reportLink(*from.stats, r.address);
    r.writes = writesOfAddress(from.writes, r.address);
    return r;
}

std::string reportFileName(RequestKind kind, int address, const QDateTime& time) {
    return "protokol-" + requestKindName(static_cast<std::uint8_t>(kind)) + "-" +
           std::to_string(address) + "-" +
           time.toString(QStringLiteral("yyyyMMdd-HHmm")).toStdString() + ".pdf";
}

std::string workstationName() {
    return QSysInfo::machineHostName().toStdString();
}

}  // namespace velor
