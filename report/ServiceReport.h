#pragma once
// "Servisní protokol": what the report of one module holds, gathered without a window from the
// configuration, the last decoded answer, the link statistics and the write log. The window
// and velor-cli fill it the same way; ReportPdf draws it.

#include <QDateTime>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "comm/PortRecord.h"
#include "comm/RequestKind.h"
#include "comm/TrafficStats.h"
#include "config/ConfigState.h"
#include "modules/AnswerDecoder.h"

namespace velor {

// The key fields of one configured input (UTF-8).
struct ReportInput {
    std::string name;
    std::string sensor;  // KALU: the sensor type; binary: empty
    std::string range;   // KALU: "low .. high"; binary: empty
    std::string filter;  // KALU: the filter constant; binary: "L 3 / H 5"
};

// One value as the unit window shows it.
struct ReportValue {
    std::string name;
    std::string value;
};

struct ReportLink {
    std::uint32_t requests = 0;
    std::uint32_t answers = 0;
    std::uint32_t timeouts = 0;
    std::uint32_t checksumErrors = 0;
    std::uint32_t negative = 0;
    std::optional<int> p95Ms;  // none without an answer
};

struct ServiceReport {
    QDateTime time;
    std::string technician;
    std::string workstation;
    std::string port;  // portSettingsText()
    int address = 0;
    RequestKind kind = RequestKind::Kalu;
    std::string configFile;
    std::string configChecksum;
    std::vector<ReportInput> inputs;
    std::vector<ReportValue> values;  // empty: no answer yet
    ReportLink link;
    std::vector<std::string> writes;  // lines of the write log of this session
    std::string note;
};

// The configuration the report names for a unit kind: the analog one for KALU, the binary one
// for the others. board: the MOKR input board whose eight inputs are listed.
std::string reportConfigFile(RequestKind kind, const ConfigState& config);
std::string reportConfigChecksum(RequestKind kind, const ConfigState& config);
std::vector<ReportInput> reportInputs(RequestKind kind, const ConfigState& config, int board);
// The module address a unit kind is polled at.
int reportAddress(RequestKind kind, const ConfigState& config);

// The values a decoded answer shows in the unit window, with the input names.
std::vector<ReportValue> reportValues(const DecodeResult& shown, const ConfigState& config,
                                      int board);
ReportLink reportLink(const TrafficStats& stats, int address);

// Only the lines of the write log that concern this address (" | adresa N ").
std::vector<std::string> writesOfAddress(const std::vector<std::string>& lines, int address);

// What the unit window of kind shows now, decoded again from the copies of the last answers
// that the decoder keeps; not decoded when no answer of kind came yet.
DecodeResult shownNow(RequestKind kind, const DecoderState& decoder,
                      const UnitSelections& selections, const ConfigState& config);

// Everything the program knows for the report of the module its unit window of kind watches.
struct ReportSources {
    RequestKind kind = RequestKind::Kalu;
    const ConfigState& config;
    const DecoderState& decoder;
    const UnitSelections& selections;
    const PortRecord& port;
    std::uint16_t tcpPort = 0;
    const TrafficStats* stats = nullptr;     // null: nothing was counted
    const std::vector<std::string>& writes;  // the write log's lines of this session
};
// The report as far as the program fills it; technician and note are the user's.
ServiceReport gatherReport(const ReportSources& from, const QDateTime& now);

// "protokol-KALU-1-20260314-0926.pdf".
std::string reportFileName(RequestKind kind, int address, const QDateTime& time);

// The name of this computer.
std::string workstationName();

}  // namespace velor
