// Decodes arbitrary answers of every monitoring kind with arbitrary window selections and KALU
// formats, as the polling loop does after a good transfer. A range error is the designed way to
// refuse a selection or format; anything else (a crash, a read outside the answer) is a fault.
// An answer shorter than its layout must change nothing.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>

#include "modules/AnswerDecoder.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

constexpr std::size_t kHeader = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    // Header: kind, value sets and flags, MOKR boards, KALU decimals and offset, an output text.
    const auto kind = static_cast<velor::RequestKind>(data[0] % 6);
    velor::UnitSelections sel;
    sel.TevInputSet = data[1] % 4;
    sel.TevwInputSet = (data[1] >> 2) % 4;
    sel.MokrInputSet = (data[1] >> 4) % 4;
    sel.TevFilterFlag = sel.TevwFilterFlag = sel.MokrFilterFlag = (data[1] & 0x40) != 0;
    sel.MokrWritePhase = (data[1] & 0x80) != 0;
    sel.MokrInputPiggy = data[2] % 9;
    sel.MokrOutputPiggy = data[2] / 9 % 9;
    sel.GappedInputLayout = (data[3] & 1) != 0;
    velor::KaluFormats formats{};
    for (std::size_t i = 0; i < formats.size(); ++i) {
        formats[i].Decimals = static_cast<std::int8_t>(data[4]) + static_cast<int>(i);
        formats[i].Offset = static_cast<float>(static_cast<std::int8_t>(data[5])) * 0.5f;
    }
    velor::KaluOutputTexts texts;
    texts[0] = std::string(reinterpret_cast<const char*>(data + 6), 2);
    const std::span<const std::uint8_t> answer(data + kHeader, size - kHeader);

    velor::DecoderState state;
    const velor::UnitSelections before = sel;
    try {
        const velor::DecodeResult r = velor::DecodeAnswer(kind, answer, formats, texts, sel, state);
        const std::size_t needs = velor::answerLayoutSize(kind, before.MokrWritePhase);
        if (!r.decoded) {
            check(answer.size() < needs || needs == 0);
            check(sel.MokrWritePhase == before.MokrWritePhase);
        }
        check(r.binary.inputCount >= 0 && r.binary.inputCount <= 16);
        check(r.binary.outputCount >= 0 && r.binary.outputCount <= 12);
    } catch (const std::out_of_range&) {
    }
    (void)velor::parseOutputValue(texts[0]);
    return 0;
}
