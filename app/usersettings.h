#pragma once
// The program's settings file, under the XDG configuration folder:
// zandorium/uploader.conf. Named here rather than through the application's
// names, so tests and tools that never set those read the same file.

#include <QSettings>

QSettings userSettings();
