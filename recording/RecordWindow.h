#pragma once
// "Záznam hodnot": the recording of the polled unit window to a CSV file and the live chart of
// the KALU inputs. Non-modal, one instance, a tool of the program's windows (Ctrl+R and the
// context menu of the main window and of the unit windows). It listens to the loop's answers
// and never touches the channel.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "recording/Recorder.h"
#include "recording/TrendModel.h"
#include "ui/ToolSet.h"

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QImage;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace velor {

struct AppState;

// Changes of the polled module drawn at once; older ones leave with the window.
inline constexpr int kModuleMarkLines = 6;

class RecordWindow : public QWidget {
    Q_OBJECT
public:
    // Asks for a file name to save to (filter as for QFileDialog); empty when cancelled.
    using FileAsker = std::function<QString(const QString& caption, const QString& filter)>;

    explicit RecordWindow(AppState& app, QWidget* parent = nullptr);
    ~RecordWindow() override;

    // Tests answer the file dialogs.
    void setFileAsker(FileAsker asker) { askFile_ = std::move(asker); }

    const Recorder& recorder() const { return recorder_; }
    const TrendModel& trend() const { return trend_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QCheckBox* errorColumnBox() const { return errorColumn_; }
    QCheckBox* inputBox(int input) const { return inputs_.at(static_cast<std::size_t>(input)); }
    QComboBox* windowBox() const { return window_; }
    QCheckBox* pauseBox() const { return pause_; }
    QLabel* rowsLabel() const { return rows_; }
    QLabel* noteLabel() const { return note_; }
    QLineSeries* series(int input) const { return series_.at(static_cast<std::size_t>(input)); }
    QLabel* hintLabel() const { return hint_; }
    QValueAxis* valueAxis() const { return valueAxis_; }
    QDateTimeAxis* timeAxis() const { return timeAxis_; }
    // The dashed lines that mark a change of the polled module (hidden when unused).
    QLineSeries* markLine(int index) const { return marks_.at(static_cast<std::size_t>(index)); }
    // The line above the saved picture: module address, date and the time span shown.
    QString imageTitle() const;
    // The picture saveImage() writes: the title line above the chart.
    QImage chartImage();

    void startClicked();
    void stopClicked();
    void chooseFile();
    // The chart as it is drawn now (the service report takes it).
    QImage chartImage() const;
    // Saves the chart as PNG; false (with a message) when it cannot be written.
    bool saveImage(const QString& path);
    // The periodic refresh: counts, the end of a recording, the chart (unless paused).
    void refresh();

private:
    void build();
    QWidget* buildChart();
    RecordStart startRecorder(RequestKind kind, const RecordingOptions& options);
    void onAnswer(const PolledAnswer& polled);
    void updateChart();
    void fitValueAxis(std::uint16_t mask);
    void showModuleMarks();
    void showHint();
    void labelInputs();
    void showState();

    AppState& app_;
    Recorder recorder_;
    TrendModel trend_;
    FileAsker askFile_;
    QString path_;
    // The file was just chosen in the save dialog, which asked before naming one that exists.
    bool replaceAgreed_ = false;
    bool wasRecording_ = false;
    bool chartDirty_ = false;

    QLabel* file_ = nullptr;
    QLabel* rows_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QCheckBox* errorColumn_ = nullptr;
    std::array<QCheckBox*, kTrendInputs> inputs_{};
    std::array<QLineSeries*, kTrendInputs> series_{};
    std::array<QLineSeries*, kModuleMarkLines> marks_{};
    QLabel* hint_ = nullptr;
    QComboBox* window_ = nullptr;
    QCheckBox* pause_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    qint64 shownFrom_ = 0;  // the time axis' range, moved only when the span moves
    qint64 shownTo_ = 0;
    QTimer* timer_ = nullptr;
};

// "Záznam hodnot" of the program's run: the one window, created on first use.
class ValueRecording : public QObject {
    Q_OBJECT
public:
    explicit ValueRecording(AppState& app);
    ~ValueRecording() override;

    // Shows the window, creating it on first use.
    RecordWindow* show();
    RecordWindow* window() const { return window_; }
    // "Záznam hodnot" with Ctrl+R in every host window.
    ToolAction action();

private:
    AppState& app_;
    QPointer<RecordWindow> window_;
};

// "Záznam hodnot" as a tool of the program's windows.
Tool recordingTool(AppState& app);

}  // namespace velor
