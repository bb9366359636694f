#include "ui/TextFit.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace velor {

int lineEditTextRoom(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.hasFrame()
                           ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit)
                           : 0;
    const QRect contents = edit.style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
                               .marginsRemoved(edit.textMargins());
    // Two pixels of margin on each side and one for the cursor.
    return contents.width() - 5;
}

QFont fittedFont(QFont font, const QStringList& texts, int width) {
    constexpr int kSmallestPixels = 8;
    for (int px = font.pixelSize(); px > kSmallestPixels; --px) {
        font.setPixelSize(px);
        const QFontMetrics metrics(font);
        const bool fits = std::all_of(texts.begin(), texts.end(), [&](const QString& text) {
            return metrics.horizontalAdvance(text) <= width;
        });
        if (fits) break;
    }
    return font;
}

}  // namespace velor
