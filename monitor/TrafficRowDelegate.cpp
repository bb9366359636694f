#include "monitor/TrafficRowDelegate.h"

#include <QPainter>

#include "monitor/TrafficTableModel.h"

namespace velor {

namespace {

constexpr int kCachedCells = 4000;
constexpr int kMargin = 3;

}  // namespace

TrafficRowDelegate::TrafficRowDelegate(const TrafficTableModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model), texts_(kCachedCells) {}

const QStaticText& TrafficRowDelegate::textOf(const QModelIndex& index) const {
    const TrafficFrame* frame = model_.frameAt(index.row());
    const quint64 key = (frame != nullptr ? frame->seq + 1 : 0) * TrafficTableModel::ColumnCount +
                        static_cast<quint64>(index.column());
    if (QStaticText* cached = texts_.object(key)) return *cached;
    auto* text = new QStaticText(index.data(Qt::DisplayRole).toString());
    text->setTextFormat(Qt::PlainText);
    texts_.insert(key, text);
    return *text;
}

void TrafficRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const QVariant background = index.data(Qt::BackgroundRole);
    if (selected) {
        painter->fillRect(option.rect, option.palette.highlight());
    } else if (background.canConvert<QBrush>()) {
        painter->fillRect(option.rect, background.value<QBrush>());
    }
    const QVariant foreground = index.data(Qt::ForegroundRole);
    QColor pen = option.palette.color(QPalette::Text);
    if (selected) {
        pen = option.palette.color(QPalette::HighlightedText);
    } else if (foreground.canConvert<QBrush>()) {
        pen = foreground.value<QBrush>().color();
    }
    const QStaticText& text = textOf(index);
    const QSizeF size = text.size();
    const bool right = index.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
    const qreal x =
        right ? option.rect.right() - kMargin - size.width() : option.rect.left() + kMargin;
    const qreal y = option.rect.top() + (option.rect.height() - size.height()) / 2;
    painter->save();
    painter->setClipRect(option.rect);
    painter->setPen(pen);
    painter->setFont(option.font);
    painter->drawStaticText(QPointF(x, y), text);
    painter->restore();
}

}  // namespace velor
