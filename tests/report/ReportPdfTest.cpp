// The service report's PDF: its text reads back (pdftotext) with the address, the values, the
// Czech names and the link statistics; a report longer than a page goes on; a file that cannot
// be written is reported, not claimed.

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <iostream>

#include "report/ReportPdf.h"
#include "support/PdfText.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtAppEnvironment);

using test::pdfText;

int pdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(30000)) return -1;
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

ServiceReport kaluReport() {
    ServiceReport r;
    r.time = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53));
    r.technician = "Jiří Novák";
    r.workstation = "servis-07";
    r.port = "COM1 38400 Bd, sudá parita";
    r.address = 17;
    r.kind = RequestKind::Kalu;
    r.configFile = "KonfigA.cfa";
    r.configChecksum = "CRC-16 0x1A2B";
    for (int i = 0; i < 12; ++i) {
        r.inputs.push_back(
            {"Teplota přívodu " + std::to_string(i), "Pt100", "-50.0 .. 150.0", "5"});
        r.values.push_back(
            {"Teplota přívodu " + std::to_string(i), std::to_string(20 + i) + ".47"});
    }
    r.link = {412, 409, 3, 2, 1, 37};
    r.writes = {
        "2026-03-14 09:20:01.002 | novak | COM1 | adresa 17 KALU | výstupy ? -> 5, 0, 0, "
        "0, 0, 0 | přijato"};
    r.note = "Čidlo vstupu 3 vyměněno, žluťoučký kůň úpěl ďábelské ódy.";
    return r;
}

TEST(ReportPdf, TextReadsBackWithAddressValuesNamesAndStatistics) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("protokol.pdf"));
    QString error;
    ASSERT_TRUE(writeReportPdf(kaluReport(), path, &error)) << error.toStdString();
    const QString text = pdfText(path);
    ASSERT_FALSE(text.isEmpty()) << "pdftotext (poppler-utils) read nothing";
    for (const char* expected : {"Servisní protokol",
                                 "Konfigurace",
                                 "adresa 17",
                                 "Adresa modulu: 17",
                                 "KALU",
                                 "Jiří Novák",
                                 "servis-07",
                                 "COM1 38400 Bd, sudá parita",
                                 "KonfigA.cfa",
                                 "CRC-16 0x1A2B",
                                 "Teplota přívodu 11",
                                 "20.47",
                                 "31.47",
                                 "Požadavky",
                                 "412",
                                 "409",
                                 "Vypršení času",
                                 "Chybné kontrolní součty",
                                 "Záporné odpovědi",
                                 "37 ms",
                                 "výstupy ? -> 5, 0, 0",
                                 "žluťoučký kůň úpěl ďábelské ódy"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    if (HasFailure()) std::cerr << text.toStdString();
}

TEST(ReportPdf, LongReportGoesOnAnotherPage) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dlouhy.pdf"));
    ServiceReport r = kaluReport();
    for (int i = 0; i < 120; ++i) r.writes.push_back("zápis číslo " + std::to_string(i));
    ASSERT_TRUE(writeReportPdf(r, path, nullptr));
    EXPECT_GE(pdfPages(path), 2);
    const QString text = pdfText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("zápis číslo 0")));
    EXPECT_TRUE(text.contains(QStringLiteral("zápis číslo 119")));
    EXPECT_TRUE(text.contains(QStringLiteral("Poznámka")));
}

TEST(ReportPdf, FileThatCannotBeWrittenIsReported) {
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(writeReportPdf(kaluReport(), dir.filePath(QStringLiteral("chybí/p.pdf")), &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace velor
