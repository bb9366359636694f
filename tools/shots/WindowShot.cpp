#include "tools/shots/WindowShot.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace velor::shots {

namespace {
constexpr int kCaptionHeight = 24;
}

bool saveWindowShot(QWidget& window, const QString& path) {
    const QPixmap client = window.grab();
    QImage shot(client.width(), client.height() + kCaptionHeight, QImage::Format_RGB32);
    shot.fill(QColor(0, 0, 128));
    QPainter painter(&shot);
    QFont font = window.font();
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect strip(6, 0, shot.width() - 12, kCaptionHeight);
    const QString title =
        QFontMetrics(font).elidedText(window.windowTitle(), Qt::ElideRight, strip.width());
    painter.drawText(strip, Qt::AlignVCenter | Qt::AlignLeft, title);
    painter.drawPixmap(0, kCaptionHeight, client);
    painter.end();
    // Quality 0 asks the PNG writer for its strongest compression.
    return shot.save(path, "PNG", 0);
}

}  // namespace velor::shots
