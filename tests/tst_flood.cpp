// The program's receive side under a flood over a real MIDI connection: a peer
// sends hostile traffic (simulator/floodtraffic.h) as fast as the port carries
// it for 10 s, from a thread of its own. The GUI thread must keep answering,
// and the marker names among the flood must reach the editor in order, the
// last one shown at the end.

#include "core/minicore.h"
#include "midi/midiconnection.h"
#include "midi/trace.h"
#include "simulator/floodtraffic.h"
#include "support/hubharness.h"
#include "support/midipeer.h"
#include "ui/editwindow.h"
#include "ui_editwindow.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {
constexpr int kFloodSeconds = 10;
constexpr int kBytesPerMs = 1400;
constexpr int kTickMs = 20;
// Longer than any pause a user would take for a hang; ASan slows the program
// several times over.
constexpr qint64 kLongestGapMs = 1000;
}  // namespace

class FloodTest : public QObject
{
    Q_OBJECT

private slots:
    void guiAnswersAndMarkersArriveInOrder();
};

void FloodTest::guiAnswersAndMarkersArriveInOrder()
{
    QString error;
    const auto peer = MidiPeer::open(QStringLiteral("ZandoriumFloodTest"), error);
    if (!peer && !midiSystemRequired())
        QSKIP(qPrintable(QStringLiteral("no MIDI system: ") + error));
    QVERIFY2(peer, qPrintable(error));
    std::FILE* const nowhere = std::fopen("/dev/null", "w");
    Trace::setStream(nowhere);
    HubHarness harness;
    g_midiConnection.refreshInputPorts();
    const int port = g_midiConnection.portNames.indexOf(QRegularExpression("ZandoriumFloodTest.*"));
    QVERIFY(port >= 0);
    QVERIFY2(g_midiConnection.openPorts(port, error), qPrintable(error));

    // Every tick: how long since the last, and the name the editor shows.
    QPlainTextEdit* const nameBox = harness.editWindow().widgets().plainTextEditNome;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    int lastMarkerSeen = 0;
    bool inOrder = true;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
        const QString name = nameBox->toPlainText();
        if (!name.startsWith(QLatin1String("mark ")))
            return;
        const int marker = name.mid(5).toInt();
        inOrder = inOrder && marker >= lastMarkerSeen;
        lastMarkerSeen = marker;
    });
    // Dialogs the flood opens are closed as a user would, from inside their loops.
    connect(&tick, &QTimer::timeout, &HubHarness::rejectVisibleDialogs);
    sinceTick.start();
    tick.start(kTickMs);

    std::atomic<int> lastMarkerSent{0};
    std::thread flood([&] {
        Sim::FloodTraffic traffic;
        const auto start = std::chrono::steady_clock::now();
        for (int ms = 0; ms < kFloodSeconds * 1000; ++ms) {
            for (int sent = 0; sent < kBytesPerMs;) {
                const QByteArray message = traffic.next();
                peer->send(message);
                sent += message.size();
            }
            std::this_thread::sleep_until(start + std::chrono::milliseconds(ms + 1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        peer->send(traffic.nextMarker());
        lastMarkerSent = traffic.lastMarker();
    });
    QTest::qWait(kFloodSeconds * 1000);
    while (lastMarkerSent == 0)
        QTest::qWait(kTickMs);
    flood.join();
    QTRY_COMPARE(nameBox->toPlainText(), QString::fromLatin1(Sim::FloodTraffic::markerName(lastMarkerSent)));
    tick.stop();
    g_midiConnection.stopReceiving();
    Trace::setStream(nullptr);
    std::fclose(nowhere);

    qInfo("%d markers sent; longest pause of the GUI thread %lld ms", lastMarkerSent.load(), longestGap);
    QVERIFY(inOrder);
    QVERIFY2(longestGap < kLongestGapMs, qPrintable(QString::number(longestGap)));
}

QTEST_MAIN(FloodTest)
#include "tst_flood.moc"
