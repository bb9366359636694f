#pragma once
// Saves a window as a small PNG: its client area under a caption strip that repeats the
// window's title, since a grab shows no frame and the captions carry the status.

#include <QString>

class QWidget;

namespace velor::shots {

// False when the file could not be written.
bool saveWindowShot(QWidget& window, const QString& path);

}  // namespace velor::shots
