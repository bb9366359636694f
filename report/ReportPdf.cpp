#include "report/ReportPdf.h"

#include "comm/TrafficFrames.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <initializer_list>
#include <vector>

namespace velor {

namespace {

constexpr int kResolution = 300;  // dots per inch of the page
constexpr int kMarginMm = 15;
constexpr int kBodyPoints = 9;
constexpr int kTitlePoints = 16;
constexpr int kHeadingPoints = 11;

QString q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Lines, headings and tables from the top of the page down; a new page where one is full.
class PageWriter {
public:
    PageWriter(QPdfWriter& pdf, QPainter& painter) : pdf_(pdf), painter_(painter) {
        width_ = painter_.viewport().width();
        height_ = painter_.viewport().height();
    }

    void title(const QString& text) { write(text, kTitlePoints, true, 0); }
    void heading(const QString& text) {
        y_ += lineHeight(kBodyPoints) / 2;
        write(text, kHeadingPoints, true, 0);
    }
    void line(const QString& text, int indent = 0) { write(text, kBodyPoints, false, indent); }
    // One row of columns starting at the given shares (0..100) of the width.
    void row(std::initializer_list<QString> cells, std::initializer_list<int> shares,
             bool bold = false) {
        setFont(kBodyPoints, bold);
        room(lineHeight(kBodyPoints));
        auto share = shares.begin();
        for (const QString& cell : cells) {
            const int x = width_ * *share / 100;
            const int next = ++share == shares.end() ? width_ : width_ * *share / 100;
            const QString shown =
                painter_.fontMetrics().elidedText(cell, Qt::ElideRight, next - x - 20);
            painter_.drawText(x, y_ + painter_.fontMetrics().ascent(), shown);
        }
        y_ += lineHeight(kBodyPoints);
    }
    void image(const QImage& picture) {
        const int h = picture.height() * width_ / std::max(1, picture.width());
        room(h);
        painter_.drawImage(QRect(0, y_, width_, h), picture);
        y_ += h;
    }

private:
    int lineHeight(int points) const { return points * kResolution * 14 / (72 * 10); }
    void setFont(int points, bool bold) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(points);
        font.setBold(bold);
        // Unshaped: a ligature ("fi" of "Konfigurace") would read back as one glyph, and a
        // search for the word would miss it.
        font.setStyleStrategy(QFont::PreferNoShaping);
        painter_.setFont(font);
    }
    void room(int needed) {
        if (y_ + needed <= height_) return;
        pdf_.newPage();
        y_ = 0;
    }
    void write(const QString& text, int points, bool bold, int indent) {
        setFont(points, bold);
        const int h = lineHeight(points);
        // Long texts (a note, a log line) wrap within the width.
        const QRect box =
            painter_.fontMetrics().boundingRect(QRect(indent, 0, width_ - indent, 100 * h),
                                                Qt::TextWordWrap | Qt::TextWrapAnywhere, text);
        room(std::max(h, box.height()));
        painter_.drawText(QRect(indent, y_, width_ - indent, box.height() + h),
                          Qt::TextWordWrap | Qt::TextWrapAnywhere, text);
        y_ += std::max(h, box.height());
    }

    QPdfWriter& pdf_;
    QPainter& painter_;
    int width_ = 0;
    int height_ = 0;
    int y_ = 0;
};

QString count(std::uint32_t n) {
    return QString::number(n);
}

void writeHeader(PageWriter& w, const ServiceReport& r) {
    w.title(QStringLiteral("Servisní protokol – modul %1 na adrese %2")
                .arg(q(requestKindName(static_cast<std::uint8_t>(r.kind))))
                .arg(r.address));
    w.line(QStringLiteral("Datum a čas: %1")
               .arg(r.time.toString(QStringLiteral("d. M. yyyy HH:mm:ss"))));
    w.line(QStringLiteral("Technik: %1").arg(q(r.technician)));
    w.line(QStringLiteral("Pracovní stanice: %1").arg(q(r.workstation)));
    w.line(QStringLiteral("Port a linka: %1").arg(q(r.port)));
    w.line(QStringLiteral("Adresa modulu: %1    Typ modulu: %2")
               .arg(r.address)
               .arg(q(requestKindName(static_cast<std::uint8_t>(r.kind)))));
}

void writeConfig(PageWriter& w, const ServiceReport& r) {
    w.heading(QStringLiteral("Konfigurace"));
    w.line(QStringLiteral("Soubor: %1    kontrolní součet souboru: %2")
               .arg(q(r.configFile), q(r.configChecksum)));
    const bool kalu = r.kind == RequestKind::Kalu;
    if (kalu)
        w.row({QStringLiteral("Vstup"), QStringLiteral("Název"), QStringLiteral("Čidlo"),
               QStringLiteral("Rozsah"), QStringLiteral("Filtr")},
              {0, 8, 45, 68, 88}, true);
    else
        w.row({QStringLiteral("Vstup"), QStringLiteral("Název"), QStringLiteral("Filtr (L / H)")},
              {0, 8, 60}, true);
    int n = kalu ? 0 : 1;
    for (const ReportInput& in : r.inputs) {
        if (kalu)
            w.row({QString::number(n++), q(in.name), q(in.sensor), q(in.range), q(in.filter)},
                  {0, 8, 45, 68, 88});
        else
            w.row({QString::number(n++), q(in.name), q(in.filter)}, {0, 8, 60});
    }
}

void writeValues(PageWriter& w, const ServiceReport& r) {
    w.heading(QStringLiteral("Hodnoty, jak je ukazuje okno jednotky"));
    if (r.values.empty()) w.line(QStringLiteral("Modul zatím neodpověděl, hodnoty nejsou známy."));
    for (const ReportValue& v : r.values) w.row({q(v.name), q(v.value)}, {0, 45});
}

void writeLink(PageWriter& w, const ServiceReport& r) {
    const ReportLink& l = r.link;
    w.heading(QStringLiteral("Statistika linky pro adresu %1").arg(r.address));
    w.row({QStringLiteral("Požadavky"), count(l.requests)}, {0, 45});
    w.row({QStringLiteral("Odpovědi"), count(l.answers)}, {0, 45});
    w.row({QStringLiteral("Vypršení času"), count(l.timeouts)}, {0, 45});
    w.row({QStringLiteral("Chybné kontrolní součty"), count(l.checksumErrors)}, {0, 45});
    w.row({QStringLiteral("Záporné odpovědi"), count(l.negative)}, {0, 45});
    w.row({QStringLiteral("Doba odpovědi, 95. percentil"),
           l.p95Ms ? QStringLiteral("%1 ms").arg(*l.p95Ms) : QStringLiteral("–")},
          {0, 45});
}

void writeWrites(PageWriter& w, const ServiceReport& r) {
    w.heading(QStringLiteral("Zápisy do modulu v tomto běhu programu"));
    if (r.writes.empty()) w.line(QStringLiteral("Žádné."));
    for (const std::string& line : r.writes) w.line(q(line));
}

}  // namespace

bool writeReportPdf(const ServiceReport& report, const QString& path, QString* error,
                    const QImage& chart) {
    // QPdfWriter says nothing of a file it cannot open: try it first.
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        if (error != nullptr) *error = probe.errorString();
        return false;
    }
    probe.close();
    QPdfWriter pdf(path);
    pdf.setResolution(kResolution);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                  QPageLayout::Millimeter));
    pdf.setTitle(QStringLiteral("Servisní protokol"));
    pdf.setCreator(QStringLiteral("Velor"));
    QPainter painter;
    if (!painter.begin(&pdf)) {
        if (error != nullptr) *error = QStringLiteral("PDF nelze vytvořit");
        return false;
    }
    PageWriter w(pdf, painter);
    writeHeader(w, report);
    writeConfig(w, report);
    writeValues(w, report);
    writeLink(w, report);
    writeWrites(w, report);
    if (!chart.isNull()) {
        w.heading(QStringLiteral("Průběh vstupů"));
        w.image(chart);
    }
    w.heading(QStringLiteral("Poznámka"));
    w.line(report.note.empty() ? QStringLiteral("–") : q(report.note));
    return painter.end();
}

}  // namespace velor
