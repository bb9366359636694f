// The CSV files of velor-cli and the recording: a byte-order mark, ';' between columns, the
// chosen decimal separator, quoted texts, and paths that are no regular file refused.

#include "modules/CsvWriter.h"

#include <gtest/gtest.h>

#ifdef VELOR_TEST_POSIX_FACILITIES
#include <sys/stat.h>
#endif

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/FileBytes.h"

namespace velor {
namespace {

using test::fileText;

TEST(CsvWriterTest, WritesBomHeaderAndRowsWithTheChosenDecimalSeparator) {
    QTemporaryDir dir;
    const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
    for (const char decimal : {',', '.'}) {
        const QString path = dir.filePath(QString("t%1.csv").arg(decimal));
        CsvWriter csv(decimal);
        ASSERT_TRUE(csv.open(path, "time", "address", {"Teplota č. 1", "a;b", "say \"hi\""}));
        ASSERT_TRUE(csv.appendRow(
            time, 7, {CsvValue::number(-12.345, 2), CsvValue::number(3, 0), CsvValue::text("x")}));
        csv.close();
        const std::string expected = std::string("\xEF\xBB\xBF") +
                                     "time;address;Teplota č. 1;\"a;b\";\"say \"\"hi\"\"\"\r\n" +
                                     "2026-03-04T05:06:07.089;7;-12" + decimal + "35;3;x\r\n";
        EXPECT_EQ(fileText(path), expected) << decimal;
        EXPECT_FALSE(csv.failed());
    }
}

TEST(CsvWriterTest, AFileThatCannotBeWrittenIsReportedWithItsName) {
    CsvWriter csv;
    EXPECT_FALSE(csv.open("/nonexistent-dir/k.csv", "time", "address", {}));
    EXPECT_TRUE(csv.failed());
    EXPECT_TRUE(csv.errorText().startsWith("/nonexistent-dir/k.csv: "));
    EXPECT_FALSE(csv.appendRow(QDateTime::currentDateTime(), 1, {}));
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // named pipes
TEST(CsvWriterTest, APipeOrAFolderAtThePathIsRefusedWithoutWaiting) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {pipe, dir.path()}) {
        CsvWriter csv;
        EXPECT_FALSE(csv.open(path, "time", "address", {"a"}));
        EXPECT_EQ(csv.errorText(), path + ": not a regular file");
    }
    EXPECT_FALSE(QFileInfo(pipe).isFile());
}
#endif

}  // namespace
}  // namespace velor
