#pragma once
// Fitting designed texts into controls of a fixed size.

#include <QFont>
#include <QStringList>

class QLineEdit;

namespace velor {

// The room a line edit leaves for its text: its contents less the inner margins and a cursor.
int lineEditTextRoom(const QLineEdit& edit);

// The font, made smaller a pixel at a time (down to 8 px) until every text fits the width.
QFont fittedFont(QFont font, const QStringList& texts, int width);

}  // namespace velor
