#include "recording/Recorder.h"

#include <cstdlib>

#include "comm/FileStore.h"
#include "config/ConfigFiles.h"
#include "modules/RequestBuilders.h"
#include "ui/Cp1250.h"

namespace velor {

namespace {

// The name as the configuration holds it, without the blanks that pad it; a blank name gets
// its number, as the inputs are numbered in the windows.
std::string inputTitle(const std::string& cp1250Name, const char* prefix, int number) {
    std::string name = cp1250ToUtf8(cp1250Name);
    const auto last = name.find_last_not_of(' ');
    name.erase(last == std::string::npos ? 0 : last + 1);
    const auto first = name.find_first_not_of(' ');
    name.erase(0, first == std::string::npos ? name.size() : first);
    return name.empty() ? prefix + std::to_string(number) : name;
}

const char* valueSetName(std::uint8_t set) {
    switch (set) {
        case kSetRisingEdge:
            return "Vzestupná hrana";
        case kSetFallingEdge:
            return "Sestupná hrana";
        default:
            return "Perioda pulzu";
    }
}

std::uint8_t shownSet(RequestKind kind, const UnitSelections& sel) {
    if (kind == RequestKind::Tev) return sel.TevInputSet;
    return kind == RequestKind::Tevw ? sel.TevwInputSet : sel.MokrInputSet;
}

}  // namespace

std::vector<std::string> recordedTitles(RequestKind kind, const ConfigState& config, int board) {
    std::vector<std::string> titles;
    if (kind == RequestKind::Kalu) {
        const auto& inputs = config.AnalogConfig.Inputs;
        for (std::size_t i = 0; i < inputs.size() && i < kKaluInputs; ++i)
            titles.push_back(inputTitle(inputs[i].Name, "Vstup ", static_cast<int>(i)));
        return titles;
    }
    if (kind == RequestKind::Tew) {
        for (int n = 1; n <= kTewRelays; ++n) titles.push_back("Relé " + std::to_string(n));
        return titles;
    }
    titles.push_back("Sada hodnot");
    const int first = firstBinaryInput(kind, board);
    const auto& inputs = config.BinaryConfig.Inputs;
    for (int n = 1; n <= binaryInputCount(kind); ++n) {
        const auto index = static_cast<std::size_t>(first + n - 1);
        const std::string name = index < inputs.size() ? inputTitle(inputs[index].Name, "Vstup ", n)
                                                       : "Vstup " + std::to_string(n);
        titles.push_back(name + " stav");
        titles.push_back(name + " hodnota");
    }
    return titles;
}

std::vector<CsvValue> recordedValues(RequestKind kind, const DecodeResult& shown,
                                     const KaluFormats& formats, std::uint8_t valueSet) {
    std::vector<CsvValue> values;
    if (kind == RequestKind::Kalu) {
        for (std::size_t i = 0; i < kKaluInputs; ++i)
            values.push_back(CsvValue::number(shown.kalu.numbers[i], formats[i].Decimals));
        return values;
    }
    const BinaryView& v = shown.binary;
    if (kind == RequestKind::Tew) {
        for (int n = 0; n < v.outputCount; ++n)
            values.push_back(CsvValue::number(v.outputFonts[n] == UnitColour::Active ? 1 : 0, 0));
        return values;
    }
    values.push_back(CsvValue::text(valueSetName(valueSet)));
    for (int n = 0; n < v.inputCount; ++n) {
        values.push_back(CsvValue::number(v.colours[n] == UnitColour::Active ? 1 : 0, 0));
        values.push_back(CsvValue::number(std::strtod(v.texts[n].c_str(), nullptr), 0));
    }
    return values;
}

Recorder::Recorder(const ConfigState& config, Clock clock)
    : config_(config), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return QDateTime::currentDateTime(); };
}

std::vector<std::string> Recorder::prepare(const QString& path, RequestKind kind, int board,
                                           const RecordingOptions& options) {
    stop();
    options_ = options;
    csv_.setDecimalSeparator(options.decimalSeparator);
    kind_ = kind;
    rows_ = gaps_ = 0;
    path_ = path;
    message_.clear();
    std::vector<std::string> titles = recordedTitles(kind, config_, board);
    valueColumns_ = titles.size();
    if (options.errorColumn) titles.push_back(kTextErrorColumn);
    return titles;
}

bool Recorder::start(const QString& path, RequestKind kind, int board,
                     const RecordingOptions& options) {
    const std::vector<std::string> titles = prepare(path, kind, board, options);
    if (csv_.open(path, "Čas", "Adresa", titles)) return true;
    message_ = QStringLiteral("Soubor záznamu nelze vytvořit: %1. %2").arg(path, failureReason());
    return false;
}

RecordStart Recorder::resume(const QString& path, RequestKind kind, int board,
                             const RecordingOptions& options) {
    const std::vector<std::string> titles = prepare(path, kind, board, options);
    switch (csv_.append(path, "Čas", "Adresa", titles)) {
        case CsvAppend::Created:
            return RecordStart::Created;
        case CsvAppend::Appended:
            message_ = QStringLiteral("Záznam pokračuje na konci souboru.");
            return RecordStart::Continued;
        case CsvAppend::OtherTable:
            return RecordStart::OtherTable;
        case CsvAppend::Failed:
            break;
    }
    message_ = QStringLiteral("Soubor záznamu nelze otevřít: %1. %2").arg(path, failureReason());
    return RecordStart::Failed;
}

// Our Czech words for the failure first, the system's own after them.
QString Recorder::failureReason() const {
    const FileError& error = csv_.fileError();
    const bool known = error.cause != FileError::Cause::System || error.code != 0;
    const std::string czech =
        known ? writeFailureReason(error) : std::string("Soubor nelze použít");
    return QStringLiteral("%1 (%2).").arg(QString::fromStdString(czech), csv_.systemReason());
}

void Recorder::stop(const std::string& note) {
    if (!recording()) return;
    csv_.close();
    message_ = QString::fromStdString(note);
}

void Recorder::checkPolled(RequestKind monitored) {
    if (recording() && monitored != kind_) stop("Záznam ukončen: sleduje se jiné okno jednotky.");
}

void Recorder::onAnswer(const PolledAnswer& polled) {
    checkPolled(polled.monitored);
    if (!recording() || polled.kind != kind_) return;
    if (!polled.transferred) {
        recordGap();
        return;
    }
    record(polled);
}

void Recorder::record(const PolledAnswer& polled) {
    // An answer that no window showed (its window closed on the way) makes no row.
    if (polled.shown == nullptr) return;
    // MOKR's counter answer makes no row of its own: the row comes with the state answer.
    if (kind_ == RequestKind::Mokr && !polled.selections.MokrWritePhase) return;
    std::vector<CsvValue> values =
        recordedValues(kind_, *polled.shown, kaluFormatsOf(config_.AnalogConfig),
                       shownSet(kind_, polled.selections));
    if (options_.errorColumn) values.push_back(CsvValue::text(""));
    if (!csv_.appendRow(clock_(), address(), values)) {
        writeFailed();
        return;
    }
    ++rows_;
}

void Recorder::recordGap() {
    ++gaps_;
    if (!options_.errorColumn) return;
    std::vector<CsvValue> values(valueColumns_, CsvValue::text(""));
    values.push_back(CsvValue::text(kTextErrorColumn));
    if (!csv_.appendRow(clock_(), address(), values)) writeFailed();
}

void Recorder::writeFailed() {
    const QString reason = failureReason();
    csv_.close();
    message_ = QStringLiteral(
                   "Záznam zastaven: do souboru %1 nelze zapisovat. %2 Řádky zapsané do té doby "
                   "zůstávají platné.")
                   .arg(path_, reason);
}

int Recorder::address() const {
    return kind_ == RequestKind::Kalu ? config_.AnalogConfig.ModuleAddress
                                      : config_.BinaryConfig.ModuleAddress;
}

}  // namespace velor
