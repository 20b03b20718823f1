// delayMs runs the event loop for its whole length without burning a core.

#include "midi/delay.h"

#include <QtTest>

#include <ctime>

class DelayTest : public QObject
{
    Q_OBJECT

private slots:
    void zeroReturnsWithoutProcessingEvents_data()
    {
        QTest::addColumn<int>("ms");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
    }

    void zeroReturnsWithoutProcessingEvents()
    {
        QFETCH(int, ms);
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        delayMs(ms);
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }

    void waitsFullLengthAsleepRunningTimers()
    {
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        const std::clock_t cpuBefore = std::clock();
        delayMs(400);
        const qint64 elapsed = clock.elapsed();
        const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QVERIFY2(elapsed >= 400 && elapsed < 1200, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        // Polling would use the whole 400 ms of one core.
        QVERIFY2(cpuMs < 100, qPrintable(QString::number(cpuMs)));
    }
};

QTEST_GUILESS_MAIN(DelayTest)
#include "tst_delay.moc"
