#pragma once
// The traffic monitor window "Provoz linky": every frame on channel 1 with its verdict, filters,
// pause, copy and save, and the link statistics per module address. Non-modal; it only reads
// the traffic tap and never touches the channel.

#include <QWidget>
#include <functional>
#include <optional>

#include "comm/TrafficTap.h"
#include "traffic/TrafficTableModel.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class QTimer;

namespace velor {

// Updates are batched. Each batch of rows makes the table scroll to the tail and repaint every
// visible row, so steady traffic is taken once a second (at 10 polls/s a batch is about the rows
// in view); the first frames after a quiet moment show within half a second.
inline constexpr int kTrafficRefreshMs = 500;
inline constexpr int kTrafficBusyRefreshMs = 1000;
inline constexpr int kStatsRefreshMs = 1000;

// A name without an extension gets the one of the type chosen in the save dialog (filter is
// the dialog's name filter); a name with one is kept.
QString withChosenExtension(const QString& path, const QString& filter);

class TrafficWindow : public QWidget {
    Q_OBJECT
public:
    // Asks for the name to save to; sets filter to the type chosen. Empty: cancelled.
    using SaveAsker = std::function<QString(QString& filter)>;

    explicit TrafficWindow(TrafficTap& tap, QWidget* parent = nullptr);

    // Tests answer the save dialog.
    void setSaveAsker(SaveAsker asker) { askSave_ = std::move(asker); }
    // "Uložit…" and Ctrl+S: asks for the name and saves.
    void saveAs();

    // Takes what the tap recorded since the last update; the timer calls it.
    void refresh();
    // Saves the rows shown: a capture file for a name ending in .pcap, text otherwise. A failure
    // is shown to the user and returns false.
    bool saveTo(const QString& path);
    // The selected rows as text, one frame a line.
    QString selectedText() const;
    void copySelection();
    void clearAll();
    bool paused() const;

    TrafficTableModel& model() { return model_; }

    QTableView* Table;
    QTableWidget* Stats;
    QPushButton* PauseButton;
    QPushButton* ClearButton;
    QPushButton* CopyButton;
    QPushButton* SaveButton;
    QPushButton* ResetButton;
    QSpinBox* AddressFilter;
    QCheckBox* ErrorsOnly;
    QLabel* CountLabel;
    QTimer* RefreshTimer;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void onTimer();
    QString askWithDialog(QString& filter);
    void updateStats();
    void updateCount();
    // Milliseconds since a time of the tap's clock.
    std::int64_t msSince(std::int64_t monoUs) const;

    TrafficTap& tap_;
    TrafficTableModel model_;
    SaveAsker askSave_;
    std::uint64_t shownStats_ = ~std::uint64_t{0};
    // Times of the tap's clock (monotonic microseconds), so that a test drives the pacing.
    std::optional<std::int64_t> statsShownUs_;
    std::optional<std::int64_t> rowsAddedUs_;  // the last update that brought rows
};

// One statistics row: address (or "linka"), then the texts of the columns.
QStringList trafficStatsRow(const QString& name, const AddressStats& stats);
QStringList trafficStatsHeaders();

}  // namespace velor
