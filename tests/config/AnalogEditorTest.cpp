// The analog module editor driven through its real controls, offscreen.

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstring>

#include "EditorFixture.h"
#include "comm/ByteCodec.h"
#include "config/AnalogEditor.h"
#include "ui/Cp1250.h"

namespace velor::test {
namespace {

constexpr std::size_t kImageC = AnalogConfig::kSize + 176;  // C of input 0 in the file

class AnalogEditorTest : public EditorFixture {
protected:
    float fileC0() {
        const std::vector<std::uint8_t> bytes = readBytes("KonfigA.cfa");
        EXPECT_EQ(bytes.size(), kAnalogFileSize);
        if (bytes.size() < kAnalogFileSize) return -1.0f;
        return codec::getF32(bytes, kImageC);
    }
};

TEST_F(AnalogEditorTest, SensorChoiceTakesLimitsOnlyFromLinearizedEntries) {
    struct Case {
        int row;
        int sensor;
        float low;
        float high;
    };
    // Entry 31 is a linearized temperature range, entry 2 a linear 0-10 V range.
    const Case cases[] = {{2, 31, -60.46f, 59.62f}, {3, 2, 5.0f, 6.0f}};
    TForm_Konmst editor(context);
    editor.show();
    type(editor, "Edit_1", "45");
    type(editor, "Edit_2", "700");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        type(editor, QStringLiteral("Edit_%1").arg(150 + c.row), "5");
        type(editor, QStringLiteral("Edit_%1").arg(190 + c.row), "6");
        choose(editor, QStringLiteral("ComboBox_%1").arg(210 + c.row), c.sensor);
        const AnalogInput& in = config.AnalogConfig.Inputs[static_cast<std::size_t>(c.row)];
        EXPECT_EQ(in.SensorIndex, c.sensor);
        EXPECT_FLOAT_EQ(in.LowLimit, c.low);
        EXPECT_FLOAT_EQ(in.HighLimit, c.high);
        EXPECT_EQ(in.SensorName, config.SensorTable[static_cast<std::size_t>(c.sensor)].Name);
        EXPECT_EQ(text(editor, QStringLiteral("Edit_%1").arg(150 + c.row)).toFloat(), c.low);
        EXPECT_EQ(text(editor, QStringLiteral("Edit_%1").arg(190 + c.row)).toFloat(), c.high);
        EXPECT_EQ(editor.currentInput(), c.row + 1);
        EXPECT_EQ(editor.Label23->text(), QStringLiteral("Konstanty polynomu IN[ %1]:").arg(c.row));
        // A sensor choice refills the fields without undoing the typed delay and time-out.
        EXPECT_EQ(text(editor, "Edit_1"), QStringLiteral("45"));
        EXPECT_EQ(text(editor, "Edit_2"), QStringLiteral("700"));
    }
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(AnalogEditorTest, Variant12ShowsAndSendsUnitCForLinearSensors) {
    struct Case {
        bool pressVariant;
        const char* caption;
        const char* shownC;
        float sentC;
    };
    const Case cases[] = {{true, "K&ALU - 12", "; c=1.0000000E+00;", 1.0f},
                          {false, "K&ALU - 11", "; c=2.5000000E-01;", 0.25f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        config.AnalogConfig.Variant = 0;
        config.AnalogConfig.Inputs[0].SensorIndex = 2;
        TForm_Konmst editor(context);
        editor.show();
        if (c.pressVariant) editor.BitBtn5->click();
        EXPECT_EQ(editor.BitBtn5->text(), QString::fromUtf8(c.caption));
        EXPECT_TRUE(editor.L_KonstPolyn->text().contains(QString::fromLatin1(c.shownC)))
            << editor.L_KonstPolyn->text().toStdString();
        editor.BitBtn4->click();
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(editor.result(), 6);
        EXPECT_TRUE(config.SendPending);
        EXPECT_FLOAT_EQ(config.AnalogImage.C[0], c.sentC);
        EXPECT_FLOAT_EQ(fileC0(), c.sentC);
    }
}

TEST_F(AnalogEditorTest, FileChoiceAppendsExtensionInUpperCase) {
    chosenPath = path("x.txt");
    TForm_Konmst editor(context);
    editor.show();
    editor.Browse->click();
    EXPECT_EQ(lastFilter, QStringLiteral("*.cfa"));
    EXPECT_EQ(config.AnalogFileName, "X.TXT.CFA");
    EXPECT_EQ(config.AnalogDirectory, qStringToCp1250(dir.path()) + "/");
    EXPECT_EQ(text(editor, "Edit_5"), QStringLiteral("X.TXT.CFA"));
    // The new file is initialised with the defaults after the loader's message.
    EXPECT_EQ(readBytes("X.TXT.CFA").size(), kAnalogFileSize);
    ASSERT_FALSE(rec.calls.empty());
    EXPECT_EQ(rec.calls[0].text2, "Soubor bude inicializován");
    EXPECT_EQ(QDir::currentPath(), dir.path());
}

TEST_F(AnalogEditorTest, FileChoiceShowsTheVariantAndConstantsOfTheLoadedFile) {
    ConfigState other = config;
    other.AnalogConfig.Variant = 1;
    const std::vector<std::uint8_t> bytes = encodeAnalogFile(other);
    QFile file(path("V12.CFA"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();

    chosenPath = path("v12.cfa");
    TForm_Konmst editor(context);
    editor.show();
    EXPECT_EQ(editor.BitBtn5->text(), QStringLiteral("K&ALU - 11"));
    editor.Browse->click();
    EXPECT_EQ(config.AnalogConfig.Variant, 1);
    EXPECT_EQ(editor.BitBtn5->text(), QStringLiteral("K&ALU - 12"));
    EXPECT_TRUE(editor.L_KonstPolyn->text().contains(QStringLiteral("; c=1.0000000E+00")));
}

TEST_F(AnalogEditorTest, FileChoiceThatCannotTakeTheExtensionLoadsNothing) {
    chosenPath = path(QString(260, 'a'));
    TForm_Konmst editor(context);
    editor.show();
    editor.Browse->click();
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, "Vyberte soubor s příponou.CFA");
    EXPECT_EQ(rec.calls[0].text2, "");
    EXPECT_EQ(config.AnalogFileName, "KonfigA.cfa");

    chosenPath.clear();  // the user cancels the dialog
    editor.Browse->click();
    EXPECT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(config.AnalogFileName, "KonfigA.cfa");
}

TEST_F(AnalogEditorTest, ResponseDelayGivesTimeouts) {
    struct Case {
        const char* delay;
        int baudIndex;
        std::uint16_t reply;
        std::uint16_t poll;
    };
    const Case cases[] = {
        {"15", 3, 200, 100}, {"255", 3, 2550, 510}, {"255", 0, 7650, 1530}, {"1", 0, 600, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delay);
        TForm_Konmst editor(context);
        editor.show();
        type(editor, "Edit_1", c.delay);
        choose(editor, "ComboBox_46", c.baudIndex);
        editor.BitBtn1->click();
        EXPECT_FALSE(editor.isVisible());
        ASSERT_TRUE(context.outcome.timing.has_value());
        EXPECT_EQ(context.outcome.timing->replyTimeout, c.reply);
        EXPECT_EQ(context.outcome.timing->pollInterval, c.poll);
        EXPECT_EQ(channel1().BaudIndex, c.baudIndex);
        EXPECT_EQ(config.AnalogImage.ResponseDelay, std::stoi(c.delay));
        EXPECT_EQ(readBytes("KonfigA.cfa")[AnalogConfig::kSize], std::stoi(c.delay));
        EXPECT_TRUE(context.outcome.restartScan);
        EXPECT_TRUE(context.outcome.analogSendFromStart);
        EXPECT_FALSE(config.SendPending);
    }
}

TEST_F(AnalogEditorTest, CancelSavesNothingAndKeepsThePort) {
    const std::vector<std::uint8_t> before = readBytes("KonfigA.cfa");
    const std::vector<std::uint8_t> comBefore = readBytes("COM.CFG");
    const AnalogImage imageBefore = config.AnalogImage;
    ASSERT_EQ(channel1().BaudIndex, 3);
    config.SendPending = true;
    {
        TForm_Konmst editor(context);
        editor.show();
        choose(editor, "ComboBox_45", 1);
        choose(editor, "ComboBox_46", 1);  // 9600 Bd
        EXPECT_EQ(editor.L_Nastaveno->text(), QStringLiteral("COM5"));
        // A click on a field stores the typed name in memory at once.
        type(editor, "Edit_51", "Kotel");
        QTest::mouseClick(control<QLineEdit>(editor, "Edit_52"), Qt::LeftButton);
        EXPECT_EQ(config.AnalogConfig.Inputs[1].Name, "Kotel");
        EXPECT_EQ(editor.currentInput(), 3);
        editor.BitBtn2->click();

        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(editor.result(), 2);
        EXPECT_FALSE(config.SendPending);
        EXPECT_EQ(channel1().PortNumber, 0);  // still TCP: the list index never became a port
        EXPECT_EQ(channel1().BaudIndex, 3);   // the rate chosen before "Zrušit" is dropped
        EXPECT_EQ(readBytes("KonfigA.cfa"), before);
        EXPECT_EQ(readBytes("COM.CFG"), comBefore);
        EXPECT_EQ(config.AnalogImage.toBytes(), imageBefore.toBytes());
    }
    // The next save writes the rate that was in force, not the cancelled one.
    TForm_Konmst next(context);
    next.show();
    next.BitBtn1->click();
    EXPECT_FALSE(next.isVisible());
    ASSERT_EQ(readBytes("COM.CFG").size(), 264u);
    EXPECT_EQ(readBytes("COM.CFG")[2], 3);
}

TEST_F(AnalogEditorTest, PortFollowsTheChosenDeviceName) {
    struct Case {
        std::vector<std::string> found;
        std::uint8_t portBefore;
        int choice;  // -1: no choice
        std::uint8_t portAfter;
    };
    const Case cases[] = {
        {{"COM2", "COM5"}, 0, 1, 5},  // item 1 names COM5, not port 1
        {{"COM2", "COM5"}, 3, -1, 3},
        {{}, 0, -1, 0},  // no serial port found: TCP stays TCP
        {{}, 12, -1, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.portAfter);
        foundPorts = c.found;
        channels.PortSearchPending = true;
        channel1().PortNumber = c.portBefore;
        TForm_Konmst editor(context);
        editor.show();
        auto* list = control<QComboBox>(editor, "ComboBox_45");
        ASSERT_EQ(list->count(), static_cast<int>(c.found.size()));
        if (!c.found.empty()) {
            EXPECT_EQ(list->itemText(1), QStringLiteral("COM 5"));
        }
        if (c.choice >= 0) choose(editor, "ComboBox_45", c.choice);
        editor.BitBtn1->click();
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(channel1().PortNumber, c.portAfter);
        EXPECT_EQ(channels.SelectedPortName, "COM" + std::to_string(c.portAfter));
    }
}

TEST_F(AnalogEditorTest, PortSearchRunsOncePerProgramRun) {
    { TForm_Konmst first(context); }
    TForm_Konmst second(context);
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(channels.PortSearchPending);
}

TEST_F(AnalogEditorTest, OutOfRangeFieldsAreRefusedWithTheirMessages) {
    struct Case {
        const char* field;
        const char* value;
        const char* text1;
        const char* text2;
    };
    const Case cases[] = {
        {"Edit_1", "0", "Překročen povolený rozsah u položky: 0",
         "Min.hodnota: 1.0 Max.hodnota: 255.0"},
        {"Edit_1", "256", "Překročen povolený rozsah u položky: 256",
         "Min.hodnota: 1.0 Max.hodnota: 255.0"},
        {"Edit_4", "32", "Překročen povolený rozsah u položky: 32",
         "Min.hodnota: 0.0 Max.hodnota: 31.0"},
        // The blank markers are no values of these fields.
        {"Edit_1", "-2147483647", "Překročen povolený rozsah u položky: -2147483647",
         "Min.hodnota: 1.0 Max.hodnota: 255.0"},
        {"Edit_4", "32767", "Překročen povolený rozsah u položky: 32767",
         "Min.hodnota: 0.0 Max.hodnota: 31.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        rec.calls.clear();
        TForm_Konmst editor(context);
        editor.show();
        type(editor, c.field, c.value);
        editor.BitBtn1->click();
        EXPECT_TRUE(editor.isVisible());
        ASSERT_EQ(rec.calls.size(), 1u);
        EXPECT_EQ(rec.calls[0].text1, c.text1);
        EXPECT_EQ(rec.calls[0].text2, c.text2);
        EXPECT_EQ(fields.FirstInvalidControl, control<QLineEdit>(editor, c.field));
        EXPECT_EQ(config.AnalogImage.ResponseDelay, 20);
        EXPECT_EQ(config.AnalogConfig.ModuleAddress, 0);
        editor.BitBtn2->click();
        EXPECT_FALSE(editor.isVisible());
    }
}

// A refused field is reported on every click and sensor choice, but the user keeps typing
// where they are; only the refused close leads them to the first refused field.
TEST_F(AnalogEditorTest, OnlyTheRefusedCloseMovesTheFocus) {
    TForm_Konmst editor(context);
    editor.show();
    type(editor, "Edit_1", "0");
    auto* name = control<QLineEdit>(editor, "Edit_52");
    name->setFocus();
    QTest::mouseClick(name, Qt::LeftButton);
    EXPECT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(editor.focusWidget(), name);
    choose(editor, "ComboBox_212", 1);
    EXPECT_EQ(rec.calls.size(), 3u);  // the click on the list and the choice itself
    type(editor, "Edit_1", "0");      // the choice showed the stored delay again
    editor.Edit_50Click(name);
    EXPECT_EQ(editor.focusWidget(), name);

    editor.BitBtn1->click();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.focusWidget(), control<QLineEdit>(editor, "Edit_1"));
}

}  // namespace
}  // namespace velor::test
