#pragma once
// "Servisní protokol": the small dialog before the PDF (technician, note, file), and the tool
// that opens it with Ctrl+P or from the context menu of a unit window and writes the PDF of
// the module that window watches.

#include <QDialog>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

#include "report/ServiceReport.h"
#include "ui/ToolSet.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace velor {

class ReportDialog : public QDialog {
    Q_OBJECT
public:
    // save writes the PDF; false keeps the dialog open (it has told the user why).
    using Save = std::function<bool(const std::string& technician, const std::string& note,
                                    const QString& path)>;
    ReportDialog(const QString& module, const QString& path, Save save, QWidget* parent = nullptr);

    QLineEdit* technician() const { return technician_; }
    QPlainTextEdit* note() const { return note_; }
    QLineEdit* file() const { return file_; }
    QPushButton* saveButton() const { return saveButton_; }

private:
    void browse();
    void trySave();

    Save save_;
    QLineEdit* technician_ = nullptr;
    QPlainTextEdit* note_ = nullptr;
    QLineEdit* file_ = nullptr;
    QPushButton* saveButton_ = nullptr;
};

class ReportTool : public QObject {
    Q_OBJECT
public:
    struct Sources {
        // The kind of unit window a window is, or nullopt for another window.
        std::function<std::optional<RequestKind>(const QWidget*)> unitOf;
        // The report of the module the unit window of a kind watches, as the program has it.
        std::function<ServiceReport(RequestKind)> gather;
        // Where the PDF goes unless the user says otherwise.
        QString directory;
        // The trend chart of a recording of the kind that runs now; a null image without one.
        std::function<QImage(RequestKind)> chart;
    };
    explicit ReportTool(Sources sources) : sources_(std::move(sources)) {}
    ~ReportTool() override;

    // For the unit window host: the dialog for the module it watches; nothing for another.
    void openFor(QWidget* host);

    // Opens the dialog for the module of the unit window over which it is called.
    ReportDialog* open(RequestKind kind, QWidget* over);
    ReportDialog* dialog() const { return dialog_.data(); }

private:
    Sources sources_;
    QPointer<ReportDialog> dialog_;
};

// "Servisní protokol" as a tool of the unit windows: Ctrl+P and the context-menu entry.
Tool reportTool(ReportTool::Sources sources);

}  // namespace velor
