#pragma once
// Where the copies of the device's memory taken before every restore live: a
// "backups" folder in the user's data folder, one dated file each, the most
// recent kKept of them kept.

#include <QString>

namespace SafetyCopies {

constexpr int kKept = 20;

// The folder, made when missing; empty when it cannot be made.
QString folder();
// A new file name in the folder, dated now; empty without a folder.
QString newPath();
// Removes all but the most recent kKept copies.
void prune();

}  // namespace SafetyCopies
