#include "tools/velor-cli/ModuleView.h"

#include <cstdio>

#include "modules/RequestBuilders.h"
#include "ui/Cp1250.h"

namespace velor::cli {

namespace {

constexpr const char* kSetNames[] = {"rising", "falling", "period"};

// Without a configuration the inputs are numbered as the unit windows number them: KALU from
// 0, the binary modules from 1.
std::string inputName(const InputNames& names, int index, bool fromZero = false) {
    if (static_cast<std::size_t>(index) < names.names.size()) return names.names[index];
    return "input " + std::to_string(fromZero ? index : index + 1);
}

bool isKalu(RequestKind kind) {
    return kind == RequestKind::Kalu;
}

void takeBinary(const DecodeResult& r, bool filterFlag, std::uint8_t set, Sample& s) {
    s.inputCount = r.binary.inputCount;
    for (int n = 0; n < s.inputCount; ++n) {
        const int on = r.binary.colours[n] == UnitColour::Active ? 1 : 0;
        (filterFlag ? s.unfiltered : s.filtered)[n] = on;
        s.sets[set][n] = std::strtol(r.binary.texts[n].c_str(), nullptr, 10);
    }
    s.outputCount = r.binary.outputCount;
    for (int n = 0; n < s.outputCount; ++n)
        s.outputs[n] = r.binary.outputFonts[n] == UnitColour::Active ? 1 : 0;
}

void chooseSet(UnitSelections& sel, RequestKind kind, std::uint8_t set, bool filterFlag) {
    if (kind == RequestKind::Tev) {
        sel.TevInputSet = set;
        sel.TevFilterFlag = filterFlag;
    } else if (kind == RequestKind::Tevw) {
        sel.TevwInputSet = set;
        sel.TevwFilterFlag = filterFlag;
    } else {
        sel.MokrInputSet = set;
        sel.MokrFilterFlag = filterFlag;
    }
}

}  // namespace

std::optional<RequestKind> moduleKindNamed(const std::string& name) {
    for (const RequestKind k : {RequestKind::Kalu, RequestKind::Tev, RequestKind::Tew,
                                RequestKind::Tevw, RequestKind::Mokr})
        if (moduleKindName(k) == name) return k;
    return std::nullopt;
}

std::string moduleKindName(RequestKind kind) {
    static const char* const names[] = {"kalu", "tev", "tew", "tevw", "mokr"};
    const auto index = static_cast<std::size_t>(kind);
    return kind <= RequestKind::Mokr ? names[index] : "probe";
}

InputNames namesFromConfig(RequestKind kind, const ConfigState* config) {
    InputNames n;
    if (config == nullptr) return n;
    if (isKalu(kind)) {
        n.formats = kaluFormatsOf(config->AnalogConfig);
        for (const AnalogInput& input : config->AnalogConfig.Inputs)
            n.names.push_back(cp1250ToUtf8(input.Name));
        return n;
    }
    for (const BinaryInput& in : config->BinaryConfig.Inputs)
        n.names.push_back(cp1250ToUtf8(in.Name));
    return n;
}

bool decodeSample(RequestKind kind, std::span<const std::uint8_t> answer, const InputNames& names,
                  Sample& s) {
    UnitSelections sel;
    DecoderState st;
    s.kind = kind;
    const KaluOutputTexts outputs{"0", "0", "0", "0", "0", "0"};
    if (isKalu(kind) || kind == RequestKind::Tew) {
        const DecodeResult r = DecodeAnswer(kind, answer, names.formats, outputs, sel, st);
        if (!r.decoded) return false;
        s.values = st.KaluValues;
        if (kind == RequestKind::Tew) takeBinary(r, false, 0, s);
        return true;
    }
    for (bool filterFlag : {false, true}) {
        for (std::uint8_t set = 0; set < kValueSetCount; ++set) {
            chooseSet(sel, kind, set, filterFlag);
            const DecodeResult r = DecodeAnswer(kind, answer, names.formats, outputs, sel, st);
            if (!r.decoded) return false;
            takeBinary(r, filterFlag, set, s);
        }
    }
    return true;
}

bool decodeMokrSample(int board, std::span<const std::uint8_t> counters,
                      std::span<const std::uint8_t> states, Sample& s) {
    UnitSelections sel;
    DecoderState st;
    s.kind = RequestKind::Mokr;
    sel.MokrInputPiggy = board;
    sel.MokrOutputPiggy = board;
    for (bool filterFlag : {false, true}) {
        for (std::uint8_t set = 0; set < kValueSetCount; ++set) {
            chooseSet(sel, RequestKind::Mokr, set, filterFlag);
            sel.MokrWritePhase = false;
            if (!DecodeAnswer(RequestKind::Mokr, counters, {}, {}, sel, st).decoded) return false;
            const DecodeResult r = DecodeAnswer(RequestKind::Mokr, states, {}, {}, sel, st);
            if (!r.decoded) return false;
            takeBinary(r, filterFlag, set, s);
        }
    }
    // The output buttons show what the program itself writes, not a read-back.
    s.outputCount = 0;
    return true;
}

void printSample(const Sample& s, const InputNames& names, std::ostream& out) {
    out << CsvWriter::timeText(s.time) << "  " << moduleKindName(s.kind) << " address " << s.address
        << "\n";
    char line[160];
    if (isKalu(s.kind)) {
        for (std::size_t i = 0; i < kKaluInputs; ++i) {
            out << "  " << std::to_string(i) << (i < 10 ? "   " : "  ")
                << inputName(names, static_cast<int>(i)) << "  "
                << valueText(s.values[i], names.formats[i].Decimals) << "\n";
        }
        return;
    }
    if (s.inputCount > 0)
        out << "  input  filtered  unfiltered    rising   falling    period  name\n";
    for (int n = 0; n < s.inputCount; ++n) {
        std::snprintf(line, sizeof line, "  %5d  %8d  %10d  %8ld  %8ld  %8ld  ", n + 1,
                      s.filtered[n], s.unfiltered[n], s.sets[0][n], s.sets[1][n], s.sets[2][n]);
        out << line << inputName(names, n) << "\n";
    }
    if (s.outputCount == 0) return;
    out << "  outputs 1.." << s.outputCount << ":";
    for (int n = 0; n < s.outputCount; ++n) out << " " << s.outputs[n];
    out << "\n";
}

std::vector<std::string> csvTitles(RequestKind kind, const InputNames& names) {
    std::vector<std::string> titles;
    Sample shape;
    if (isKalu(kind)) {
        for (std::size_t i = 0; i < kKaluInputs; ++i)
            titles.push_back(inputName(names, static_cast<int>(i), true));
        return titles;
    }
    for (int n = 0; n < binaryInputCount(kind); ++n) {
        const std::string name = inputName(names, n);
        titles.push_back(name + " filtered");
        titles.push_back(name + " unfiltered");
        for (const char* set : kSetNames) titles.push_back(name + " " + set);
    }
    // MOKR's outputs are what the program writes, not a read-back: no columns.
    const int outputs =
        kind == RequestKind::Tew ? kTewRelays : (kind == RequestKind::Tevw ? kTevwOutputs : 0);
    for (int n = 1; n <= outputs; ++n) titles.push_back("output " + std::to_string(n));
    return titles;
}

std::vector<CsvValue> csvValues(const Sample& s, const InputNames& names) {
    std::vector<CsvValue> values;
    if (isKalu(s.kind)) {
        for (std::size_t i = 0; i < kKaluInputs; ++i)
            values.push_back(CsvValue::number(s.values[i], names.formats[i].Decimals));
        return values;
    }
    for (int n = 0; n < s.inputCount; ++n) {
        values.push_back(CsvValue::number(s.filtered[n], 0));
        values.push_back(CsvValue::number(s.unfiltered[n], 0));
        for (int set = 0; set < kValueSetCount; ++set)
            values.push_back(CsvValue::number(s.sets[set][n], 0));
    }
    for (int n = 0; n < s.outputCount; ++n) values.push_back(CsvValue::number(s.outputs[n], 0));
    return values;
}

}  // namespace velor::cli
