#pragma once
// The simulator's own console on standard input: one command per line, to
// make the unit do what it would do when its own keys are used.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

class DeviceLink;

class Console : public QObject
{
    Q_OBJECT

public:
    explicit Console(DeviceLink& link);

    // Runs one command line; returns what it prints.
    QString run(const QString& line);

    static QString help();

signals:
    void quitRequested();

private:
    void readInput();

    DeviceLink& link_;
    QSocketNotifier notifier_;
    QByteArray pending_;
};
