// Over a real MIDI connection: Ok opens the chosen ports, nothing pressed
// before reaches the device, the start-up request goes once and first.

#include "app/globals.h"
#include "app/startup.h"
#include "midi/midiconnection.h"
#include "protocol/commandsender.h"
#include "support/hubharness.h"
#include "support/midipeer.h"
#include "support/tracecapture.h"
#include "ui/mainwindow.h"
#include "ui/midiselection.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <RtMidi.h>

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

    // What each report shows is the decoder's test; here they cross the wire, each traced once.
    void reportsReachTheFrontPanel()
    {
        const QStringList frames = {"F0 7E 10 07 02 07 01 03 F7", "F0 7E 10 07 02 17 1B F7", "F0 7E 10 07 02 18 04 F7",
                                    "F0 7E 10 07 02 0A 05 43 6C 65 61 6E F7"};
        for (const QString& frame : frames)
            peer->send(hexBytes(qPrintable(frame)));
        QTRY_COMPARE_WITH_TIMEOUT(mainWindow->findChild<QLabel*>(QStringLiteral("labelName"))->text(), "Clean", 5000);
        const QStringList lines = trace->lines();
        for (const QString& frame : frames)
            QCOMPARE(lines.count("R " + frame + ' '), 1);
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
        CommandSender::sendRawFrame(reinterpret_cast<const unsigned char*>(block.constData()), std::size_t(block.size()));
        g_midiConnection.holdOtherFrames(false);
        CommandSender::sendKeyRelease(2);
        QVERIFY(peer->waitForMessages(before + 3, 5000));
        QTest::qWait(kSettleMs);
        QCOMPARE(peer->received().mid(before), (QList<QByteArray>{deviceFrame("1D 00"), block, deviceFrame("00 02")}));
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
