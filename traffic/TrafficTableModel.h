#pragma once
// The rows of the traffic monitor: the frames the tap holds, filtered by module address and to
// the faulty ones, as a table model. It keeps only sequence numbers; texts are made when a row
// is shown or saved, so 100,000 rows cost less than a megabyte here.

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <deque>
#include <vector>

#include "comm/TrafficTap.h"

namespace velor {

class TrafficTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Delta, Way, Address, Kind, Bytes, Text, ColumnCount };

    explicit TrafficTableModel(const TrafficTap& tap, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    struct Change {
        int removed = 0;  // from the top
        int added = 0;    // at the end
    };
    // Drops the rows whose frames the tap no longer holds and, unless paused, appends the frames
    // recorded since the last call.
    Change refresh(bool appendNew = true);
    // -1 shows every address.
    void setAddressFilter(int address);
    void setErrorsOnly(bool errorsOnly);
    int addressFilter() const { return address_; }
    bool errorsOnly() const { return errorsOnly_; }
    // Forgets the rows (the window clears the tap as well).
    void clearRows();

    const TrafficFrame* frameAt(int row) const;
    bool isError(int row) const;
    QString cellText(int row, int column) const;
    // The row as one line of text, the cells separated by tabs.
    QString rowText(int row) const;
    std::vector<std::uint64_t> seqs() const;
    // The rows as shown, one frame a line, with a header line (UTF-8).
    std::vector<std::uint8_t> textFile() const;

private:
    bool passes(const TrafficFrame& frame) const;
    void rebuild();

    const TrafficTap& tap_;
    std::deque<std::uint64_t> rows_;
    std::uint64_t nextSeq_ = 0;  // the first frame not looked at yet
    int address_ = -1;
    bool errorsOnly_ = false;
};

// Local time of day of a frame, hh:mm:ss.mmm.
QString trafficTimeText(std::int64_t wallUs);

}  // namespace velor
