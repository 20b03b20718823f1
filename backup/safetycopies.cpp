#include "backup/safetycopies.h"

#include "backup/memoryfile.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

namespace {
// Sorts as it was taken.
constexpr char kNamePattern[] = "'before-restore-'yyyy-MM-dd'_'HH-mm-ss";
}  // namespace

namespace SafetyCopies {

QString folderPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
}

QString folder()
{
    const QString path = folderPath();
    return QDir().mkpath(path) ? path : QString();
}

QString newPath()
{
    const QString where = folder();
    if (where.isEmpty())
        return {};
    const QString stem = QDateTime::currentDateTime().toString(QLatin1String(kNamePattern));
    QString path = where + QLatin1Char('/') + stem + QLatin1String(MemoryFile::kExtension);
    // Two restores within a second each keep their own copy.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = where + QLatin1Char('/') + stem + QStringLiteral("-%1").arg(n) + QLatin1String(MemoryFile::kExtension);
    return path;
}

void prune(const QString& justMade)
{
    QDir dir(folder());
    QStringList copies = dir.entryList({QStringLiteral("before-restore-*") + QLatin1String(MemoryFile::kExtension)},
                                       QDir::Files, QDir::Time);
    copies.removeAll(QFileInfo(justMade).fileName());
    for (int i = kKept - 1; i < copies.size(); ++i)
        dir.remove(copies.at(i));
}

}  // namespace SafetyCopies
