#include "report/ReportDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "comm/TrafficFrames.h"
#include "modules/WriteLog.h"
#include "report/ReportPdf.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

constexpr const char* kActionName = "ActionServiceReport";

}  // namespace

ReportDialog::ReportDialog(const QString& module, const QString& path, Save save, QWidget* parent)
    : QDialog(parent), save_(std::move(save)) {
    setObjectName(QStringLiteral("ReportDialog"));
    setWindowTitle(QStringLiteral("Servisní protokol"));
    setAttribute(Qt::WA_DeleteOnClose);
    technician_ = new QLineEdit(QString::fromStdString(currentUserName()), this);
    note_ = new QPlainTextEdit(this);
    note_->setTabChangesFocus(true);
    file_ = new QLineEdit(path, this);
    auto* browse = new QPushButton(QStringLiteral("Procháze&t…"), this);
    saveButton_ = new QPushButton(QStringLiteral("&Uložit PDF"), this);
    saveButton_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Zrušit"), this);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_);
    fileRow->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Modul:"), new QLabel(module, this));
    form->addRow(QStringLiteral("&Technik:"), technician_);
    form->addRow(QStringLiteral("&Poznámka:"), note_);
    form->addRow(QStringLiteral("&Soubor:"), fileRow);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, &ReportDialog::browse);
    connect(saveButton_, &QPushButton::clicked, this, &ReportDialog::trySave);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ReportDialog::browse() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Servisní protokol"), file_->text(),
                                     QStringLiteral("Dokument PDF (*.pdf)"));
    if (!path.isEmpty()) file_->setText(path);
}

void ReportDialog::trySave() {
    QString path = file_->text().trimmed();
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    if (save_(technician_->text().toStdString(), note_->toPlainText().toStdString(), path))
        accept();
}

ReportTool::~ReportTool() {
    delete dialog_.data();
}

void ReportTool::openFor(QWidget* host) {
    const std::optional<RequestKind> kind = sources_.unitOf(host);
    if (kind) open(*kind, host);
}

ReportDialog* ReportTool::open(RequestKind kind, QWidget* over) {
    delete dialog_.data();
    const ServiceReport first = sources_.gather(kind);
    const QString module = QStringLiteral("%1 na adrese %2")
                               .arg(QString::fromStdString(requestKindName(std::uint8_t(kind))))
                               .arg(first.address);
    const QString path =
        QDir(sources_.directory)
            .filePath(QString::fromStdString(reportFileName(kind, first.address, first.time)));
    // The values go in as they are when the user saves, not when the dialog opened.
    auto save = [this, kind](const std::string& technician, const std::string& note,
                             const QString& file) {
        ServiceReport r = sources_.gather(kind);
        r.technician = technician;
        r.note = note;
        QString error;
        const QImage chart = sources_.chart ? sources_.chart(kind) : QImage();
        if (writeReportPdf(r, file, &error, chart)) return true;
        ShowMessageWindow(kTextReportNotSaved, (file + QStringLiteral(": ") + error).toStdString(),
                          2, 1);
        return false;
    };
    dialog_ = new ReportDialog(module, path, save, over != nullptr ? over->window() : nullptr);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    return dialog_.data();
}

Tool reportTool(ReportTool::Sources sources) {
    auto report = std::make_unique<ReportTool>(std::move(sources));
    ReportTool* opener = report.get();
    Tool tool;
    tool.actions.push_back({QStringLiteral("&Servisní protokol…"),
                            QKeySequence(Qt::CTRL | Qt::Key_P), QString::fromLatin1(kActionName),
                            ToolReach::UnitWindowsOnly,
                            [opener](QWidget* host) { opener->openFor(host); }});
    tool.keeper = std::move(report);
    return tool;
}

}  // namespace velor
