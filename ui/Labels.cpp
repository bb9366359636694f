#include "ui/Labels.h"

#include <QLabel>
#include <QPalette>

namespace velor {

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry, const QString& name,
                  const QColor& background) {
    auto* label = new QLabel(text, parent);
    if (!name.isEmpty()) label->setObjectName(name);
    if (geometry.size().isEmpty()) {
        label->move(geometry.topLeft());
        label->adjustSize();
    } else {
        label->setGeometry(geometry);
    }
    if (background.isValid()) {
        label->setAutoFillBackground(true);
        QPalette p = label->palette();
        p.setColor(QPalette::Window, background);
        label->setPalette(p);
    }
    return label;
}

}  // namespace velor
