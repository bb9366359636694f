// Both editors laid out at their fixed client size: every control inside the client area and
// none covering another, with the texts the dialog shows once it is open.

#include <QLabel>
#include <QString>
#include <QWidget>
#include <vector>

#include "EditorFixture.h"
#include "config/AnalogEditor.h"
#include "config/BinaryEditor.h"
#include "support/TextFits.h"

namespace velor::test {
namespace {

using EditorLayoutTest = EditorFixture;

QString describe(const QWidget* w) {
    const auto* label = qobject_cast<const QLabel*>(w);
    const QString what = label != nullptr ? '"' + label->text() + '"' : w->objectName();
    const QRect r = w->geometry();
    return QStringLiteral("%1 at %2,%3 %4x%5")
        .arg(what)
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

// Reports every visible control that leaves the client area or overlaps another one.
void expectClearLayout(QWidget& dialog, int width, int height) {
    std::vector<QWidget*> shown;
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible()) continue;
        // Labels are measured by their text, as wide as the text makes them.
        if (auto* label = qobject_cast<QLabel*>(w)) label->adjustSize();
        shown.push_back(w);
    }
    const QRect client(0, 0, width, height);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_TRUE(client.contains(shown[i]->geometry()))
            << describe(shown[i]).toStdString() << " leaves the client area";
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << describe(shown[i]).toStdString() << " overlaps "
                << describe(shown[j]).toStdString();
        }
    }
}

TEST_F(EditorLayoutTest, NoControlOverlapsAnotherOrLeavesTheClientArea) {
    {
        SCOPED_TRACE("analog");
        TForm_Konmst editor(context);
        editor.show();
        ASSERT_EQ(editor.size(), QSize(TForm_Konmst::kClientWidth, TForm_Konmst::kClientHeight));
        expectClearLayout(editor, TForm_Konmst::kClientWidth, TForm_Konmst::kClientHeight);
        ExpectTextsFit(editor);
    }
    {
        SCOPED_TRACE("binary");
        TForm_BKonmst editor(context);
        editor.show();
        ASSERT_EQ(editor.size(), QSize(TForm_BKonmst::kClientWidth, TForm_BKonmst::kClientHeight));
        expectClearLayout(editor, TForm_BKonmst::kClientWidth, TForm_BKonmst::kClientHeight);
        ExpectTextsFit(editor);
    }
}

}  // namespace
}  // namespace velor::test
