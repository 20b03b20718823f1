#include "midi/delay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

void delayMs(int ms)
{
    if (ms <= 0)
        return;
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    // The timer only wakes the blocking processEvents below; restarting it
    // each round keeps a wake-up pending even if one fires a little early.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        wakeUp.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}
