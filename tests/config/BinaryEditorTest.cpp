// The binary module editor driven through its real controls, offscreen.

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "EditorFixture.h"
#include "config/BinaryEditor.h"
#include "ui/Cp1250.h"

namespace velor::test {
namespace {

using BinaryEditorTest = EditorFixture;

TEST_F(BinaryEditorTest, ScrollingStoresTypedValuesAndReachesTheLastInputs) {
    TForm_BKonmst editor(context);
    editor.show();
    EXPECT_EQ(editor.ScrollBar1->maximum(), 56);
    EXPECT_EQ(editor.ScrollBar1->pageStep(), 8);
    EXPECT_EQ(editor.ScrollBar1->singleStep(), 1);
    type(editor, "Edit_153", "77");
    type(editor, "Edit_203", "78");
    type(editor, "Edit_53", "Hladina");
    type(editor, "Edit_1", "45");
    type(editor, "Edit_2", "700");

    editor.ScrollBar1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    // The typed delay and time-out survive the scroll (the image still holds the old ones).
    EXPECT_EQ(text(editor, "Edit_1"), QStringLiteral("45"));
    EXPECT_EQ(text(editor, "Edit_2"), QStringLiteral("700"));
    EXPECT_EQ(editor.base(), 8);
    EXPECT_EQ(config.BinaryConfig.Inputs[3].FilterL, 77);
    EXPECT_EQ(config.BinaryConfig.Inputs[3].FilterH, 78);
    EXPECT_EQ(config.BinaryConfig.Inputs[3].Name, "Hladina");
    EXPECT_EQ(control<QLabel>(editor, "Label_10")->text(), QStringLiteral("9:"));
    EXPECT_EQ(text(editor, "Edit_153"), QStringLiteral("1"));

    editor.ScrollBar1->setValue(56);
    EXPECT_EQ(editor.base(), 56);
    EXPECT_EQ(control<QLabel>(editor, "Label_10")->text(), QStringLiteral("57:"));
    EXPECT_EQ(control<QLabel>(editor, "Label_17")->text(), QStringLiteral("64:"));
    EXPECT_EQ(text(editor, "Edit_57"), cp1250ToQString(config.BinaryConfig.Inputs[63].Name));
    type(editor, "Edit_157", "200");

    editor.ScrollBar1->setValue(0);
    EXPECT_EQ(text(editor, "Edit_153"), QStringLiteral("77"));
    EXPECT_EQ(config.BinaryConfig.Inputs[63].FilterL, 200);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(BinaryEditorTest, FilterIntervalsOutsideOneTo255AreRefused) {
    struct Case {
        const char* value;
        bool accepted;
    };
    const Case cases[] = {
        {"0", false}, {"256", false}, {"32767", false}, {"255", true}, {"1", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        rec.calls.clear();
        config.BinaryConfig.Inputs[0].FilterH = 5;
        TForm_BKonmst editor(context);
        editor.show();
        type(editor, "Edit_200", c.value);
        editor.BitBtn1->click();
        EXPECT_EQ(editor.isVisible(), !c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(rec.calls.empty());
            EXPECT_EQ(config.BinaryImage.FilterH[0], std::stoi(c.value));
            EXPECT_EQ(readBytes("KonfigB.cfb")[BinaryConfig::kSize + 8], std::stoi(c.value));
            continue;
        }
        ASSERT_EQ(rec.calls.size(), 1u);
        EXPECT_EQ(rec.calls[0].text1,
                  std::string("Překročen povolený rozsah u položky: ") + c.value);
        EXPECT_EQ(rec.calls[0].text2, "Min.hodnota: 1.0 Max.hodnota: 255.0");
        EXPECT_EQ(config.BinaryConfig.Inputs[0].FilterH, 5);
        editor.BitBtn2->click();
    }
}

TEST_F(BinaryEditorTest, EachSendButtonSelectsExactlyOneTarget) {
    struct Case {
        const char* button;
        bool inputs, outputs, mokr, zepa;
    };
    // ZEPA first, then TEW: only the last choice stays.
    const Case cases[] = {{"BitBtn7", false, false, false, true},
                          {"BitBtn4", false, true, false, false},
                          {"BitBtn5", true, false, false, false},
                          {"BitBtn6", false, false, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        TForm_BKonmst editor(context);
        editor.show();
        control<QPushButton>(editor, c.button)->click();
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(editor.result(), 6);
        EXPECT_TRUE(config.SendPending);
        EXPECT_EQ(config.SendBinaryInputs, c.inputs);
        EXPECT_EQ(config.SendBinaryOutputs, c.outputs);
        EXPECT_EQ(config.SendMokr, c.mokr);
        EXPECT_EQ(config.SendZepa, c.zepa);
        EXPECT_EQ(control<QPushButton>(editor, c.button)->toolTip(),
                  QStringLiteral("Nastavení a konfigurace jednotky LORK"));
    }
}

TEST_F(BinaryEditorTest, FreshFileShowsOneAndOkRebuildsTheImageWithIt) {
    // The fixture's loader created KonfigB.cfb: records hold 1, the image 10.
    EXPECT_EQ(config.BinaryImage.FilterL[0], 10);
    TForm_BKonmst editor(context);
    editor.show();
    EXPECT_EQ(text(editor, "Edit_150"), QStringLiteral("1"));
    EXPECT_EQ(text(editor, "Edit_200"), QStringLiteral("1"));
    editor.BitBtn1->click();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_FALSE(config.SendPending);
    for (std::size_t i = 0; i < kBinaryInputCount; ++i) {
        EXPECT_EQ(config.BinaryImage.FilterL[i], 1);
        EXPECT_EQ(config.BinaryImage.FilterH[i], 1);
    }
}

TEST_F(BinaryEditorTest, FileChoiceLoadsTheUpperCaseCfbAndReturnsToTheTop) {
    chosenPath = path("dily.cfb");
    TForm_BKonmst editor(context);
    editor.show();
    editor.ScrollBar1->setValue(16);
    editor.Browse->click();
    EXPECT_EQ(lastFilter, QStringLiteral("*.cfb"));
    EXPECT_EQ(config.BinaryFileName, "DILY.CFB");
    EXPECT_EQ(readBytes("DILY.CFB").size(), kBinaryFileSize);
    EXPECT_EQ(editor.base(), 0);
    EXPECT_EQ(control<QLabel>(editor, "Label_10")->text(), QStringLiteral("1:"));
    EXPECT_EQ(text(editor, "Edit_5"), QStringLiteral("DILY.CFB"));
}

TEST_F(BinaryEditorTest, LongChosenFileNameIsSavedUnderTheSameName) {
    // Longer than the 19 characters a short file field would keep.
    chosenPath = path("rozvadec_hala_vychod_2.cfb");
    TForm_BKonmst editor(context);
    editor.show();
    editor.Browse->click();
    EXPECT_EQ(text(editor, "Edit_5"), QStringLiteral("ROZVADEC_HALA_VYCHOD_2.CFB"));
    type(editor, "Edit_150", "9");
    editor.BitBtn1->click();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(config.BinaryFileName, "ROZVADEC_HALA_VYCHOD_2.CFB");
    EXPECT_EQ(readBytes("ROZVADEC_HALA_VYCHOD_2.CFB")[32], 9);
}

// Names the code page cannot store: a typed or pasted input name keeps only what it can store,
// and a chosen file name is refused before anything is loaded, so two such files never meet
// under one stored name.
TEST_F(BinaryEditorTest, TextsTheCodePageCannotStoreAreRefused) {
    TForm_BKonmst editor(context);
    editor.show();
    auto* name = control<QLineEdit>(editor, "Edit_50");
    ASSERT_NE(name, nullptr);
    name->clear();
    name->insert(QStringLiteral("Čerpadlo"));  // as a paste: the whole text is checked
    name->insert(QStringLiteral(" Насос"));
    name->insert(QString::fromUtf16(u" \U0001F600"));
    for (const QString& key : {QStringLiteral(" "), QStringLiteral("Ж"), QStringLiteral("2")}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
        QCoreApplication::sendEvent(name, &press);
    }
    EXPECT_EQ(name->text(), QStringLiteral("Čerpadlo 2"));

    const std::vector<std::uint8_t> before = readBytes("KonfigB.cfb");
    for (const QString& chosen : {path("насос.cfb"), path("вентиль.cfb")}) {
        SCOPED_TRACE(chosen.toStdString());
        rec.calls.clear();
        chosenPath = chosen;
        editor.Browse->click();
        ASSERT_EQ(rec.calls.size(), 1u);
        EXPECT_EQ(rec.calls[0].text1,
                  "Název souboru obsahuje znaky, které nelze uložit: " + chosen.toStdString());
        EXPECT_EQ(config.BinaryFileName, "KonfigB.cfb");
    }
    editor.BitBtn1->click();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(config.BinaryConfig.Inputs[0].Name, utf8ToCp1250("Čerpadlo 2"));
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList({"COM.CFG", "KonfigA.cfa", "KonfigB.cfb"})) << files.size();
    EXPECT_NE(readBytes("KonfigB.cfb"), before);
}

TEST_F(BinaryEditorTest, CancelKeepsFileAndPort) {
    const std::vector<std::uint8_t> before = readBytes("KonfigB.cfb");
    TForm_BKonmst editor(context);
    editor.show();
    choose(editor, "ComboBox_40", 0);
    choose(editor, "ComboBox_41", 4);  // 57600 Bd, stored by the check of the next scroll
    EXPECT_EQ(editor.L_Nastaveno->text(), QStringLiteral("COM2"));
    editor.ScrollBar1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    editor.BitBtn2->click();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(channel1().PortNumber, 0);
    EXPECT_EQ(channel1().BaudIndex, 3);
    EXPECT_EQ(readBytes("KonfigB.cfb"), before);
}

TEST_F(BinaryEditorTest, ScrollingPastARefusedFieldLeavesTheFocusAlone) {
    TForm_BKonmst editor(context);
    editor.show();
    type(editor, "Edit_150", "0");
    auto* name = control<QLineEdit>(editor, "Edit_53");
    name->setFocus();
    editor.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(editor.focusWidget(), name);
}

}  // namespace
}  // namespace velor::test
