// Import of the sensor table from "ParamIOI.cfw": the section, the entry lines, faulty files
// and the built-in table that replaces them.

#include <QFile>

#include "ConfigFixture.h"
#include "config/ConfigFiles.h"
#include "config/SensorTable.h"
#include "ui/Cp1250.h"

namespace velor::test {
namespace {

const std::string kSection = "[Konfigurační moduly]";
const std::string kHeading = "\"Typ\",\"Min\",\"Max\",\"A\",\"B\",\"C\",\"D\",\"Lin\"";
const std::string kFaulty = "POZOR ! Při IMPORTU se vyskytla chyba!!!";

// A sensor file in code page 1250 from UTF-8 lines joined with CR LF.
std::string cfw(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += utf8ToCp1250(l) + "\r\n";
    return text;
}

std::string entry(const std::string& name, const std::string& low, const std::string& high,
                  const std::string& flag) {
    return "\"" + name + "\",\"" + low + "\",\"" + high +
           "\",\"1.5E-12\",\"-2.5E-07\",\"1.0960924\",\"0\",\"" + flag + "\"";
}

SensorImportResult importText(SensorTableArray& table, std::int32_t& last, const std::string& text,
                              char decimalChar = '.') {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    return importSensorTableFrom(table, last, std::span(data, text.size()), decimalChar);
}

class SensorImport : public ConfigFixture {
protected:
    SensorTableArray table{};
    std::int32_t last = 0;
};

TEST_F(SensorImport, ReadsEntriesOfTheSection) {
    const std::string name18 = "Čidlo-A1:0÷100 °C ";  // exactly 18 characters
    const auto r = importText(
        table, last,
        cfw({"; komentář", "\"x\",\"1\"", kSection, kHeading, entry(name18, "-50.5", "150", "ANO"),
             entry("Napětí 0-10V      ", "0", "10", "ano") + "   ", "[Jiná sekce]",
             entry("Ignorováno      ", "0", "1", "ANO")}));

    EXPECT_TRUE(r.opened);
    EXPECT_FALSE(r.faulty);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(last, 1);
    EXPECT_EQ(table[0].Name, utf8ToCp1250(name18));
    EXPECT_FLOAT_EQ(table[0].RangeLow, -50.5f);
    EXPECT_FLOAT_EQ(table[0].RangeHigh, 150.0f);
    EXPECT_DOUBLE_EQ(table[0].A, 1.5e-12);
    EXPECT_DOUBLE_EQ(table[0].B, -2.5e-07);
    EXPECT_DOUBLE_EQ(table[0].C, 1.0960924);
    EXPECT_TRUE(table[0].Linearized);
    EXPECT_FALSE(table[1].Linearized);  // the flag must read exactly "ANO"
    EXPECT_TRUE(table[2].Name.empty());
}

TEST_F(SensorImport, EmptySectionGivesEmptyTableAndEveryInputFailsTheCheck) {
    writeText("ParamIOI.cfw", cfw({kSection, kHeading, "[Konec]"}));
    InitAnalogConfig(state);
    ImportSensorTable(state);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(state.SensorLastIndex, 0);
    for (const auto& e : state.SensorTable) EXPECT_TRUE(e.Name.empty());

    EXPECT_TRUE(checkSensorNames(state));
    EXPECT_EQ(state.SensorLastIndex, 12);
    EXPECT_EQ(state.AnalogConfig.Inputs[11].SensorIndex, 12);
    EXPECT_EQ(state.SensorTable[12].Name, utf8ToCp1250("Min-Nedefinován   "));
}

TEST_F(SensorImport, FaultyFilesFallBackToTheBuiltInTable) {
    const std::string good = entry("Dobrý snímač      ", "0", "1", "ANO");
    static constexpr char kJunk[] = "\0\x01\"\xff\",\"\r\r\n\x80\0";
    struct Case {
        const char* what;
        std::string text;
        char decimalChar;
        bool sectionMissing;
    };
    const std::vector<Case> cases = {
        {"no section", cfw({"[Konfigurační  moduly]", kHeading, good}), '.', true},
        {"decimal comma with point separator",
         cfw({kSection, kHeading, entry("Čárka             ", "0", "0,5", "NE")}), '.', false},
        {"missing quotes", cfw({kSection, kHeading, "Bez uvozovek,0,1,2,3,4,5,ANO"}), '.', false},
        {"missing separator",
         cfw({kSection, kHeading, "\"Málo polí          \",\"0\",\"1\",\"2\""}), '.', false},
        {"flag cut off past 255 characters",
         cfw({kSection, kHeading,
              "\"Dlouhý" + std::string(260, ' ') +
                  "\",\"0\",\"1\",\"0\",\"0\",\"1\",\"0\",\"ANO\""}),
         '.', false},
        {"binary junk", cfw({kSection, kHeading}) + std::string(kJunk, sizeof kJunk - 1), '.',
         false},
        {"number out of range",
         cfw({kSection, kHeading, entry("Velké             ", "0", "1e60", "NE")}), '.', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rec.calls.clear();
        table = {};
        last = 0;
        table[70].RangeHigh = 7.0f;  // numbers beyond the built-in table stay

        const auto r = importText(table, last, c.text, c.decimalChar);

        EXPECT_TRUE(r.faulty);
        ASSERT_EQ(rec.calls.size(), c.sectionMissing ? 2u : 1u);
        if (c.sectionMissing) {
            EXPECT_EQ(rec.calls[0].text1, "Nenalezena sekce - ");
            EXPECT_EQ(rec.calls[0].text2, ">> [Konfigurační moduly] <<");
            EXPECT_EQ(rec.calls[0].iconSet, 1);
        }
        EXPECT_EQ(rec.calls.back().text1, kFaulty);
        EXPECT_EQ(rec.calls.back().text2, "Budou načteny náhradní parametry");
        EXPECT_EQ(rec.calls.back().iconSet, 0);
        EXPECT_EQ(last, 61);
        EXPECT_EQ(table[1].Name, "KAX.-02:0-20V     ");
        EXPECT_FLOAT_EQ(table[70].RangeHigh, 7.0f);
    }
}

// Editors leave an empty last line or the DOS end-of-file byte behind the list; they end it.
TEST_F(SensorImport, EmptyBlankOrEndOfFileLineEndsTheList) {
    const std::string first = entry("První             ", "0", "1", "ANO");
    const std::string second = entry("Druhé             ", "0", "2", "NE");
    const std::string body = cfw({kSection, kHeading, first, second});
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty last line", body + "\r\n"},
        {"blank line", body + " \t \r\n"},
        {"end-of-file byte on its own line", body + "\x1A"},
        {"end-of-file byte after blanks, with CR LF", body + "  \x1A\r\n"},
        {"empty line before more lines", body + "\r\n" + cfw({entry("Za koncem", "0", "3", "NE")})},
        {"blank line before a broken line", body + "   \r\n" + cfw({"nesmysl"})},
    };
    for (const auto& [what, text] : cases) {
        SCOPED_TRACE(what);
        rec.calls.clear();
        table = {};
        last = 0;

        const auto r = importText(table, last, text);

        EXPECT_FALSE(r.faulty);
        EXPECT_TRUE(rec.calls.empty());
        EXPECT_EQ(last, 1);
        EXPECT_EQ(table[1].Name, utf8ToCp1250("Druhé             "));
        EXPECT_FLOAT_EQ(table[1].RangeHigh, 2.0f);
    }
}

TEST_F(SensorImport, OnlyTheFirst255CharactersOfALineAreRead) {
    const std::string tail(300, 'x');
    const auto r =
        importText(table, last,
                   cfw({kSection, kHeading, entry("Dlouhý            ", "0", "1", "ANO") + tail,
                        entry("Další             ", "0", "2", "NE")}));
    EXPECT_FALSE(r.faulty);
    EXPECT_EQ(last, 1);
    EXPECT_TRUE(table[0].Linearized);
    EXPECT_FLOAT_EQ(table[1].RangeHigh, 2.0f);
}

TEST_F(SensorImport, DecimalCommaInRangesWithCommaSeparator) {
    const auto r = importText(
        table, last, cfw({kSection, kHeading, entry("Čárka             ", "-1,25", "0,5", "NE")}),
        ',');
    EXPECT_FALSE(r.faulty);
    EXPECT_FLOAT_EQ(table[0].RangeLow, -1.25f);
    EXPECT_FLOAT_EQ(table[0].RangeHigh, 0.5f);
}

TEST_F(SensorImport, EntriesPastOneHundredAreIgnoredAndLaterEntriesSurviveAFault) {
    std::vector<std::string> lines{kSection, kHeading};
    for (int i = 0; i < 105; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Snímač %-11d", i);
        lines.push_back(entry(name, "0", i == 3 ? "x" : std::to_string(i), "NE"));
    }
    const auto r = importText(table, last, cfw(lines));
    EXPECT_TRUE(r.faulty);
    EXPECT_EQ(last, 100);
    EXPECT_EQ(table[0].Name, BuiltInSensorTable()[0].Name);  // replaced by the built-in table
    EXPECT_EQ(table[62].Name, utf8ToCp1250("Snímač 62         "));
    EXPECT_FLOAT_EQ(table[100].RangeHigh, 100.0f);
}

TEST_F(SensorImport, MissingFileTakesBuiltInTableSilently) {
    table[5].Name = "old";
    const auto r = importSensorTableFrom(table, last, std::nullopt);
    EXPECT_FALSE(r.opened);
    EXPECT_FALSE(r.faulty);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(last, 61);
    EXPECT_EQ(table[5].Name, "KAXU-42:0- 1V     ");
}

TEST_F(SensorImport, ShippedFileMatchesTheBuiltInTable) {
    QFile shipped(QStringLiteral(VELOR_CONFIG_DATA_DIR "/ParamIOI.cfw"));
    ASSERT_TRUE(shipped.copy(path("ParamIOI.cfw")));
    ImportSensorTable(state);
    EXPECT_TRUE(rec.calls.empty());
    ASSERT_EQ(state.SensorLastIndex, 61);
    const auto& builtIn = BuiltInSensorTable();
    for (std::size_t i = 0; i < builtIn.size(); ++i) {
        SCOPED_TRACE(i);
        const SensorEntry& e = state.SensorTable[i];
        EXPECT_EQ(e.Name, builtIn[i].Name);
        EXPECT_EQ(e.RangeLow, builtIn[i].RangeLow);
        EXPECT_EQ(e.RangeHigh, builtIn[i].RangeHigh);
        EXPECT_DOUBLE_EQ(e.A, builtIn[i].A);
        EXPECT_DOUBLE_EQ(e.B, builtIn[i].B);
        EXPECT_DOUBLE_EQ(e.C, builtIn[i].C);
        EXPECT_EQ(e.D, 0.0);
        EXPECT_EQ(e.Linearized, i >= 23);
    }
}

TEST(BuiltInSensorTable, DesignedRowsAndConstantRanges) {
    const auto& t = BuiltInSensorTable();
    EXPECT_EQ(t[0].Name, utf8ToCp1250("Nedefinován       "));
    EXPECT_EQ(t[13].Name, "KAXV-90:0-35V     ");
    EXPECT_FLOAT_EQ(t[13].RangeHigh, 0.05f);
    EXPECT_EQ(t[31].Name, utf8ToCp1250("KAXN-31:-50÷50 °C "));
    EXPECT_DOUBLE_EQ(t[23].A, 9.1492629e-14);
    EXPECT_DOUBLE_EQ(t[31].B, -1.613509e-06);
    EXPECT_DOUBLE_EQ(t[45].C, 0.94849045);
    EXPECT_FLOAT_EQ(t[61].RangeLow, -9.6f);
    for (std::size_t i = 0; i < t.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t[i].Name.size(), 18u);
        EXPECT_EQ(t[i].D, 0.0);
        if (i < 23) {
            EXPECT_EQ(t[i].C, 0.25);
            EXPECT_EQ(t[i].A, 0.0);
            continue;
        }
        EXPECT_TRUE(t[i].A >= 1e-14 && t[i].A <= 1e-10);
        EXPECT_TRUE(std::fabs(t[i].B) >= 1e-8 && std::fabs(t[i].B) <= 1e-5);
        EXPECT_TRUE(t[i].C >= 0.87 && t[i].C <= 1.33);
    }
}

}  // namespace
}  // namespace velor::test
