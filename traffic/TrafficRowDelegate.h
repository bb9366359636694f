#pragma once
// Paints the traffic table's cells from laid-out texts that it keeps. Most cells repeat (the
// direction, the address, the kind, the verdict, the bytes of every request), so texts are kept
// by what they say: a view that follows the tail lays out little more than the new time stamps
// and reply bytes. The bytes are cut to what their column shows before they are laid out.

#include <QCache>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace velor {

class TrafficRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TrafficRowDelegate(QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The hex bytes "AA BB CC …" cut to the whole bytes that fit into width pixels, with " …"
    // when some are left out; the text as it is when it fits.
    static QString fitBytes(const QString& hex, int width, const QFontMetrics& metrics);

private:
    const QStaticText& textOf(const QString& shown, const QFont& font) const;

    mutable QCache<QString, QStaticText> texts_;
};

}  // namespace velor
