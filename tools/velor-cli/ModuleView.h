#pragma once
// What read and write print and record of one answer: the program's decoder run over the
// answer once per value set and filter choice, so that a sample holds everything the unit
// window could show.

#include <QDateTime>
#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "config/ConfigState.h"
#include "modules/AnswerDecoder.h"
#include "modules/CsvWriter.h"

namespace velor::cli {

// The module kinds by their command-line names: kalu, tev, tew, tevw, mokr.
std::optional<RequestKind> moduleKindNamed(const std::string& name);
std::string moduleKindName(RequestKind kind);

// What --config gives: the KALU offsets and decimals, and the input names.
struct InputNames {
    KaluFormats formats{};
    std::vector<std::string> names;  // UTF-8; empty = the default names
};
InputNames namesFromConfig(RequestKind kind, const ConfigState* config);

struct Sample {
    RequestKind kind = RequestKind::Kalu;
    int address = 0;
    QDateTime time;
    // KALU: the twelve values.
    std::array<float, kKaluInputs> values{};
    // Binary modules: inputs with their filtered and unfiltered states and the three value sets,
    // then the outputs as read back.
    int inputCount = 0;
    std::array<int, kMaxUnitInputs> filtered{};
    std::array<int, kMaxUnitInputs> unfiltered{};
    std::array<std::array<long, kMaxUnitInputs>, kValueSetCount> sets{};
    int outputCount = 0;
    std::array<int, kMaxUnitOutputs> outputs{};
};

// Decodes a KALU, TEV, TEW or TEVW answer; false when it is too short for its layout.
bool decodeSample(RequestKind kind, std::span<const std::uint8_t> answer, const InputNames& names,
                  Sample& sample);
// MOKR: the counter blocks of the board and the state bytes, the two answers of one sample.
bool decodeMokrSample(int board, std::span<const std::uint8_t> counters,
                      std::span<const std::uint8_t> states, Sample& sample);

void printSample(const Sample& sample, const InputNames& names, std::ostream& out);
std::vector<std::string> csvTitles(RequestKind kind, const InputNames& names);
std::vector<CsvValue> csvValues(const Sample& sample, const InputNames& names);

}  // namespace velor::cli
