// The port dialog on real MIDI ports: nothing opens without Ok after a choice,
// and a port that cannot be opened is said to be so.

#include "midi/midiconnection.h"
#include "midi/portmatching.h"
#include "midi/rememberedport.h"
#include "support/accessibility.h"
#include "support/midipeer.h"
#include "ui/dialogtextok.h"
#include "ui/midiselection.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <RtMidi.h>

namespace {
const QString kPeerName = QStringLiteral("ZandoriumSelectionTest");
}  // namespace

class MidiSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        peer = MidiPeer::open(kPeerName, error);
        if (!peer && !midiSystemRequired())
            QSKIP(qPrintable(QStringLiteral("no MIDI system: ") + error));
        QVERIFY2(peer, qPrintable(error));
    }

    void init()
    {
        RememberedPort::forget();
        dialog = std::make_unique<midiselection>();
    }

    void cleanup()
    {
        dialog.reset();
        QVERIFY(!g_midiIn->isPortOpen());
        QVERIFY(!g_midiOut->isPortOpen());
    }

    void listsInputPorts()
    {
        const auto shown = [this] {
            QStringList texts;
            for (int i = 0; i < list()->count(); ++i)
                texts.append(list()->item(i)->text());
            return texts;
        };
        QCOMPARE(shown(), g_midiConnection.portNames);
        QCOMPARE(list()->findItems(kPeerName, Qt::MatchStartsWith).size(), 1);
        // The sequencer's own loop (Midi Through, under ALSA) is never the device.
        QVERIFY(list()->findItems(QStringLiteral("Midi Through"), Qt::MatchStartsWith).isEmpty());
        QCOMPARE(unnamedWidgets(dialog.get()), QStringList());
        clickPeerEntry();
        const QString chosen = list()->currentItem()->text();

        // Ports that come while the dialog is open are listed; another editor's
        // are not, and the choice stays.
        QString error;
        const auto later = MidiPeer::open(QStringLiteral("ZandoriumLater"), error);
        const auto editor = MidiPeer::open(QStringLiteral("RtMidi Output Client"), error);
        QVERIFY2(later && editor, qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(list()->findItems("ZandoriumLater", Qt::MatchStartsWith).size(), 1, 3000);
        QVERIFY(list()->findItems(QStringLiteral("RtMidi"), Qt::MatchStartsWith).isEmpty());
        QCOMPARE(shown(), g_midiConnection.portNames);
        QCOMPARE(list()->currentItem()->text(), chosen);
        QVERIFY(button("pushButtonOk")->isEnabled());
    }

    void closesWithoutOpening_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::addColumn<bool>("escape");
        QTest::newRow("cancel") << false << false;
        QTest::newRow("cancel after a choice") << true << false;
        QTest::newRow("escape") << false << true;
        QTest::newRow("escape after a choice") << true << true;
    }

    void closesWithoutOpening()
    {
        QFETCH(bool, choose);
        QFETCH(bool, escape);
        QTimer::singleShot(0, this, [&] {
            if (choose) {
                clickPeerEntry();
                QVERIFY(button("pushButtonOk")->isEnabled());
                QCOMPARE(dialog->itemChosen, 1);
            }
            if (escape)
                QTest::keyClick(dialog.get(), Qt::Key_Escape);
            else
                QTest::mouseClick(button("pushButtonCancel"), Qt::LeftButton);
        });
        QTimer::singleShot(5000, dialog.get(), &QDialog::reject);
        dialog->exec();
        QVERIFY(!dialog->isVisible() && !dialog->accepted);
    }

    void okNeedsAChoice()
    {
        dialog->show();
        QVERIFY(QMetaObject::invokeMethod(dialog.get(), "on_pushButtonOk_clicked"));
        QVERIFY(dialog->isVisible() && !dialog->accepted && !button("pushButtonOk")->isEnabled());
    }

    void remembersThePort_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("selected");
        QTest::newRow("nothing stored") << QString() << false;
        QTest::newRow("the peer") << kPeerName << true;
        // ALSA's client number, or JACK's number for a taken name, given anew.
        QTest::newRow("the peer, renumbered") << QStringLiteral("renumbered") << true;
        QTest::newRow("a port not listed") << QStringLiteral("ZandoriumUnplugged:MIDI 1") << false;
    }

    void remembersThePort()
    {
        QFETCH(QString, stored);
        QFETCH(bool, selected);
        const QString peerEntry = list()->findItems(kPeerName, Qt::MatchStartsWith).value(0)->text();
        if (stored.startsWith(kPeerName))
            stored = peerEntry;
        else if (stored == QLatin1String("renumbered"))
            stored = g_midiConnection.naming() == PortMatching::Naming::Alsa
                         ? QString(peerEntry).replace(QRegularExpression(" \\d+:\\d+$"), " 99:0")
                         : QString(peerEntry).replace(QRegularExpression("^([^:]*?)(-\\d\\d)?:"), "\\1-07:");
        RememberedPort::store(stored, g_midiConnection.naming());
        dialog = std::make_unique<midiselection>();

        const QListWidgetItem* const current = list()->currentItem();
        QCOMPARE(current && current->isSelected() && current->text() == peerEntry, selected);
        QCOMPARE(button("pushButtonOk")->isEnabled(), selected);
        if (!selected)
            return;
        // One Return connects, and the open port is remembered for the next start.
        RememberedPort::forget();
        QTimer::singleShot(0, this, [&] { QTest::keyClick(list(), Qt::Key_Return); });
        QTimer::singleShot(5000, dialog.get(), &QDialog::reject);
        dialog->exec();
        g_midiConnection.stopReceiving();
        QVERIFY(dialog->accepted);
        QCOMPARE(RememberedPort::load().fullName, peerEntry);
        QCOMPARE(RememberedPort::load().stableName, PortMatching::stableName(peerEntry, g_midiConnection.naming()));
    }

    void failedOpenIsReportedAndEndsTheDialog_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("entry unknown to RtMidi") << "renamed" << "is no longer there";
        // Listed when the dialog opened, switched off before Ok: JACK would
        // connect to nothing and say nothing.
        QTest::newRow("port gone before Ok") << "gone" << "is no longer there";
        // With no other output, the editor's own input port, named after the
        // chosen one, was paired: it talked to itself.
        QTest::newRow("nothing to pair with") << "talker" << "No output port could be paired";
    }

    void failedOpenIsReportedAndEndsTheDialog()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        QString error;
        std::unique_ptr<MidiPeer> other;
        if (fault == QLatin1String("talker"))
            peer.reset();
        if (fault != QLatin1String("renamed")) {
            const auto ports = fault == QLatin1String("talker") ? MidiPeer::Ports::SourceOnly : MidiPeer::Ports::Both;
            other = MidiPeer::open("ZandoriumOther", error, ports);
            QVERIFY2(other, qPrintable(error));
            dialog = std::make_unique<midiselection>();
        }
        QListWidgetItem* const entry = fault == QLatin1String("renamed")
                                           ? list()->item(0)
                                           : list()->findItems("ZandoriumOther", Qt::MatchStartsWith).value(0);
        QVERIFY(entry);
        if (fault == QLatin1String("renamed"))
            entry->setText(QStringLiteral("a port that has gone"));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(entry).center());
        if (fault == QLatin1String("gone"))
            other.reset();
        QTimer::singleShot(0, this, [&] { QTest::mouseClick(button("pushButtonOk"), Qt::LeftButton); });
        const QString shownMessage = execCollectingMessage();
        if (!peer)
            peer = MidiPeer::open(kPeerName, error);
        QVERIFY(!dialog->accepted && !dialog->isVisible());
        QVERIFY2(shownMessage.startsWith("The MIDI ports could not be opened."), qPrintable(shownMessage));
        QVERIFY2(shownMessage.contains(reason), qPrintable(shownMessage));
    }

private:
    QListWidget* list() const { return dialog->findChild<QListWidget*>(QStringLiteral("listWidget")); }
    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(QLatin1String(name)); }
    void clickPeerEntry()
    {
        const auto found = list()->findItems(kPeerName, Qt::MatchStartsWith);
        QVERIFY(!found.isEmpty());
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(found.first()).center());
    }
    // Runs the dialog until it closes; returns the message it showed.
    QString execCollectingMessage()
    {
        QString shownMessage;
        QTimer messageWatch;
        connect(&messageWatch, &QTimer::timeout, this, [&] {
            if (auto* const box = qobject_cast<DialogTextOk*>(QApplication::activeModalWidget())) {
                shownMessage = box->findChild<QLabel*>(QStringLiteral("label"))->text();
                box->accept();
                // As a user would, once the message is read.
                QTimer::singleShot(0, dialog.get(), &QDialog::reject);
            }
        });
        messageWatch.start(20);
        QTimer::singleShot(5000, dialog.get(), &QDialog::reject);
        dialog->exec();
        return shownMessage;
    }

    std::unique_ptr<MidiPeer> peer;
    std::unique_ptr<midiselection> dialog;
};

QTEST_MAIN(MidiSelectionTest)
#include "tst_midiselection.moc"
