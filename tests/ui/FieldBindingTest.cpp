#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>
#include <array>

#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"
#include "ui/FieldBinding.h"
#include "ui/ModalResult.h"
#include "ui/NumberText.h"
#include "ui/RadioGroup.h"

namespace velor {
namespace {

template <class W>
W* add(QDialog& d, const char* name) {
    auto* w = new W(&d);
    w->setObjectName(name);
    return w;
}

FieldDescriptor fd(std::uint8_t no, std::uint8_t kind, FieldData data, float min = 0, float max = 0,
                   std::string items = {}, std::uint8_t mode = kModeNormal) {
    FieldDescriptor f;
    f.ControlNo = no;
    f.Kind = kind;
    f.Mode = mode;
    f.Data = data;
    f.MinValue = min;
    f.MaxValue = max;
    f.ItemList = std::move(items);
    return f;
}

class FieldBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousHook_ = setFormEndHook([this] { ++ends; });
    }
    void TearDown() override { setFormEndHook(previousHook_); }

    void bind(std::initializer_list<FieldDescriptor> fields) {
        clearFieldTable(state);
        for (const auto& f : fields) appendField(state, f);
    }
    bool validate(int result = kModalOk) {
        dialog.setResult(result);
        bool ok = false;
        ValidateForm(state, dialog, ok);
        return ok;
    }

    test::MessageRecorder rec;
    FieldBindingState state;
    QDialog dialog;
    int ends = 0;

private:
    FormEndHook previousHook_;
};

TEST_F(FieldBindingTest, EveryKindLoadsAndReadsBack) {
    auto* label = add<QLabel>(dialog, "Label_10");
    auto* multi = add<QListWidget>(dialog, "ListBox_11");
    multi->setSelectionMode(QAbstractItemView::MultiSelection);
    auto* comboIdx = add<QComboBox>(dialog, "ComboBox_12");
    auto* comboText = add<QComboBox>(dialog, "ComboBox_13");
    comboText->setEditable(true);
    auto* check = add<QCheckBox>(dialog, "CheckBox_14");
    auto* radio = add<RadioGroup>(dialog, "RadioGroup_15");
    radio->setItems({"a", "b", "c"});
    auto* e6 = add<QLineEdit>(dialog, "Edit_16");
    auto* e7 = add<QLineEdit>(dialog, "Edit_17");
    auto* e8 = add<QLineEdit>(dialog, "Edit_18");
    auto* e9 = add<QLineEdit>(dialog, "Edit_19");
    auto* e10 = add<QLineEdit>(dialog, "Edit_20");
    auto* e11 = add<QLineEdit>(dialog, "Edit_21");
    auto* e12 = add<QLineEdit>(dialog, "Edit_22");
    auto* caption = add<QCheckBox>(dialog, "Cap_23");
    caption->setText("designed");
    auto* spin = add<QSpinBox>(dialog, "Spin_24");
    auto* e15 = add<QLineEdit>(dialog, "Edit_25");
    auto* e16 = add<QLineEdit>(dialog, "Edit_26");

    std::array<std::uint8_t, kListFlagCount> flags{};
    flags[1] = flags[2] = 1;
    std::uint8_t idx = 2, ticked = 1, radioIdx = 1;
    std::string text3 = "free", text6 = "N\xe1zev";  // "Název" in code page 1250
    std::array<char, 8> buf{'a', 'b', 0};
    double d8 = 2.5;
    std::int16_t i9 = 7, i10 = kBlankInt16, i14 = 3;
    std::int32_t i11 = 100000, i12 = kBlankInt32;
    float f15 = 0.125f, f16 = EmptyFloat;
    const std::string items = makeItemList({"x", "y", "z"});
    bind({fd(10, kKindLabel, {}, 0, 0, std::string("0:\0", 3)),
          fd(11, kKindListBox, std::span<std::uint8_t>(flags), 0, 0, items),
          fd(12, kKindComboIndex, &idx, 0, 0, items), fd(13, kKindComboText, &text3, 0, 11, items),
          fd(14, kKindCheckBox, &ticked), fd(15, kKindRadioGroup, &radioIdx),
          fd(16, kKindEditText, &text6, 0, 31), fd(17, kKindEditBuffer, std::span<char>(buf), 0, 8),
          fd(18, kKindEditDouble, &d8, 0, 10), fd(19, kKindEditInt16, &i9, 0, 8),
          fd(20, kKindEditInt16Blank, &i10, 0, 8), fd(21, kKindEditInt32, &i11, 0, 1e6f),
          fd(22, kKindEditInt32Blank, &i12, 0, 10), fd(23, kKindCaption, {}, 0, 0, "Nov\xfd"),
          fd(24, kKindSpinInt16, &i14, 0.4f, 9.6f), fd(25, kKindEditFloat, &f15, 0, 1),
          fd(26, kKindEditFloatBlank, &f16, 0, 1)});
    SetupForm(state, dialog);

    EXPECT_EQ(label->text(), "0:");
    EXPECT_EQ(multi->count(), 3);
    EXPECT_FALSE(multi->item(0)->isSelected());
    EXPECT_TRUE(multi->item(2)->isSelected());
    EXPECT_EQ(comboIdx->currentIndex(), 2);
    EXPECT_EQ(comboText->currentText(), "free");
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(radio->itemIndex(), 1);
    EXPECT_EQ(e6->text(), QString::fromUtf8("Název"));
    EXPECT_EQ(e6->maxLength(), 30);
    EXPECT_EQ(e7->text(), "ab");
    EXPECT_EQ(e8->text(), "2.5");
    EXPECT_EQ(e9->text(), "7");
    EXPECT_EQ(e10->text(), "");
    EXPECT_EQ(e11->text(), "100000");
    EXPECT_EQ(e12->text(), "");
    EXPECT_EQ(caption->text(), QString::fromUtf8("Nový"));
    EXPECT_EQ(spin->minimum(), 0);
    EXPECT_EQ(spin->maximum(), 10);
    EXPECT_EQ(spin->value(), 3);
    EXPECT_EQ(e15->text(), "0.125");
    EXPECT_EQ(e16->text(), "");

    multi->item(0)->setSelected(true);
    multi->item(2)->setSelected(false);
    comboIdx->setCurrentIndex(0);
    comboText->setEditText("typed");
    check->setChecked(false);
    radio->setItemIndex(2);
    e6->setText(QString::fromUtf8("Žluť"));
    e7->setText("xyz");
    e8->setText("9.75");
    e9->setText("8");
    e10->setText("");
    e11->setText("12");
    e12->setText("4");
    spin->setValue(9);
    e15->setText("1");
    e16->setText("0.5");
    ASSERT_TRUE(validate());
    EXPECT_TRUE(rec.calls.empty());

    EXPECT_EQ(flags[0], 1);
    EXPECT_EQ(flags[1], 1);
    EXPECT_EQ(flags[2], 0);
    EXPECT_EQ(idx, 0);
    EXPECT_EQ(text3, "typed");
    EXPECT_EQ(ticked, 0);
    EXPECT_EQ(radioIdx, 2);
    EXPECT_EQ(text6, "\x8elu\x9d");  // "Žluť" in code page 1250
    EXPECT_EQ(std::string(buf.data()), "xyz");
    EXPECT_EQ(d8, 9.75);
    EXPECT_EQ(i9, 8);
    EXPECT_EQ(i10, kBlankInt16);
    EXPECT_EQ(i11, 12);
    EXPECT_EQ(i12, 4);
    EXPECT_EQ(i14, 9);
    EXPECT_EQ(f15, 1.0f);
    EXPECT_EQ(f16, 0.5f);
    EXPECT_EQ(ends, 0);
}

TEST_F(FieldBindingTest, ModesAndCancel) {
    auto* red = add<QLabel>(dialog, "Label_1");
    auto* disabled = add<QLineEdit>(dialog, "Edit_2");
    auto* password = add<QLineEdit>(dialog, "Edit_3");
    auto* hidden = add<QLineEdit>(dialog, "Edit_4");
    hidden->setText("untouched");
    std::string a = "a", b = "secret", c = "c";
    std::int16_t h = 1;
    bind({fd(1, kKindLabel, {}, 0, 0, "R", kModeRed),
          fd(2, kKindEditText, &a, 0, 5, {}, kModeDisabled),
          fd(3, kKindEditText, &b, 0, 10, {}, kModePassword),
          fd(4, kKindEditInt16, &h, 0, 8, {}, kModeHidden)});
    dialog.show();
    SetupForm(state, dialog);
    EXPECT_EQ(red->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_FALSE(disabled->isEnabled());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_EQ(hidden->text(), "untouched");

    disabled->setText("bb");
    hidden->setText("junk");  // never read back, so no message
    for (int result : {kModalNone, kModalCancel}) {
        EXPECT_TRUE(validate(result));
        EXPECT_EQ(a, "a");
    }
    EXPECT_TRUE(validate(kModalYes));
    EXPECT_EQ(a, "bb");
    EXPECT_EQ(h, 1);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(FieldBindingTest, ControlLookupUsesTheTextAfterTheFirstUnderscore) {
    auto* padded = add<QLineEdit>(dialog, "Edit_025");
    auto* bare = add<QLineEdit>(dialog, "25");
    auto* twice = add<QLineEdit>(dialog, "A_7_8");
    auto* nested = new QLineEdit(add<QWidget>(dialog, "Panel1"));
    nested->setObjectName("Edit_30");
    EXPECT_EQ(FindFieldControl(dialog, 25), bare);
    EXPECT_EQ(FindFieldControl(dialog, 30), nested);
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(FindFieldControl(dialog, 8), nullptr);
    EXPECT_EQ(FindFieldControl(dialog, 7), nullptr);
    EXPECT_NE(padded, bare);
    EXPECT_NE(twice, nullptr);

    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[0].text1, "Chyba definice formulare");
    EXPECT_EQ(rec.calls[0].text2, "");
    EXPECT_EQ(rec.calls[0].kind, 2u);
    EXPECT_EQ(rec.calls[0].iconSet, 1);
    EXPECT_EQ(ends, 2);
}

TEST_F(FieldBindingTest, DefinitionErrorsStopTheOperation) {
    add<QLineEdit>(dialog, "Edit_1");
    add<QLabel>(dialog, "Label_2");
    std::int16_t v = 1;
    std::int32_t w = 1;
    const struct {
        FieldDescriptor field;
        const char* what;
    } cases[] = {
        {fd(9, kKindEditInt16, &v, 0, 8), "no such control"},
        {fd(1, kKindEditInt16, &w, 0, 8), "variable of the wrong width"},
        {fd(2, kKindEditInt16, &v, 0, 8), "label for an edit"},
    };
    for (const auto& c : cases) {
        rec.calls.clear();
        ends = 0;
        bind({c.field});
        SetupForm(state, dialog);
        EXPECT_EQ(validate(), false) << c.what;
        EXPECT_EQ(ends, 2) << c.what;
        ASSERT_EQ(rec.calls.size(), 2u) << c.what;
        EXPECT_EQ(rec.calls[1].text1, "Chyba definice formulare");
        EXPECT_EQ(v, 1);
        EXPECT_EQ(w, 1);
    }
}

TEST_F(FieldBindingTest, SingleSelectionListAndRadioWithoutCurrentItem) {
    auto* list = add<QListWidget>(dialog, "ListBox_1");
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* radio = add<RadioGroup>(dialog, "RadioGroup_2");
    radio->setItems({"a", "b"});
    std::array<std::uint8_t, 3> flags{};
    std::uint8_t choice = 9;  // beyond the buttons: clamped on display
    bind({fd(1, kKindListBox, std::span<std::uint8_t>(flags), 0, 0,
             makeItemList({"p", "q", "r", "s"})),
          fd(2, kKindRadioGroup, &choice)});
    SetupForm(state, dialog);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(radio->itemIndex(), 1);
    ASSERT_TRUE(validate());
    EXPECT_EQ(flags, (std::array<std::uint8_t, 3>{1, 0, 0}));
    EXPECT_EQ(choice, 1);

    // A fourth item beyond the three flags of the variable, and no current item at all.
    list->setCurrentRow(3);
    ASSERT_TRUE(validate());
    EXPECT_EQ(flags, (std::array<std::uint8_t, 3>{0, 0, 0}));
    list->setCurrentRow(-1);
    radio->setItemIndex(-1);
    ASSERT_TRUE(validate());
    EXPECT_EQ(flags, (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(choice, 1);
}

TEST_F(FieldBindingTest, RefusedFieldsGiveMessagesInTableOrderAndFocusTheFirst) {
    auto* e1 = add<QLineEdit>(dialog, "Edit_1");
    auto* e2 = add<QLineEdit>(dialog, "Edit_2");
    auto* e3 = add<QLineEdit>(dialog, "Edit_3");
    auto* e4 = add<QLineEdit>(dialog, "Edit_4");
    std::int16_t a = 1, b = 1, c = 1;
    float f = 1;
    // Table order differs from creation order.
    bind({fd(3, kKindEditInt16, &a, 0, 31), fd(2, kKindEditInt16, &b, 0, 31),
          fd(1, kKindEditFloat, &f, -10000, 10000), fd(4, kKindEditInt16, &c, 0, 31)});
    dialog.show();
    SetupForm(state, dialog);
    e3->setText("32");
    e2->setText("");
    e1->setText("-99000005");
    e4->setText("5");
    e4->setFocus();  // the user is typing here
    EXPECT_FALSE(validate());
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[0].text1, "Překročen povolený rozsah u položky: 32");
    EXPECT_EQ(rec.calls[0].text2, "Min.hodnota: 0.0 Max.hodnota: 31.0");
    EXPECT_EQ(rec.calls[1].text1, "Neplatné zadání");
    EXPECT_EQ(rec.calls[1].text2, "");
    for (const auto& call : rec.calls) {
        EXPECT_EQ(call.kind, 2u);
        EXPECT_EQ(call.iconSet, 1);
    }
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);
    EXPECT_FLOAT_EQ(f, -99000005.0f);  // counts as blank, so accepted
    EXPECT_EQ(c, 5);
    EXPECT_TRUE(state.FirstInvalidSeen);
    EXPECT_EQ(state.FirstInvalidControl, e3);
    // The check itself leaves the focus alone; only a refused close moves it.
    EXPECT_EQ(dialog.focusWidget(), e4);
}

TEST_F(FieldBindingTest, CombosTakeTypedTexts) {
    auto* byIndex = add<QComboBox>(dialog, "ComboBox_1");
    byIndex->setEditable(true);
    auto* byText = add<QComboBox>(dialog, "ComboBox_2");
    byText->setEditable(true);
    std::uint8_t idx = 0;
    std::string text;
    const std::string items = makeItemList({"COM1", "COM3"});
    bind({fd(1, kKindComboIndex, &idx, 0, 0, items), fd(2, kKindComboText, &text, 0, 6, items)});
    SetupForm(state, dialog);
    byIndex->setEditText("COM3");
    QApplication::clipboard()->setText("COM3 and more");
    byText->lineEdit()->clear();
    byText->lineEdit()->paste();
    ASSERT_TRUE(validate());
    EXPECT_EQ(idx, 1);
    EXPECT_EQ(text, "COM3 ");  // cut to MaxValue - 1 characters, no message

    byIndex->setEditText("COM9");
    EXPECT_FALSE(validate());
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, "Neplatné zadání");
    EXPECT_EQ(rec.calls[0].text2, "COM9");
    EXPECT_EQ(idx, 1);
}

TEST_F(FieldBindingTest, WideSixteenBitFieldsRoundTripAsUnsigned) {
    auto* edit = add<QLineEdit>(dialog, "Edit_30");
    auto* spin = add<QSpinBox>(dialog, "Spin_31");
    std::int16_t filter = 0, spun = 0;
    bind({fd(30, kKindEditInt16, &filter, 0, 65535), fd(31, kKindSpinInt16, &spun, 0, 65535)});
    SetupForm(state, dialog);
    edit->setText("40000");
    spin->setValue(40000);
    ASSERT_TRUE(validate());
    EXPECT_EQ(static_cast<std::uint16_t>(filter), 40000);
    EXPECT_EQ(static_cast<std::uint16_t>(spun), 40000);
    edit->clear();
    SetupForm(state, dialog);
    EXPECT_EQ(edit->text(), "40000");
    EXPECT_EQ(spin->value(), 40000);
}

TEST_F(FieldBindingTest, SpinValueOutsideItsBoundsIsRefusedNotClamped) {
    auto* spin = add<QSpinBox>(dialog, "Spin_1");
    std::int16_t v = 50;
    bind({fd(1, kKindSpinInt16, &v, 0, 10)});
    SetupForm(state, dialog);
    EXPECT_EQ(spin->cleanText(), "50");
    EXPECT_FALSE(validate());
    EXPECT_EQ(v, 50);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, "Překročen povolený rozsah u položky: 50");
}

}  // namespace
}  // namespace velor
