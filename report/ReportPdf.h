#pragma once
// Draws a service report into a PDF with Qt's own PDF writer: A4, text as text (searchable and
// copyable), a new page where one is full. Needs a QGuiApplication (fonts).

#include <QImage>
#include <QString>

#include "report/ServiceReport.h"

namespace velor {

inline constexpr const char* kTextReportNotSaved = "Servisní protokol nelze uložit";

// Writes the report to path; chart (when not null) is the recording's trend chart. False, with
// the reason in error, when the file cannot be written.
bool writeReportPdf(const ServiceReport& report, const QString& path, QString* error,
                    const QImage& chart = {});

}  // namespace velor
