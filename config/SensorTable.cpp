#include "config/SensorTable.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "ui/Cp1250.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

struct BuiltInRow {
    const char* name;  // UTF-8
    float low;
    float high;
    double a;
    double b;
    double c;
};

// Linear ranges 0..22 share A = B = D = 0 and C = 0.25. For the temperature ranges the values
// below are typical per family; a sensor file supplies the calibrated constants.
constexpr BuiltInRow kRows[kBuiltInSensorCount] = {
    {"Nedefinován       ", 0, 0, 0, 0, 0.25},
    {"KAX.-02:0-20V     ", 0, 20, 0, 0, 0.25},
    {"KAX.-12:0-10V     ", 0, 10, 0, 0, 0.25},
    {"KAX.-22:0- 5V     ", 0, 5, 0, 0, 0.25},
    {"KAXU-32:0- 2V     ", 0, 2, 0, 0, 0.25},
    {"KAXU-42:0- 1V     ", 0, 1, 0, 0, 0.25},
    {"KAXU-52:0-0.5V    ", 0, 0.5f, 0, 0, 0.25},
    {"KAXU-62:0-0.2V    ", 0, 0.2f, 0, 0, 0.25},
    {"KAXU-72:0-0.1V    ", 0, 0.1f, 0, 0, 0.25},
    {"KAXU-82:0-0.05V   ", 0, 0.05f, 0, 0, 0.25},
    {"KAXV-02:0-20V     ", 0, 0.5f, 0, 0, 0.25},
    {"KAXV-12:0-10V     ", 0, 0.2f, 0, 0, 0.25},
    {"KAXV-22:0- 5V     ", 0, 0.1f, 0, 0, 0.25},
    {"KAXV-90:0-35V     ", 0, 0.05f, 0, 0, 0.25},
    {"KAXI-02:0-40mA    ", 0, 40, 0, 0, 0.25},
    {"KAXI-12:0-20mA    ", 0, 20, 0, 0, 0.25},
    {"KAXI-22:0-10mA    ", 0, 10, 0, 0, 0.25},
    {"KAXI-32:0- 5mA    ", 0, 5, 0, 0, 0.25},
    {"KAXR-01:0-  5k    ", 0, 5, 0, 0, 0.25},
    {"KAXR-11:0- 10k    ", 0, 10, 0, 0, 0.25},
    {"KAXR-21:0- 20k    ", 0, 20, 0, 0, 0.25},
    {"KAXR-31:0- 50k    ", 0, 50, 0, 0, 0.25},
    {"KAXR-41:0-100k    ", 0, 100, 0, 0, 0.25},
    {"KAXA-00:0-105     ", 0, 114.41f, 9.1492629e-14, 2.9370615e-07, 0.98035894},
    {"KAXA-01:0-130     ", 0, 134.19f, 1.1276431e-13, 3.0518227e-07, 0.97420613},
    {"KAXA-02:0-600     ", 0, 609.65f, 3.4052718e-13, 4.1876540e-07, 0.92561207},
    {"KAXA-03:0-1000    ", 0, 1027.01f, 5.7310942e-13, 5.0243861e-07, 0.89734152},
    {"KAXB-00:0-105     ", 0, 111.74f, 1.0337284e-13, 3.1842077e-07, 0.98710355},
    {"KAXB-01:0-130     ", 0, 134.45f, 1.2461079e-13, 3.2905518e-07, 0.98063218},
    {"KAXB-02:0-600     ", 0, 605.03f, 3.6928413e-13, 4.3519762e-07, 0.93025874},
    {"KAXB-03:0-1000    ", 0, 1011.75f, 6.0158827e-13, 5.1962034e-07, 0.90118546},
    {"KAXN-31:-50÷50 °C ", -60.46f, 59.62f, 2.2439807e-12, -1.613509e-06, 1.0960924},
    {"KAXN-32:-50÷100°C ", -60.46f, 103.59f, 2.5106633e-12, -1.7024518e-06, 1.1258037},
    {"KAXN-33:-50÷200°C ", -60.46f, 199.56f, 3.1847205e-12, -1.8930472e-06, 1.1847316},
    {"KAXN-41:0÷ 50  °C ", 0, 52.57f, 1.9652370e-12, -1.4826035e-06, 1.0712458},
    {"KAXN-42:0÷100  °C ", 0, 104.87f, 2.3018564e-12, -1.5940127e-06, 1.1036782},
    {"KAXN-43:0÷200  °C ", 0, 201.77f, 2.9475132e-12, -1.7685304e-06, 1.1625093},
    {"KAXN-44:0÷300  °C ", 0, 309.86f, 3.6620841e-12, -1.9418726e-06, 1.2203615},
    {"KAXN6-31:-50÷50 °C", -48.45f, 48.77f, 4.1028536e-12, -2.4175309e-07, 1.1539207},
    {"KAXN6-32:-50÷100°C", -48.45f, 85.68f, 4.6351872e-12, -2.6830415e-07, 1.1903864},
    {"KAXN6-33:-50÷200°C", -48.45f, 168.28f, 5.8702149e-12, -3.1294658e-07, 1.2561438},
    {"KAXN6-41:0÷ 40  °C", 0, 42.93f, 3.8164027e-12, -2.2507831e-07, 1.1324750},
    {"KAXN6-42:0÷ 80  °C", 0, 86.77f, 4.4827315e-12, -2.5913076e-07, 1.1748219},
    {"KAXN6-43:0÷170  °C", 0, 170.2f, 5.6419802e-12, -3.0462581e-07, 1.2390715},
    {"KAXN6-44:0÷250  °C", 0, 262.8f, 6.9035417e-12, -3.4827153e-07, 1.3018426},
    {"KAXP-00:-200÷0  °C", -208.49f, 6.67f, 8.8200637e-13, 7.2812596e-07, 0.94849045},
    {"KAXP-01:-200÷50 °C", -208.49f, 51.38f, 8.5413902e-13, 7.1530648e-07, 0.94215738},
    {"KAXP-21:-100÷50 °C", -110.77f, 52.18f, 7.6025318e-13, 6.7140273e-07, 0.93270461},
    {"KAXP-22:-100÷100°C", -110.77f, 114.1f, 7.3158426e-13, 6.5824017e-07, 0.92814509},
    {"KAXP-23:-100÷200°C", -110.77f, 214.41f, 6.8427713e-13, 6.3609258e-07, 0.92058316},
    {"KAXP-31:-50÷50  °C", -45.75f, 57.23f, 7.1946380e-13, 6.5017493e-07, 0.93642187},
    {"KAXP-32:-50÷100 °C", -45.75f, 106.75f, 6.9318524e-13, 6.3862105e-07, 0.93105822},
    {"KAXP-33:-50÷200 °C", -45.75f, 210.78f, 6.5270193e-13, 6.1936274e-07, 0.92361045},
    {"KAXP-34:-50÷300 °C", -45.75f, 302.69f, 6.1813645e-13, 6.0241839e-07, 0.91672930},
    {"KAXP-42:0÷100   °C", 0, 105.8f, 6.7502851e-13, 6.2704163e-07, 0.92873614},
    {"KAXP-43:0÷200   °C", 0, 204.43f, 6.3841927e-13, 6.0917325e-07, 0.92157083},
    {"KAXP-44:0÷300   °C", 0, 318.34f, 6.0127496e-13, 5.9318264e-07, 0.91430257},
    {"KAXP-45:0÷400   °C", 0, 434.7f, 5.6734018e-13, 5.7826149e-07, 0.90768342},
    {"KAXP-46:0÷600   °C", 0, 615.98f, 5.0962473e-13, 5.5104837e-07, 0.89527416},
    {"KAXS-11:-50÷50  °C", -51, 50.3f, 1.3826504e-11, 8.1264375e-07, 1.0427381},
    {"KAXS-12:-50÷100 °C", -51, 107.7f, 1.2547193e-11, 7.8930146e-07, 1.0318652},
    {"KAXS-13:0÷100   °C", -9.6f, 107.4f, 1.1973820e-11, 7.7462518e-07, 1.0254173},
};

std::array<SensorEntry, kBuiltInSensorCount> makeBuiltIn() {
    std::array<SensorEntry, kBuiltInSensorCount> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        const BuiltInRow& r = kRows[i];
        table[i] = SensorEntry{utf8ToCp1250(r.name), r.low, r.high, r.a, r.b, r.c, 0.0, i >= 23};
    }
    return table;
}

constexpr std::string_view kSeparator = "\",\"";

std::string padName(std::string_view raw) {
    std::string name(raw.substr(0, SensorEntry::kNameChars));
    name.resize(SensorEntry::kNameChars, ' ');
    return name;
}

// Grammar check of a decimal number with "." as separator; the text must be whole.
bool isDecimalNumber(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == t.size();
}

std::string_view trimLeadingBlanks(std::string_view t) {
    const auto first = t.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : t.substr(first);
}

template <typename T>
std::optional<T> parseNumber(std::string_view text) {
    text = trimLeadingBlanks(text);
    if (!isDecimalNumber(text)) return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);  // from_chars takes no plus sign
    T value{};
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

const std::array<SensorEntry, kBuiltInSensorCount>& BuiltInSensorTable() {
    static const std::array<SensorEntry, kBuiltInSensorCount> table = makeBuiltIn();
    return table;
}

std::optional<double> parseDouble(std::string_view text) {
    return parseNumber<double>(text);
}

std::optional<float> parseSingle(std::string_view text, char decimalChar) {
    if (decimalChar == '.') return parseNumber<float>(text);
    std::string copy(text);
    const auto pos = copy.find(decimalChar);
    if (pos != std::string::npos) copy[pos] = '.';
    return parseNumber<float>(copy);
}

bool TextLineReader::next(std::string& line) {
    if (pos_ >= text_.size()) return false;
    const auto begin = text_.begin() + static_cast<std::ptrdiff_t>(pos_);
    const auto lf = std::find(begin, text_.end(), std::uint8_t{'\n'});
    std::size_t len = static_cast<std::size_t>(lf - begin);
    pos_ += len + (lf == text_.end() ? 0 : 1);
    if (len > 0 && *(begin + static_cast<std::ptrdiff_t>(len) - 1) == '\r') --len;
    line.assign(reinterpret_cast<const char*>(&*begin), std::min(len, kMaxLineChars));
    return true;
}

bool FindSection(std::string_view header, TextLineReader& file) {
    file.rewind();
    std::string line;
    while (file.next(line)) {
        if (line == header) return true;
    }
    return false;
}

bool parseSensorLine(std::string_view line, SensorEntry& entry, char decimalChar) {
    const auto quote = line.find('"');
    if (quote == std::string_view::npos) return false;
    entry.Name = padName(line.substr(quote + 1));

    auto sep = line.find(kSeparator, quote + 1);
    if (sep == std::string_view::npos) return false;
    bool ok = true;
    for (int field = 0; field < 6; ++field) {
        const auto start = sep + kSeparator.size();
        const auto next = line.find(kSeparator, start);
        if (next == std::string_view::npos) return false;
        const auto text = line.substr(start, next - start);
        if (field < 2) {
            const auto v = parseSingle(text, decimalChar);
            if (v) (field == 0 ? entry.RangeLow : entry.RangeHigh) = *v;
            ok = ok && v.has_value();
        } else {
            const auto v = parseDouble(text);
            double* const targets[] = {&entry.A, &entry.B, &entry.C, &entry.D};
            if (v) *targets[field - 2] = *v;
            ok = ok && v.has_value();
        }
        sep = next;
    }
    const auto flagStart = sep + kSeparator.size();
    const auto flagEnd = line.find('"', flagStart);
    if (flagEnd == std::string_view::npos) return false;
    entry.Linearized = line.substr(flagStart, flagEnd - flagStart) == "ANO";
    return ok;
}

namespace {

// A line that ends the list as the end of the file does: the next section, an empty or blank
// line, or the DOS end-of-file byte 0x1A that editors of the time put behind the last line.
bool endsEntryList(std::string_view line) {
    if (!line.empty() && line.front() == '[') return true;
    return line.find_first_not_of(" \t\x1A") == std::string_view::npos;
}

// Reads the entry lines of the section; false when any of them was faulty.
bool readEntries(TextLineReader& file, SensorTableArray& table, char decimalChar) {
    std::string line;
    file.next(line);  // the line right after the section line is a column heading
    bool ok = true;
    std::size_t index = 0;
    while (file.next(line)) {
        if (endsEntryList(line)) break;
        if (index >= table.size()) continue;
        ok = parseSensorLine(line, table[index], decimalChar) && ok;
        ++index;
    }
    return ok;
}

}  // namespace

SensorImportResult importSensorTableFrom(SensorTableArray& table, std::int32_t& lastIndex,
                                         std::optional<std::span<const std::uint8_t>> fileBytes,
                                         char decimalChar) {
    for (SensorEntry& e : table) {
        e.Name.clear();
        e.Linearized = false;
    }
    SensorImportResult result;
    result.opened = fileBytes.has_value();
    if (result.opened) {
        TextLineReader file(*fileBytes);
        if (!FindSection(utf8ToCp1250(kSensorSection), file)) {
            ShowMessageWindow("Nenalezena sekce - ", ">> [Konfigurační moduly] <<", 2, 1);
            result.faulty = true;
        } else {
            result.faulty = !readEntries(file, table, decimalChar);
        }
    }
    if (result.faulty)
        ShowMessageWindow("POZOR ! Při IMPORTU se vyskytla chyba!!!",
                          "Budou načteny náhradní parametry", 2, 0);
    if (result.faulty || !result.opened)
        std::copy(BuiltInSensorTable().begin(), BuiltInSensorTable().end(), table.begin());

    // An empty table starts at 0 as at the start of the program: keeping the index of the last
    // import would let every new load of the same file append its "Min-" entries again.
    lastIndex = 0;
    for (std::size_t i = table.size(); i-- > 0;) {
        if (!table[i].Name.empty()) {
            lastIndex = static_cast<std::int32_t>(i);
            break;
        }
    }
    return result;
}

}  // namespace velor
