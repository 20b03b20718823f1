#pragma once
// Where the copies of the device's memory taken before every restore live: a
// "backups" folder in the user's data folder, one dated file each, the most
// recent kKept of them kept.

#include <QString>
#include <QStringList>

namespace SafetyCopies {

constexpr int kKept = 20;

QString folderPath();
// The folder, made when missing; empty when it cannot be made.
QString folder();
// Matches the copies' names, and no file the folder would hold otherwise.
QStringList nameFilters();
// A new file name in the folder, dated now; empty without a folder.
QString newPath();
// Removes all but the most recent kKept copies, by when they were written
// (a clock set back makes names lie). Never the one just made nor the one the
// restore before made, whatever their dates, nor the one being restored (an
// old copy chosen to undo with); a copy dated ahead of now (the clock was
// wrong then) counts as older than any written since.
void prune(const QString& justMade, const QString& restoring);

}  // namespace SafetyCopies
