// The console trace and the byte count of the send path, and the receive
// callback's trace of incoming bytes.

#include "midi/midiconnection.h"
#include "midi/receivecallback.h"
#include "support/tracecapture.h"

#include <QtTest>

#include <thread>

class TraceTest : public QObject
{
    Q_OBJECT

private slots:
    void sendLine_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("sent");
        QTest::newRow("key press") << hexBytes("F0 7E 10 07 02 01 05 F7") << "--> S F0 7E 10 07 02 01 05 F7" << 8;
        QTest::newRow("start-up, upper-case digits")
            << hexBytes("F0 7E 10 07 02 09 4D 00 F7") << "--> S F0 7E 10 07 02 09 4D 00 F7" << 9;
        QTest::newRow("only F7") << hexBytes("F7") << "--> S F7" << 1;
        QTest::newRow("stops at the first F7") << hexBytes("F0 01 F7 02 F7") << "--> S F0 01 F7" << 3;
        QTest::newRow("high byte inside is not checked") << hexBytes("F0 80 F7") << "--> S F0 80 F7" << 3;
        QTest::newRow("no F7: refused, not traced") << hexBytes("F0 7E 10 07 02 01 05") << "" << 0;
    }

    void sendLine()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QString, line);
        QFETCH(int, sent);
        TraceCapture trace;
        const int count = g_midiConnection.send(reinterpret_cast<const unsigned char*>(buffer.constData()),
                                                static_cast<std::size_t>(buffer.size()));
        QCOMPARE(count, sent);
        QCOMPARE(g_midiConnection.send(nullptr, 8), 0);
        QCOMPARE(trace.text(), sent ? line + QLatin1Char('\n') : QString());
    }

    void receiveLine_data()
    {
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::addColumn<QString>("text");
        const QString ampLine = QStringLiteral("R F0 7E 10 07 02 0F 02 F7 \n");
        QTest::newRow("one frame") << QList<QByteArray>{hexBytes("F0 7E 10 07 02 0F 02 F7")} << ampLine;
        QTest::newRow("split over two messages")
            << QList<QByteArray>{hexBytes("F0 7E 10 07"), hexBytes("02 0F 02 F7")} << ampLine;
        QTest::newRow("real-time bytes not traced")
            << QList<QByteArray>{hexBytes("F0 7E 10 F8 07 02 FE 0F 02 F7")} << ampLine;
        QTest::newRow("channel message shares the next line")
            << QList<QByteArray>{hexBytes("90 40 7F"), hexBytes("F0 7E 10 07 02 0F 02 F7")}
            << QStringLiteral("90 40 7F R F0 7E 10 07 02 0F 02 F7 \n");
        // Longer than any line the trace holds: written in pieces, never past its end.
        QTest::newRow("a frame of 3000 bytes")
            << QList<QByteArray>{hexBytes("F0") + QByteArray(2998, 1) + hexBytes("F7")}
            << "R F0 " + QStringLiteral("01 ").repeated(2998) + "F7 \n";
    }

    void receiveLine()
    {
        QFETCH(QList<QByteArray>, messages);
        QFETCH(QString, text);
        TraceCapture trace;
        for (const QByteArray& message : messages) {
            std::vector<unsigned char> bytes(message.begin(), message.end());
            receiveCallback(0.0, &bytes, nullptr);
        }
        QCOMPARE(trace.text(), text);
    }

    void sendAndReceiveFromTwoThreads()
    {
        TraceCapture trace;
        const QByteArray received = hexBytes("F0 7E 10 07 02 07 01 03 F7");
        const QByteArray sent = hexBytes("F0 7E 10 07 02 01 05 F7");
        constexpr int kFrames = 300;

        // RtMidi calls the receive callback on its own thread while the GUI
        // thread sends.
        std::thread input([&] {
            for (int i = 0; i < kFrames; ++i) {
                std::vector<unsigned char> bytes(received.begin(), received.end());
                receiveCallback(0.0, &bytes, nullptr);
            }
        });
        for (int i = 0; i < kFrames; ++i)
            g_midiConnection.send(reinterpret_cast<const unsigned char*>(sent.constData()), std::size_t(sent.size()));
        input.join();

        // A sent line is written whole; received bytes may wrap around it.
        QString text = trace.text();
        const QString sentLine = QStringLiteral("--> S F0 7E 10 07 02 01 05 F7\n");
        QCOMPARE(text.count(sentLine), kFrames);
        text.remove(sentLine);
        QCOMPARE(text, QStringLiteral("R F0 7E 10 07 02 07 01 03 F7 \n").repeated(kFrames));
    }
};

QTEST_GUILESS_MAIN(TraceTest)
#include "tst_trace.moc"
