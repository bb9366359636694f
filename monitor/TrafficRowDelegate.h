#pragma once
// Paints the traffic table's cells from laid-out texts that it keeps: a frame's texts never
// change, so a view that follows the tail lays out only the rows that scrolled in.

#include <QCache>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace velor {

class TrafficTableModel;

class TrafficRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TrafficRowDelegate(const TrafficTableModel& model, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Forgets the texts (the rows were rebuilt).
    void forget() { texts_.clear(); }

private:
    const QStaticText& textOf(const QModelIndex& index) const;

    const TrafficTableModel& model_;
    mutable QCache<quint64, QStaticText> texts_;
};

}  // namespace velor
