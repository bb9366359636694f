#include "ui/ControlNumber.h"

#include <QString>

namespace velor {

int controlNumber(const QString& objectName) {
    const qsizetype bar = objectName.indexOf(u'_');
    const QString digits = bar < 0 ? objectName : objectName.mid(bar + 1);
    if (digits.isEmpty() || (digits.size() > 1 && digits.front() == u'0')) return -1;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return -1;
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok ? n : -1;
}

}  // namespace velor
