// Over a real MIDI connection: Ok opens the chosen ports, nothing pressed
// before reaches the device, the start-up request goes once and first.

#include "app/globals.h"
#include "app/startup.h"
#include "midi/midiconnection.h"
#include "midi/trace.h"
#include "protocol/commandsender.h"
#include "simulator/floodtraffic.h"
#include "support/hubharness.h"
#include "support/midipeer.h"
#include "support/tracecapture.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"
#include "ui_editwindow.h"
#include "ui/memoryselect.h"
#include "ui/midiselection.h"

#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {
const QString kPeerName = QStringLiteral("ZandoriumWireTest");
constexpr int kSettleMs = 300;
}  // namespace

class ConnectionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<MidiPeer> peer;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<TraceCapture> trace;

private slots:
    void initTestCase()
    {
        QString error;
        peer = MidiPeer::open(kPeerName, error);
        if (!peer && !midiSystemRequired())
            QSKIP(qPrintable(QStringLiteral("no MIDI system: ") + error));
        QVERIFY2(peer, qPrintable(error));
        trace = std::make_unique<TraceCapture>();
        mainWindow = std::make_unique<MainWindow>();
        mainWindow->show();
    }

    void okOpensThePeersPorts()
    {
        midiselection dialog;
        auto* const list = dialog.findChild<QListWidget*>(QStringLiteral("listWidget"));
        QTimer::singleShot(0, this, [&] {
            // Pressed on the front panel behind the dialog: traced, never sent.
            mainWindow->findChild<QPushButton*>(QStringLiteral("pushButton3"))->click();
            // Another entry first, then the peer's: Ok opens the last one chosen.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
            const auto found = list->findItems(kPeerName, Qt::MatchStartsWith);
            QCOMPARE(found.size(), 1);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("pushButtonOk")), Qt::LeftButton);
        });
        QTimer::singleShot(10000, &dialog, &QDialog::reject);
        dialog.exec();
        QVERIFY(dialog.accepted && g_midiIn->isPortOpen() && g_midiOut->isPortOpen());
        QVERIFY(g_midiConnection.selectedPortName.startsWith(kPeerName));
        // Its list no longer followed: a change to it would choose anew.
        for (const QTimer* const timer : dialog.findChildren<QTimer*>())
            QVERIFY(!timer->isActive());
        QCOMPARE(trace->sentFrames(), deviceFrames({"01 02", "00 02"}));
    }

    void startupRequestSentOnce()
    {
        startConnected(*mainWindow);
        QVERIFY(g_editWindow && g_miniCore && g_wiring.load() && g_commandSender);
        QVERIFY(peer->waitForMessages(1, 5000));
        QTest::qWait(kSettleMs);
        // The key's frames were not queued for the port that opened later.
        QCOMPARE(peer->received(), deviceFrames({"09 4D 00"}));
        QCOMPARE(trace->lines().filter(QStringLiteral("--> S F0 7E 10 07 02 09 4D 00 F7")).size(), 1);
    }

    // During a backup or restore only its own frames reach the device, whichever
    // window a user still reaches.
    void onlyTransferFramesWhileHeld()
    {
        const int before = peer->received().size();
        const QByteArray block = deviceFrame("1E 00 00 01 00 55");
        g_midiConnection.holdOtherFrames(true);
        CommandSender::sendKeyPress(2);
        CommandSender::sendSelectBank(3);
        CommandSender::sendBackupRequest();
        CommandSender::sendRawFrame(reinterpret_cast<const unsigned char*>(block.constData()),
                                    std::size_t(block.size()));
        g_midiConnection.holdOtherFrames(false);
        CommandSender::sendKeyRelease(2);
        QVERIFY(peer->waitForMessages(before + 3, 5000));
        QTest::qWait(kSettleMs);
        QCOMPARE(peer->received().mid(before), (QList<QByteArray>{deviceFrame("1D 00"), block, deviceFrame("00 02")}));
    }

    // Hostile traffic as fast as the port carries it, from a thread of its own:
    // the GUI thread never pauses for long, and the marker names among the
    // flood reach the editor in order, the last one shown.
    void floodLeavesTheWindowsAnswering()
    {
        // The costliest thing a report makes the windows do, on this machine:
        // the device opening the memory dialog and closing it again. A pause
        // of fifty of those is a hang, however slow the machine (a sanitizer,
        // the ALSA test VM, a busy CI host).
        QElapsedTimer costly;
        costly.start();
        constexpr int kRounds = 3;
        int opened = 0;
        bool open = false;
        // From a timer: the dialog the device opens runs a loop of its own.
        QTimer drive;
        connect(&drive, &QTimer::timeout, [&] {
            if (!open && !g_memorySelect && opened < kRounds) {
                peer->send(deviceFrame("1A 00"));
                open = true;
                ++opened;
            } else if (open && g_memorySelect && g_memorySelect->isVisible()) {
                peer->send(deviceFrame("1B 00"));
                open = false;
            }
        });
        drive.start(1);
        QVERIFY(QTest::qWaitFor([&] { return opened == kRounds && !open && !g_memorySelect; }, 30000));
        drive.stop();
        const qint64 roundMs = std::max<qint64>(1, costly.elapsed() / kRounds);
        const qint64 longestPause = std::max<qint64>(1000, 50 * roundMs);
        // The flood is one this machine's editor is built to take: 1.4 MB/s where
        // a round above takes 30 ms (the machines CI runs on), less where it is
        // slower (the emulated ALSA VM), so that a slow machine is not judged
        // by a backlog it could never drain.
        const int bytesPerMs = static_cast<int>(std::clamp<qint64>(1400 * 30 / roundMs, 100, 1400));
        trace.reset();
        std::FILE* const nowhere = std::fopen("/dev/null", "w");
        Trace::setStream(nowhere);
        QPlainTextEdit* const name = g_editWindow->widgets().plainTextEditNome;
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        int lastSeen = 0;
        bool inOrder = true;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceTick.restart());
            const int marker = name->toPlainText().startsWith("mark ") ? name->toPlainText().mid(5).toInt() : 0;
            inOrder = inOrder && (marker == 0 || marker >= lastSeen);
            lastSeen = std::max(lastSeen, marker);
        });
        connect(&tick, &QTimer::timeout, &HubHarness::rejectVisibleDialogs);  // dialogs the flood opens
        sinceTick.start();
        tick.start(20);
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
        Sim::FloodTraffic traffic;  // the flood thread's until it is joined
        std::thread flood([&] {
            const auto start = std::chrono::steady_clock::now();
            for (int ms = 0; ms < 5000 && !stop; ++ms) {
                for (int sent = 0; sent < bytesPerMs;) {
                    const QByteArray message = traffic.next();
                    peer->send(message);
                    sent += message.size();
                }
                std::this_thread::sleep_until(start + std::chrono::milliseconds(ms + 1));
            }
            done = true;
        });
        // Joined on every way out: a failed check must not end the whole binary.
        auto joinFlood = qScopeGuard([&] {
            stop = true;
            flood.join();
        });
        QVERIFY(QTest::qWaitFor([&] { return done.load(); }, 30000));
        joinFlood.dismiss();
        flood.join();
        // The last marker, once the editor has caught up, is shown. The ALSA
        // sequencer may still drop what comes while it drains: asked again.
        bool shown = false;
        for (int attempt = 0; attempt < 10 && !shown; ++attempt) {
            peer->send(traffic.nextMarker());
            const QString last = QString::fromLatin1(Sim::FloodTraffic::markerName(traffic.lastMarker()));
            shown = QTest::qWaitFor([&] { return name->toPlainText() == last; }, 1000);
        }
        QVERIFY2(shown, qPrintable(name->toPlainText()));
        tick.stop();
        Trace::setStream(nullptr);
        std::fclose(nowhere);
        QVERIFY(inOrder);
        QVERIFY2(longestGap < longestPause, qPrintable(QStringLiteral("%1 ms, at most %2").arg(longestGap).arg(longestPause)));
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
