#pragma once
// The one way the windows make a caption label.

#include <QColor>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace velor {

// A label showing `text`, child of `parent`, at `geometry`; a geometry without size places
// the label at its corner and fits it to the text. A valid background fills the label.
QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry,
                  const QString& name = {}, const QColor& background = {});

}  // namespace velor
