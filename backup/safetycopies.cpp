#include "backup/safetycopies.h"

#include "app/usersettings.h"
#include "backup/memoryfile.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {
// Sorts as it was taken.
constexpr char kNamePattern[] = "'before-restore-'yyyy-MM-dd'_'HH-mm-ss";
constexpr char kLastCopyKey[] = "backups/lastSafetyCopy";
// A file time this far ahead of the clock is not from now.
constexpr int kClockSlackSeconds = 60;

// The copy made by the restore before this one, remembered across runs.
QString exchangeLastCopy(const QString& justMade)
{
    QSettings settings = userSettings();
    const QString before = settings.value(QLatin1String(kLastCopyKey)).toString();
    settings.setValue(QLatin1String(kLastCopyKey), justMade);
    return before;
}
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

QStringList nameFilters()
{
    return {QStringLiteral("before-restore-*") + QLatin1String(MemoryFile::kExtension)};
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

void prune(const QString& justMade, const QString& restoring)
{
    QStringList spared{QFileInfo(justMade).absoluteFilePath(), QFileInfo(restoring).absoluteFilePath()};
    const QString before = exchangeLastCopy(justMade);
    if (!before.isEmpty())
        spared.append(QFileInfo(before).absoluteFilePath());
    QFileInfoList copies =
        QDir(folder()).entryInfoList(nameFilters(), QDir::Files);
    const QDateTime latest = QDateTime::currentDateTime().addSecs(kClockSlackSeconds);
    const auto dated = [&latest](const QFileInfo& copy) {
        const QDateTime written = copy.lastModified();
        return written > latest ? QDateTime() : written;
    };
    std::stable_sort(copies.begin(), copies.end(), [&dated](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime da = dated(a), db = dated(b);
        if (da.isValid() != db.isValid())
            return da.isValid();
        return da.isValid() ? da > db : a.lastModified() > b.lastModified();
    });
    int left = kKept - static_cast<int>(std::count_if(copies.begin(), copies.end(), [&spared](const QFileInfo& copy) {
                   return spared.contains(copy.absoluteFilePath());
               }));
    for (const QFileInfo& copy : copies) {
        if (spared.contains(copy.absoluteFilePath()))
            continue;
        if (left > 0)
            --left;
        else
            QFile::remove(copy.absoluteFilePath());
    }
}

}  // namespace SafetyCopies
