// A delayMs that polls the event loop until the time of day passes the
// deadline, keeping a core busy; for comparison with the sleeping one only.
// Linked ahead of the library, it replaces the sleeping wait there.

#include "midi/delay.h"

#include <QCoreApplication>
#include <QTime>

void delayMs(int ms)
{
    if (ms <= 0)
        return;
    const int deadline = QTime::currentTime().msecsSinceStartOfDay() + ms;
    while (QTime::currentTime().msecsSinceStartOfDay() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
}
