#pragma once
// The text of a PDF as a reader's search finds it: pdftotext (poppler-utils) with the layout
// kept, so that a table's row stays on one line. Empty when it cannot be read.

#include <QProcess>
#include <QString>

namespace velor::test {

inline QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace velor::test
