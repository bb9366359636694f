#pragma once
// Whether the texts a window shows are whole at its designed size, measured with the fonts its
// controls get (here the DejaVu faces the package depends on): push button captions, label
// texts, line edit texts and every item of a combo box.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QWidget>
#include <string>

#include "ui/TextFit.h"

namespace velor::test {

inline int TextWidth(const QWidget& control, const QString& text) {
    return QFontMetrics(control.font()).horizontalAdvance(text);
}

inline int ComboTextRoom(const QComboBox& combo) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.rect = combo.rect();
    option.editable = combo.isEditable();
    option.frame = combo.hasFrame();
    return combo.style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo)
        .width();
}

inline int ButtonTextRoom(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.rect = button.rect();
    option.text = button.text();
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button).width();
}

// Blanks at the end of a text show nothing; cutting them loses nothing.
inline QString Shown(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' ')) --n;
    return text.left(n);
}

// Reports every shown text of the window's direct children that its control cuts.
inline void ExpectTextsFit(QWidget& window) {
    for (QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisibleTo(&window)) continue;
        const std::string name =
            window.objectName().toStdString() + " " + w->objectName().toStdString() + ": ";
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            const QString caption = QString(b->text()).remove(QLatin1Char('&'));
            EXPECT_LE(TextWidth(*b, caption), ButtonTextRoom(*b)) << name << caption.toStdString();
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->wordWrap()) continue;
            EXPECT_LE(TextWidth(*l, Shown(l->text())), l->contentsRect().width())
                << name << l->text().toStdString();
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            EXPECT_LE(TextWidth(*e, Shown(e->text())), lineEditTextRoom(*e))
                << name << e->text().toStdString();
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < c->count(); ++i)
                EXPECT_LE(TextWidth(*c, c->itemText(i)), ComboTextRoom(*c))
                    << name << c->itemText(i).toStdString();
        }
    }
}

}  // namespace velor::test
