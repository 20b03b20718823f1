// The port selection dialog on the real dialog and real MIDI ports: what it
// lists, and that nothing is opened unless Ok is pressed after a choice.

#include "midi/midiconnection.h"
#include "support/midipeer.h"
#include "ui/dialogtextok.h"
#include "ui/midiselection.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <RtMidi.h>

class MidiSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void listsInputPorts();
    void closesWithoutOpening_data();
    void closesWithoutOpening();
    void okNeedsAChoice();
    void failedOpenIsReportedAndEndsTheDialog();

private:
    QListWidget* list() const { return dialog->findChild<QListWidget*>(QStringLiteral("listWidget")); }
    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(QLatin1String(name)); }
    void clickPeerEntry();

    std::unique_ptr<MidiPeer> peer;
    std::unique_ptr<midiselection> dialog;
};

void MidiSelectionTest::initTestCase()
{
    QString error;
    peer = MidiPeer::open(QStringLiteral("ZandoriumSelectionTest"), error);
    if (!peer && !midiSystemRequired())
        QSKIP(qPrintable(QStringLiteral("no MIDI system: ") + error));
    QVERIFY2(peer, qPrintable(error));
}

void MidiSelectionTest::init()
{
    dialog = std::make_unique<midiselection>();
}

void MidiSelectionTest::cleanup()
{
    dialog.reset();
    QVERIFY(!g_midiIn->isPortOpen());
    QVERIFY(!g_midiOut->isPortOpen());
}

void MidiSelectionTest::clickPeerEntry()
{
    const auto found = list()->findItems(QStringLiteral("ZandoriumSelectionTest"), Qt::MatchStartsWith);
    QVERIFY(!found.isEmpty());
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(found.first()).center());
}

void MidiSelectionTest::listsInputPorts()
{
    QStringList shown;
    for (int i = 0; i < list()->count(); ++i)
        shown.append(list()->item(i)->text());
    QCOMPARE(shown, g_midiConnection.portNames);
    QCOMPARE(static_cast<unsigned int>(shown.size()), g_midiIn->getPortCount());
    QCOMPARE(list()->findItems(QStringLiteral("ZandoriumSelectionTest"), Qt::MatchStartsWith).size(), 1);
}

void MidiSelectionTest::closesWithoutOpening_data()
{
    QTest::addColumn<bool>("choose");
    QTest::addColumn<bool>("escape");
    QTest::newRow("cancel") << false << false;
    QTest::newRow("cancel after a choice") << true << false;
    QTest::newRow("escape") << false << true;
    QTest::newRow("escape after a choice") << true << true;
}

void MidiSelectionTest::closesWithoutOpening()
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
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->accepted);
}

void MidiSelectionTest::okNeedsAChoice()
{
    QVERIFY(!button("pushButtonOk")->isEnabled());
    dialog->show();
    QTest::mouseClick(button("pushButtonOk"), Qt::LeftButton);
    QVERIFY(QMetaObject::invokeMethod(dialog.get(), "on_pushButtonOk_clicked"));
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->accepted);
}

void MidiSelectionTest::failedOpenIsReportedAndEndsTheDialog()
{
    // An entry whose port has gone: RtMidi cannot open it.
    QListWidgetItem* const gone = list()->item(0);
    gone->setText(QStringLiteral("a port that has gone"));
    QString shownMessage;
    QTimer::singleShot(0, this, [&] {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(gone).center());
        QTest::mouseClick(button("pushButtonOk"), Qt::LeftButton);
    });
    QTimer messageWatch;
    connect(&messageWatch, &QTimer::timeout, this, [&] {
        if (auto* const box = qobject_cast<DialogTextOk*>(QApplication::activeModalWidget())) {
            shownMessage = box->findChild<QLabel*>(QStringLiteral("label"))->text();
            box->accept();
        }
    });
    messageWatch.start(20);
    QTimer::singleShot(5000, dialog.get(), &QDialog::reject);
    dialog->exec();
    QVERIFY(!dialog->accepted);
    QVERIFY(!dialog->isVisible());
    QVERIFY2(shownMessage.contains(QLatin1String("could not be opened")), qPrintable(shownMessage));
    // RtMidi's own words follow.
    QVERIFY(!shownMessage.section(QLatin1String("\n\n"), 1).trimmed().isEmpty());
}

QTEST_MAIN(MidiSelectionTest)
#include "tst_midiselection.moc"
