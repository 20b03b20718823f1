#pragma once
// The backups a user has at hand: the safety copies and the files this program
// backed up to or restored from (their paths remembered in the settings),
// each described as a restore would judge it. GUI thread only.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

namespace BackupList {

// Paths remembered beyond the safety copies; the oldest are forgotten first.
constexpr int kRemembered = 50;

struct Entry
{
    QString path;
    QDateTime written;
    qint64 size = 0;
    int blocks = 0;
    QString dataVersion;  // empty when the file does not pass the check
    QString problem;      // why a restore would refuse the file; empty when it would not
    bool safetyCopy = false;
};

// Remembers a file backed up to or restored from, as the newest.
void remember(const QString& path);
Entry describe(const QString& path);
// The safety copies and the remembered files that still exist, newest first.
QVector<Entry> entries();

// Tells the windows that show the list when it may have changed.
class Notifier : public QObject
{
    Q_OBJECT

public:
    static Notifier& instance();

signals:
    void changed();
};

}  // namespace BackupList
