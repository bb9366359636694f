#pragma once
// The sensor table: the sensor types and measuring ranges an analog input can be set to,
// imported from the text file "ParamIOI.cfw" (code page 1250), with a built-in table as fallback.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velor {

struct SensorEntry {
    static constexpr std::size_t kNameChars = 18;

    std::string Name;  // code page 1250, 18 characters blank-padded; empty = unused entry
    float RangeLow = 0.0f;
    float RangeHigh = 0.0f;
    double A = 0.0;
    double B = 0.0;
    double C = 0.0;
    double D = 0.0;
    bool Linearized = false;
};

inline constexpr std::size_t kSensorTableSize = 101;  // entries 0..100
inline constexpr std::size_t kBuiltInSensorCount = 62;
inline constexpr const char* kSensorFileName = "ParamIOI.cfw";
// The section line, UTF-8; the file holds it in code page 1250.
inline constexpr const char* kSensorSection = "[Konfigurační moduly]";
// Only this many characters of a line of the sensor file are read.
inline constexpr std::size_t kMaxLineChars = 255;

using SensorTableArray = std::array<SensorEntry, kSensorTableSize>;

const std::array<SensorEntry, kBuiltInSensorCount>& BuiltInSensorTable();

// Reads a text line by line: a line ends with LF (a CR before it is dropped) or with the end of
// the text; only its first kMaxLineChars characters are returned.
class TextLineReader {
public:
    explicit TextLineReader(std::span<const std::uint8_t> text) : text_(text) {}
    void rewind() { pos_ = 0; }
    bool next(std::string& line);

private:
    std::span<const std::uint8_t> text_;
    std::size_t pos_ = 0;
};

// Reads from the beginning until a whole line equals the header (code page 1250 bytes). True when
// found; the reader then stands at the line after it.
bool FindSection(std::string_view header, TextLineReader& file);

// Reads one entry line into the entry (name, ranges, constants, flag). False when a field is
// missing or a number does not parse; what could be read is kept.
bool parseSensorLine(std::string_view line, SensorEntry& entry, char decimalChar = '.');

struct SensorImportResult {
    bool opened = false;
    bool faulty = false;
};

// The import from the file's bytes (std::nullopt: the file could not be opened), with the
// messages of a faulty file. decimalChar is the system's decimal separator, which the range
// columns may use in place of the point.
SensorImportResult importSensorTableFrom(SensorTableArray& table, std::int32_t& lastIndex,
                                         std::optional<std::span<const std::uint8_t>> fileBytes,
                                         char decimalChar = '.');

// Parses a decimal number ("." separator, optional sign and exponent, leading blanks skipped).
std::optional<double> parseDouble(std::string_view text);
std::optional<float> parseSingle(std::string_view text, char decimalChar = '.');

}  // namespace velor
