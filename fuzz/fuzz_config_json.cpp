// Arbitrary bytes as the JSON form of a configuration (what `velor-cli create --from` reads):
// the parser and the range checks must take anything without undefined behaviour, and a form
// that was taken must encode to a file whose own JSON form is taken back to the same bytes.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/ConfigFields.h"

using namespace velor;

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ConfigFileData taken;
    std::string problem;
    if (!configFileFromJson(json, taken, problem)) {
        check(!problem.empty());
        return 0;
    }
    const std::vector<std::uint8_t> file = encodeConfigFile(taken);
    check(file.size() == configFileSize(taken.kind));
    ConfigFileData again;
    check(configFileFromJson(QByteArray::fromStdString(configFileToJson(taken)), again, problem));
    check(again.kind == taken.kind && encodeConfigFile(again) == file);
    return 0;
}
