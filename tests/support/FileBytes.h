#pragma once
// The bytes of a file a test wrote or left alone; empty when it cannot be read.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace velor::test {

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline std::string fileText(const QString& path) {
    return fileBytes(path).toStdString();
}

}  // namespace velor::test
