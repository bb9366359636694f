#include "traffic/TrafficRowDelegate.h"

#include <QPainter>
#include <algorithm>

#include "traffic/TrafficTableModel.h"

namespace velor {

namespace {

constexpr int kCachedTexts = 4000;
constexpr int kMargin = 3;
const QString kEllipsis = QStringLiteral(" …");

// The widest a hex digit pair with its space can be in the font, so that a cut never overflows.
int byteWidth(const QFontMetrics& metrics) {
    static const char digits[] = "0123456789ABCDEF";
    int widest = 0;
    for (const char* d = digits; *d != 0; ++d)
        widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char(*d)));
    return 2 * widest + metrics.horizontalAdvance(QLatin1Char(' '));
}

}  // namespace

TrafficRowDelegate::TrafficRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent), texts_(kCachedTexts) {}

QString TrafficRowDelegate::fitBytes(const QString& hex, int width, const QFontMetrics& metrics) {
    const bool cut = hex.endsWith(kEllipsis);
    const QString body = cut ? hex.chopped(kEllipsis.size()) : hex;
    const int bytes = static_cast<int>((body.size() + 1) / 3);
    const int perByte = byteWidth(metrics);
    const int space = metrics.horizontalAdvance(QLatin1Char(' '));
    const int ellipsis = metrics.horizontalAdvance(kEllipsis);
    if (bytes * perByte - space + (cut ? ellipsis : 0) <= width) return hex;
    const int fit = std::clamp((width - ellipsis + space) / perByte, 0, bytes);
    if (fit == 0) return QStringLiteral("…");
    return body.left(3 * fit - 1) + kEllipsis;
}

const QStaticText& TrafficRowDelegate::textOf(const QString& shown, const QFont& font) const {
    if (QStaticText* cached = texts_.object(shown)) return *cached;
    auto* text = new QStaticText(shown);
    text->setTextFormat(Qt::PlainText);
    // Laid out once, in the font it is drawn with (a painter in another font lays it out again).
    text->prepare(QTransform(), font);
    texts_.insert(shown, text);
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
    QString shown = index.data(Qt::DisplayRole).toString();
    if (index.column() == TrafficTableModel::Bytes)
        shown = fitBytes(shown, option.rect.width() - 2 * kMargin, option.fontMetrics);
    const QStaticText& text = textOf(shown, option.font);
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
