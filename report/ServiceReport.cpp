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

constexpr int kBinaryBoardInputs = 8;

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

int inputCountOf(RequestKind kind) {
    switch (kind) {
        case RequestKind::Tev:
            return 16;
        case RequestKind::Tevw:
        case RequestKind::Mokr:
            return kBinaryBoardInputs;
        default:
            return 0;
    }
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
    const int first = kind == RequestKind::Mokr ? kBinaryBoardInputs * board : 0;
    const auto& inputs = config.BinaryConfig.Inputs;
    for (int n = 1; n <= inputCountOf(kind); ++n) {
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

std::string reportFileName(RequestKind kind, int address, const QDateTime& time) {
    return "protokol-" + requestKindName(static_cast<std::uint8_t>(kind)) + "-" +
           std::to_string(address) + "-" +
           time.toString(QStringLiteral("yyyyMMdd-HHmm")).toStdString() + ".pdf";
}

std::string workstationName() {
    return QSysInfo::machineHostName().toStdString();
}

}  // namespace velor
