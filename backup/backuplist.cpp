#include "backup/backuplist.h"

#include "app/usersettings.h"
#include "backup/memoryfile.h"
#include "backup/safetycopies.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {
constexpr char kRememberedKey[] = "backups/files";

QStringList rememberedPaths()
{
    return userSettings().value(QLatin1String(kRememberedKey)).toStringList();
}
}  // namespace

namespace BackupList {

void remember(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = rememberedPaths();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    userSettings().setValue(QLatin1String(kRememberedKey), QStringList(paths.mid(0, kRemembered)));
    emit Notifier::instance().changed();
}

Entry describe(const QString& path)
{
    const QFileInfo info(path);
    Entry entry;
    entry.path = info.absoluteFilePath();
    entry.written = info.lastModified();
    entry.size = info.size();
    entry.safetyCopy = info.absolutePath() == QFileInfo(SafetyCopies::folderPath()).absoluteFilePath()
                       && QDir::match(SafetyCopies::nameFilters(), info.fileName());
    QByteArray contents;
    if (!MemoryFile::readRestoreFile(path, contents, entry.problem))
        return entry;
    // Data bytes never have the top bit set, so every F0 starts a block.
    entry.blocks = static_cast<int>(contents.count(static_cast<char>(0xF0)));
    entry.problem = MemoryFile::checkRestoreFile(contents);
    if (entry.problem.isEmpty())
        entry.dataVersion = MemoryFile::readFileHeader(contents).versionString;
    return entry;
}

QVector<Entry> entries()
{
    QStringList paths;
    for (const QFileInfo& copy : QDir(SafetyCopies::folderPath()).entryInfoList(SafetyCopies::nameFilters(), QDir::Files))
        paths.append(copy.absoluteFilePath());
    for (const QString& path : rememberedPaths()) {
        if (!paths.contains(path) && QFileInfo(path).isFile())
            paths.append(path);
    }
    QVector<Entry> list;
    for (const QString& path : paths)
        list.append(describe(path));
    std::stable_sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) { return a.written > b.written; });
    return list;
}

Notifier& Notifier::instance()
{
    static Notifier notifier;
    return notifier;
}

}  // namespace BackupList
