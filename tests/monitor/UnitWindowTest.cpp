// The five unit windows, offscreen: what they show, what their buttons switch, and what
// closing them does to the registry and the address scan.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <vector>

#include "comm/ByteCodec.h"
#include "monitor/KaluWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "monitor/UnitWindows.h"
#include "support/QtAppEnvironment.h"
#include "support/TextFits.h"

namespace velor {
namespace {

// The part of the polling loop's state a closing window resets.
struct FakeLoop {
    int monitoredKind = 1;
    int scanAddress = 7;
    std::array<bool, 32> addressFound{};
    std::vector<ScanReset> resets;

    void attach(UnitWindows& w) {
        w.monitoringStopped = [this](ScanReset r) {
            resets.push_back(r);
            monitoredKind = 5;
            scanAddress = 0;
            if (r == ScanReset::AddressAndFlags) addressFound.fill(false);
        };
    }
};

class UnitWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.addressFound[3] = true;
        loop.attach(windows);
    }

    // What the polling loop does with a successful poll of kind: decode it when its window
    // is open, with the outputs the KALU window keeps in the selections, and have it painted.
    bool deliver(RequestKind kind, const std::vector<std::uint8_t>& a) {
        if (!windows.isOpen(kind)) return true;
        const DecodeResult r = DecodeAnswer(kind, a, formats, sel.KaluTypedOutputs, sel, st);
        if (r.decoded) showAnswer(windows, r);
        return r.decoded;
    }

    UnitSelections sel;
    DecoderState st;
    KaluFormats formats{};
    FakeLoop loop;
    UnitWindows windows;
};

std::vector<std::uint8_t> tevAnswer(std::uint16_t w0, std::uint16_t w1) {
    std::vector<std::uint8_t> a(100);
    for (int k = 0; k < 50; ++k) codec::putU16(a, 2 * k, static_cast<std::uint16_t>(100 + k));
    codec::putU16(a, 0, w0);
    codec::putU16(a, 2, w1);
    return a;
}

QColor base(QLineEdit* e) {
    return e->palette().color(QPalette::Base);
}
QColor font(QAbstractButton* b) {
    return b->palette().color(QPalette::ButtonText);
}
const QColor kRed(255, 0, 0);

TEST_F(UnitWindowTest, KaluLayoutAndVariant) {
    auto* w = new TForm_Okno(sel, 1);
    windows.add(w);
    EXPECT_EQ(windows.kalu(), w);
    EXPECT_EQ(w->size(), QSize(641, 322));
    EXPECT_EQ(w->variantLabel()->text(), QStringLiteral("  KALU -  12      "));
    EXPECT_TRUE(w->font().bold());
    EXPECT_TRUE(w->font().fixedPitch());
    // Numbered from the right: Edit1 right of Edit2, Edit7 above Edit1 at the same edge.
    EXPECT_GT(w->inputEdit(1)->x(), w->inputEdit(2)->x());
    EXPECT_EQ(w->inputEdit(7)->x(), w->inputEdit(1)->x());
    EXPECT_LT(w->inputEdit(7)->y(), w->inputEdit(1)->y());
    EXPECT_LT(w->outputEdit(1)->x(), w->outputEdit(0)->x());
    // Output captions white on blue, input names on lime, the variant on silver.
    const auto background = [](QWidget* c) { return c->grab().toImage().pixelColor(1, 1); };
    EXPECT_EQ(background(w->outputLabel(0)), QColor(0, 0, 255));
    EXPECT_EQ(background(w->inputLabel(1)), QColor(0, 255, 0));
    EXPECT_EQ(background(w->variantLabel()), QColor(192, 192, 192));
    delete w;
    EXPECT_EQ(windows.kalu(), nullptr);

    TForm_Okno other(sel, 0);

    windows.add(&other);
    EXPECT_EQ(other.variantLabel()->text(), QStringLiteral("  KALU -  11      "));
}

TEST_F(UnitWindowTest, KaluOpensCentredOverTheActiveWindow) {
    QWidget opener;
    opener.setGeometry(300, 200, 400, 500);
    opener.show();
    opener.activateWindow();
    if (!QTest::qWaitForWindowActive(&opener, 2000)) GTEST_SKIP() << "no window activation";
    TForm_Okno w(sel, 0);
    windows.add(&w);
    w.show();
    EXPECT_EQ(w.frameGeometry().center(), opener.frameGeometry().center());
    // Moved by the user, it keeps its place when shown again.
    w.hide();
    w.move(10, 10);
    w.show();
    EXPECT_EQ(w.pos(), QPoint(10, 10));
}

TEST_F(UnitWindowTest, KaluOutputCap) {
    TForm_Okno w(sel, 0);
    windows.add(&w);
    const struct {
        const char* typed;
        const char* shown;
    } cases[] = {{"256", "255"}, {"255", "255"}, {"A", "A"}, {"300x", "255"}, {"-5", "-5"}};
    for (const auto& c : cases) {
        w.outputEdit(3)->setText(QString::fromUtf8(c.typed));
        EXPECT_EQ(w.outputEdit(3)->text(), QString::fromUtf8(c.shown)) << c.typed;
    }
}

TEST_F(UnitWindowTest, KaluShowsValuesAndReadsOutputs) {
    TForm_Okno w(sel, 0);
    windows.add(&w);
    formats[0] = {0.25f, 2};
    std::vector<std::uint8_t> a(48, 0);
    codec::putF32(a, 0, 1.5f);
    w.outputEdit(0)->setText(QStringLiteral("-1"));
    w.outputEdit(5)->setText(QStringLiteral("12abc"));
    ASSERT_TRUE(deliver(RequestKind::Kalu, a));
    EXPECT_EQ(w.inputEdit(1)->text(), QStringLiteral("    1.75"));
    EXPECT_EQ(sel.KaluOutputs[0] & 0xFF, 0xFF);
    EXPECT_EQ(sel.KaluOutputs[5], 12);

    // A short answer keeps the last values and reports the failure.
    codec::putF32(a, 0, 9.0f);
    a.resize(40);
    EXPECT_FALSE(deliver(RequestKind::Kalu, a));
    EXPECT_EQ(w.inputEdit(1)->text(), QStringLiteral("    1.75"));
}

TEST_F(UnitWindowTest, TevColoursSetsAndBlankCounter) {
    TForm_TEV w(sel);
    windows.add(&w);
    EXPECT_EQ(w.findChild<QPushButton*>("BitBtn1")->text(), QStringLiteral("Sestupná &hrana"));
    auto a = tevAnswer(0x0001, 0x8000);
    codec::putU16(a, 2 * 34, 32767);  // set 2, input 1
    sel.TevInputSet = 2;
    ASSERT_TRUE(deliver(RequestKind::Tev, a));
    EXPECT_EQ(w.inputEdit(1)->text(), QStringLiteral("        "));
    EXPECT_EQ(w.inputEdit(16)->text(), QStringLiteral("     149"));  // last word: bytes 99..100
    EXPECT_EQ(base(w.inputEdit(16)), kRed);
    EXPECT_NE(base(w.inputEdit(1)), kRed);

    sel.TevFilterFlag = true;
    ASSERT_TRUE(deliver(RequestKind::Tev, a));
    EXPECT_EQ(base(w.inputEdit(1)), kRed);
    EXPECT_NE(base(w.inputEdit(16)), kRed);
}

TEST_F(UnitWindowTest, ValueSetAndFilterButtonsCycle) {
    TForm_TEV w(sel);
    windows.add(&w);
    auto* setButton = w.findChild<QPushButton*>("BitBtn1");
    auto* filterButton = w.findChild<QPushButton*>("BitBtn2");
    const std::uint8_t start = sel.TevInputSet;
    const QString expected[] = {QStringLiteral("Perioda &pulzu"),
                                QStringLiteral("Vzestupná &hrana"),
                                QStringLiteral("Sestupná &hrana")};
    for (const QString& caption : expected) {
        setButton->click();
        EXPECT_EQ(setButton->text(), caption);
    }
    EXPECT_EQ(sel.TevInputSet, start);
    filterButton->click();
    EXPECT_TRUE(sel.TevFilterFlag);
    EXPECT_EQ(filterButton->text(), QStringLiteral("Nefiltrovaný &vstup"));
    // Each window works on its own value set.
    EXPECT_EQ(sel.TevwInputSet, kSetFallingEdge);
    EXPECT_FALSE(sel.MokrFilterFlag);
}

TEST_F(UnitWindowTest, OnlyThePolledWindowTakesTheAnswer) {
    TForm_TEV tev(sel);
    windows.add(&tev);
    TForm_TEVW tevw(sel);
    windows.add(&tevw);
    TForm_MOKR mokr(sel, nullptr);
    windows.add(&mokr);
    tevw.inputEdit(1)->setText(QStringLiteral("keep"));
    mokr.inputEdit(1)->setText(QStringLiteral("keep"));
    sel.MokrWritePhase = false;
    ASSERT_TRUE(deliver(RequestKind::Tev, tevAnswer(0, 0)));
    EXPECT_EQ(tev.inputEdit(1)->text(), QStringLiteral("     118"));
    EXPECT_EQ(tevw.inputEdit(1)->text(), QStringLiteral("keep"));
    EXPECT_EQ(mokr.inputEdit(1)->text(), QStringLiteral("keep"));
    EXPECT_FALSE(sel.MokrWritePhase);
    // An answer of a kind whose window is closed changes nothing.
    EXPECT_TRUE(deliver(RequestKind::Tew, {0xFF, 0xFF}));
    EXPECT_EQ(st.TewReadback, 0);
}

TEST_F(UnitWindowTest, TevwOutputsToggleAndShowReadback) {
    TForm_TEVW w(sel);
    windows.add(&w);
    w.outputButton(3)->click();
    w.outputButton(8)->click();
    EXPECT_EQ(sel.TevwOutputs, 0x0084);
    w.outputButton(3)->click();
    EXPECT_EQ(sel.TevwOutputs, 0x0080);
    EXPECT_EQ(w.outputButton(1)->text(), QStringLiteral("Y &0"));

    std::vector<std::uint8_t> a(102, 0);
    codec::putU16(a, 4, 0x0080);
    ASSERT_TRUE(deliver(RequestKind::Tevw, a));
    EXPECT_EQ(font(w.outputButton(8)), kRed);
    EXPECT_NE(font(w.outputButton(1)), kRed);
}

TEST_F(UnitWindowTest, TewRelayBitsFollowWiring) {
    TForm_TEW w(sel);
    windows.add(&w);
    auto* y3 = w.relayButton(4);
    EXPECT_EQ(y3->text(), QStringLiteral("Y &3"));
    EXPECT_EQ(w.relayButton(12)->text(), QStringLiteral("Y 11"));
    EXPECT_EQ(w.wiringButton()->text(), QStringLiteral("Standardní zapojení &relé"));
    y3->click();
    EXPECT_EQ(sel.TewOutputs, 0x0010);
    y3->click();
    w.wiringButton()->click();
    EXPECT_FALSE(sel.GappedInputLayout);
    EXPECT_EQ(w.wiringButton()->text(), QStringLiteral("Bitově neupravené zap.&relé"));
    y3->click();
    EXPECT_EQ(sel.TewOutputs, 0x0008);

    // Readback 0x0010 lights relay 5 in this wiring and relay 4 in the gapped one.
    ASSERT_TRUE(deliver(RequestKind::Tew, {0x10, 0x00}));
    EXPECT_EQ(font(w.relayButton(5)), kRed);
    EXPECT_NE(font(w.relayButton(4)), kRed);
    w.wiringButton()->click();
    ASSERT_TRUE(deliver(RequestKind::Tew, {0x10, 0x00}));
    EXPECT_EQ(font(w.relayButton(4)), kRed);
    EXPECT_NE(font(w.relayButton(5)), kRed);
}

TEST_F(UnitWindowTest, TewOpensWithTheWiringInForce) {
    sel.GappedInputLayout = false;
    TForm_TEW w(sel);
    windows.add(&w);
    EXPECT_EQ(w.wiringButton()->text(), QStringLiteral("Bitově neupravené zap.&relé"));
}

TEST_F(UnitWindowTest, MokrBoardsAndOutputs) {
    TForm_MOKR w(sel, [](int n) { return "Vstup " + std::to_string(n); });
    windows.add(&w);
    ASSERT_EQ(w.outputSelector()->count(), 8);
    EXPECT_EQ(w.inputSelector()->itemText(0), QStringLiteral("Piggy  P0"));
    w.outputButton(2)->click();
    EXPECT_EQ(sel.PiggyOutputs[0], 0x02);
    emit w.outputSelector()->activated(3);
    w.outputButton(2)->click();
    EXPECT_EQ(sel.PiggyOutputs[0], 0x02);
    EXPECT_EQ(sel.PiggyOutputs[3], 0x02);

    emit w.inputSelector()->activated(2);
    EXPECT_EQ(sel.MokrInputPiggy, 2);
    EXPECT_EQ(w.inputLabel(1)->text(), QStringLiteral("Vstup 17  "));
    EXPECT_EQ(w.inputLabel(8)->text(), QStringLiteral("Vstup 24  "));

    // Refilling the lists (the opener does) keeps the boards chosen before.
    w.fillBoardSelectors();
    EXPECT_EQ(sel.MokrInputPiggy, 2);
    EXPECT_EQ(sel.MokrOutputPiggy, 3);
    EXPECT_EQ(w.outputSelector()->currentIndex(), 3);
}

TEST_F(UnitWindowTest, MokrAnswersAlternate) {
    TForm_MOKR w(sel, nullptr);
    windows.add(&w);
    sel.MokrWritePhase = false;
    sel.MokrInputSet = 0;
    std::vector<std::uint8_t> counters(48, 0);
    codec::putU16(counters, 0, 4242);
    ASSERT_TRUE(deliver(RequestKind::Mokr, counters));
    EXPECT_TRUE(sel.MokrWritePhase);
    EXPECT_EQ(w.inputEdit(1)->text(), QStringLiteral("    4242"));
    std::vector<std::uint8_t> state(16, 0);
    state[8] = 0x01;
    ASSERT_TRUE(deliver(RequestKind::Mokr, state));
    EXPECT_FALSE(sel.MokrWritePhase);
    EXPECT_EQ(base(w.inputEdit(1)), kRed);
    EXPECT_EQ(w.inputEdit(1)->text(), QStringLiteral("    4242"));
}

TEST_F(UnitWindowTest, ClosingResetsTheScan) {
    auto* tev = new TForm_TEV(sel);
    windows.add(tev);
    tev->close();
    EXPECT_EQ(windows.tev(), nullptr);
    EXPECT_EQ(loop.monitoredKind, 5);
    EXPECT_EQ(loop.scanAddress, 0);
    EXPECT_FALSE(loop.addressFound[3]);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    loop = FakeLoop{};
    loop.addressFound[3] = true;
    loop.attach(windows);
    auto* kalu = new TForm_Okno(sel, 0);
    windows.add(kalu);
    kalu->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(windows.kalu(), nullptr);
    EXPECT_EQ(loop.monitoredKind, 5);
    EXPECT_EQ(loop.scanAddress, 0);
    EXPECT_TRUE(loop.addressFound[3]);
    EXPECT_EQ(loop.resets, std::vector<ScanReset>{ScanReset::AddressOnly});

    loop.resets.clear();
    auto* tew = new TForm_TEW(sel);
    windows.add(tew);
    tew->close();
    EXPECT_EQ(windows.tew(), nullptr);
    EXPECT_FALSE(loop.addressFound[3]);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(UnitWindowTest, KaluDeletedWithoutClosingStillEndsTheMonitoring) {
    auto* kalu = new TForm_Okno(sel, 0);
    windows.add(kalu);
    delete kalu;
    EXPECT_EQ(windows.kalu(), nullptr);
    EXPECT_EQ(loop.monitoredKind, 5);
    EXPECT_EQ(loop.resets, std::vector<ScanReset>{ScanReset::AddressOnly});
}

// Every edit, label, button and list of a window lies inside its client area and clear of
// the others (the bevels and the background panel only frame them).
void expectClearLayout(QWidget& window) {
    std::vector<QWidget*> controls;
    for (QWidget* c : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QLineEdit*>(c) || qobject_cast<QLabel*>(c) ||
            qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c))
            controls.push_back(c);
    }
    const QRect client(QPoint(0, 0), window.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(client.contains(controls[i]->geometry()))
            << window.objectName().toStdString() << " " << controls[i]->objectName().toStdString();
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << window.objectName().toStdString() << " "
                << controls[i]->objectName().toStdString() << " / "
                << controls[j]->objectName().toStdString();
    }
}

TEST_F(UnitWindowTest, NoControlOverlapsAnotherOrLeavesTheClientArea) {
    TForm_Okno kalu(sel, 0);
    windows.add(&kalu);
    expectClearLayout(kalu);
    TForm_TEV tev(sel);
    windows.add(&tev);
    expectClearLayout(tev);
    TForm_TEVW tevw(sel);
    windows.add(&tevw);
    expectClearLayout(tevw);
    TForm_TEW tew(sel);
    windows.add(&tew);
    expectClearLayout(tew);
    TForm_MOKR mokr(sel, nullptr);
    windows.add(&mokr);
    expectClearLayout(mokr);
    for (QWidget* w : std::initializer_list<QWidget*>{&kalu, &tev, &tevw, &tew, &mokr})
        test::ExpectTextsFit(*w);
}

TEST_F(UnitWindowTest, OutputControlsHaveTheirDesignedSizes) {
    TForm_TEVW tevw(sel);
    windows.add(&tevw);
    TForm_TEW tew(sel);
    windows.add(&tew);
    TForm_MOKR mokr(sel, nullptr);
    windows.add(&mokr);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(tevw.outputButton(n)->size(), QSize(40, 30)) << n;
        EXPECT_EQ(mokr.outputButton(n)->size(), QSize(40, 30)) << n;
    }
    for (int n = 1; n <= 12; ++n) EXPECT_EQ(tew.relayButton(n)->size(), QSize(40, 30)) << n;
    EXPECT_EQ(tevw.findChild<QPushButton*>("BitBtn1")->size(), QSize(193, 37));
    EXPECT_EQ(mokr.findChild<QPushButton*>("BitBtn2")->size(), QSize(193, 37));
}

TEST_F(UnitWindowTest, RegistryDeletesOpenWindowsWithoutTouchingTheLoop) {
    int calls = 0;
    {
        UnitWindows local;
        local.monitoringStopped = [&calls](ScanReset) { ++calls; };
        local.add(new TForm_Okno(sel, 0));
        local.add(new TForm_MOKR(sel, nullptr));
    }
    EXPECT_EQ(calls, 0);
}

TEST(UnitWindowHelpers, NamesAndValueSets) {
    EXPECT_EQ(PadName("Teplota vody", 10), "Teplota vo");
    EXPECT_EQ(PadName("abc", 10), "abc       ");
    EXPECT_EQ(nextValueSet(2), 0);
    EXPECT_EQ(nextValueSet(7), 7);
}

}  // namespace
}  // namespace velor
