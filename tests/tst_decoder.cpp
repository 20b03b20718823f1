// Incoming frames through the real receive callback, decoder, hub and wiring
// into the real windows: what each report changes, what is ignored, the order
// of what is raised, the trace, and delivery from another thread.

#include "core/minicore.h"
#include "resources/artwork.h"
#include "support/hubharness.h"
#include "support/tracecapture.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QtTest>

#include <thread>

namespace {

QByteArray repeated(char c, int count) { return QByteArray(count, c).toHex(' '); }

// A counted-text frame body: code, count, text.
QByteArray textBody(const char* code, const QByteArray& text)
{
    return QByteArray(code) + ' ' + QByteArray::number(text.size(), 16).rightJustified(2, '0') + ' ' + text.toHex(' ');
}

// Version lengths stay below 128 here: their 28-bit fields are "00 00 00 nn".
QByteArray versionBody(const QByteArray& firmware, const QByteArray& data)
{
    return textBody("22 00 00 00", firmware) + ' ' + textBody("00 00 00", data);
}

QImage image(const QIcon& icon) { return icon.pixmap(60, 60).toImage(); }

}  // namespace

class DecoderTest : public QObject
{
    Q_OBJECT

private:
    QObject* child(const QString& name) const
    {
        QObject* found = harness->editWindow().findChild<QObject*>(name);
        found = found ? found : harness->mainWindow().findChild<QObject*>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    QImage ledImage(int key) const
    {
        return image(harness->mainWindow().findChild<QPushButton*>(QStringLiteral("pushButton%1").arg(key))->icon());
    }
    void feed(const QByteArray& body) const { HubHarness::deliver(deviceFrame(body.constData())); }

    std::unique_ptr<HubHarness> harness;
    std::unique_ptr<TraceCapture> trace;

private slots:
    void init()
    {
        trace = std::make_unique<TraceCapture>();
        harness = std::make_unique<HubHarness>();
    }

    void cleanup()
    {
        harness.reset();
        trace.reset();
    }

    void reportsReachTheWindows_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char* name, const QByteArray& body, const char* widget, const char* property,
                            const QVariant& expected) {
            QTest::newRow(name) << body << QString(widget) << QByteArray(property) << expected;
        };
        const QByteArray next = " F7 F0 7E 10 07 02 ";  // ends a body's frame and starts another
        const QString dark = QStringLiteral("background-color: rgb(55, 55, 55);\ncolor: rgb(255, 255, 255);");
        const QString light = QStringLiteral("background-color: rgb(200, 200, 200);\ncolor: rgb(0, 0, 0);");
        row("amp past A+B ignored", "0F 01" + next + "0F 03", "radioButtonB", "checked", true);
        row("wireless any non-zero", "27 05", "checkBoxWirelessOnOff", "checked", true);
        row("tap note mode", "0D 01 01 3C 40", "radioButtonNOTE", "checked", true);
        row("frame of 300 bytes", "0F 02 " + repeated('\0', 300 - 8), "radioButtonAB", "checked", true);
        row("pc program 0 shows 1", "0C 00 00", "spinBoxPcTx", "value", 1);
        row("name 39 fits", textBody("0A", QByteArray(39, 'n')), "plainTextEditNome", "plainText", QString(39, 'n'));
        row("name cut to 39", textBody("0A", QByteArray(45, 'n')), "plainTextEditNome", "plainText", QString(39, 'n'));
        row("device name cut to 19", textBody("25", QByteArray(25, 'd')), "plainTextEditDeviceName", "plainText",
            QString(19, 'd'));
        row("firmware version", versionBody("1.2.3", "2.0.1"), "labelFirmwareVer", "text", "Firmware version 1.2.3");
        row("empty firmware version", versionBody("", "2.0.1"), "labelDataVer", "text", "Data version 2.0.1");
        row("version cut to 99", versionBody(QByteArray(120, '7'), "1.0.3"), "labelFirmwareVer", "text",
            "Firmware version " + QString(99, '7'));
        // The front panel: banks 26-51 repeat the letters on the light row.
        row("bank 0", "17 00", "labelBank", "styleSheet", dark);
        row("bank 26", "17 1A", "labelBank", "text", "A");
        row("bank 26 light", "17 1A", "labelBank", "styleSheet", light);
        row("bank 51", "17 33", "labelBank", "text", "Z");
        row("bank past the last", "17 34", "labelBank", "text", "S");
        row("number 9", "17 02" + next + "18 09", "labelNumber", "text", "10");
        row("number without bank", "18 04", "labelNumber", "text", "B");
        row("no memory", "17 02" + next + "18 04" + next + "08 00", "labelNumber", "text", "B");
        row("panel name", textBody("0A", "Big Rhythm"), "labelName", "text", "Big Rhythm");
    }

    void reportsReachTheWindows()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, widget);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);
        feed(body);
        QCOMPARE(child(widget)->property(property.constData()).toString(), expected.toString());
    }

    // Nothing may be raised, stored or lit, and collection is closed again after.
    void ignored_data()
    {
        QTest::addColumn<QByteArray>("message");
        const auto row = [](const char* name, const QByteArray& body) {
            QTest::newRow(name) << deviceFrame(body.constData());
        };
        row("no argument", "0F");
        QTest::newRow("other device id") << hexBytes("F0 7E 11 07 02 0F 02 F7");
        QTest::newRow("other header") << hexBytes("F0 7E 10 07 03 0F 02 F7");
        row("code 29", "29 02");
        row("code 7F", "7F 02");
        row("name count past end", "0A 05 41 42");
        row("version length past end", versionBody("1.2.3", "2.0.1").chopped(3));
        row("pedal 2 is no pedal", "0B 02 01 07");
        row("short pedal value", "02 00 03");
        row("short memory index", "05 00");
        row("effect status one short", "24 01 01 01 01 01 01 01 01 01 01 01 01");
        row("short tap", "0D 01 01 3C");
        row("short led", "07 01");
        row("backup block, none running", "1E 00 00 00 00 01 02 F7");
        row("frame of 301 bytes", "0F 02 " + repeated('\0', 301 - 8));
        row("oversize hides a frame", "0F 02 " + repeated('\0', 300) + " F7 0F 02");
    }

    void ignored()
    {
        QFETCH(QByteArray, message);
        feed("0F 00");
        const HubSignalLog log(harness->hub());

        HubHarness::deliver(message);
        QCoreApplication::processEvents();

        QCOMPARE(log.names, QStringList());
        QCOMPARE(harness->hub().memoryIndex.load(), -1);
        QCOMPARE(ledImage(4), image(QIcon(Artwork::kSwitchOff)));

        // Collection is closed again: the next frame decodes.
        feed("0F 01");
        QVERIFY(child("radioButtonB")->property("checked").toBool());
    }

    void signalOrder_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("tap") << QByteArray("0D 00 00 3C 40") << QStringList{"openSignalTAPCC", "openSignalTAPMidi",
                                                                            "openSignalTAPNota", "openSignalTAPNoteCc"};
        QTest::newRow("program change") << QByteArray("0C 05 00")
                                        << QStringList{"openSignalMIDIchPC", "openSignalPCnum"};
        QTest::newRow("no memory") << QByteArray("08 00") << QStringList{"openSignalSetBank", "openSignalSetNumber"};
        QTest::newRow("open editor other value") << QByteArray("08 02") << QStringList{};
        QTest::newRow("memory index only stores") << QByteArray("05 00 25") << QStringList{};
        QTest::newRow("acknowledge only stores") << QByteArray("23") << QStringList{};
    }

    void signalOrder()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expected);
        const HubSignalLog log(harness->hub());
        feed(body);
        QCOMPARE(log.names, expected);
    }

    // Cutting frames from the stream is the assembler's (tst_protocol); here, that
    // the receive path feeds it across messages, a byte each, and traces what it saw.
    void deliveryAndTrace()
    {
        const QByteArray stream = "F0 7E 10 07 02 0F 01 F0 7E 10 07 02 0F 00 F7 0F 00 F7 F0 7E 10 07 02 90 0F 02 F7";
        for (const char byte : hexBytes(stream.constData()))
            HubHarness::deliver(QByteArray(1, byte));
        QCOMPARE(trace->text(), QStringLiteral("R F0 7E 10 07 02 0F 01 R F0 7E 10 07 02 0F 00 F7 \n0F 00 F7 \n"
                                               "R F0 7E 10 07 02 90 0F 02 F7 \n"));
        QVERIFY(child("radioButtonAB")->property("checked").toBool());
    }

    // The decoder runs on RtMidi's thread: nothing may change until the GUI loop
    // runs, and then everything changes on the GUI thread in the order received.
    void queuedFromInputThread()
    {
        QStringList changes;
        bool allOnGuiThread = true;
        for (const char* name : {"radioButtonB", "checkBoxBuffer2"}) {
            auto* const button = harness->editWindow().findChild<QAbstractButton*>(name);
            connect(button, &QAbstractButton::toggled, this, [&, button](bool on) {
                allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
                changes << button->objectName() + (on ? " on" : " off");
            });
        }
        std::thread([] {
            for (const char* body : {"0F 01", "10 01", "07 01 03", "0F 02", "07 00 03", "07 01 7F", "07 00 04"})
                HubHarness::deliver(deviceFrame(body));
        }).join();

        const QImage off = image(QIcon(Artwork::kSwitchOff));
        QVERIFY(changes.isEmpty());
        QCOMPARE(ledImage(4), off);
        QCoreApplication::processEvents();
        QVERIFY(allOnGuiThread);
        QCOMPARE(changes, (QStringList{"radioButtonB on", "checkBoxBuffer2 on", "radioButtonB off"}));
        for (int key = 1; key <= 10; ++key)
            QCOMPARE(ledImage(key), key == 5 ? off : image(QIcon(Artwork::kSwitchOnRed)));
    }

    // While the GUI thread keeps processing, as it does in the program.
    void concurrentDelivery()
    {
        std::thread input([] {
            for (int round = 0; round < 200; ++round) {
                HubHarness::deliver(deviceFrame(round % 2 ? "07 01 03" : "07 00 03"));
                HubHarness::deliver(deviceFrame(round % 2 ? "0E 05" : "0E 02"));
                HubHarness::deliver(deviceFrame("0A 04 4C 65 61 64"));
                HubHarness::deliver(deviceFrame(versionBody("1.2.3", "2.0.1").constData()));
            }
            HubHarness::deliver(deviceFrame("28"));
        });
        auto* const done = qobject_cast<QWidget*>(child("labelDone"));
        QTRY_VERIFY_WITH_TIMEOUT(!done->isHidden(), 10000);
        input.join();
        QCOMPARE(child("comboBoxMIDIch")->property("currentIndex").toInt(), 6);
        QCOMPARE(child("labelDataVer")->property("text").toString(), QStringLiteral("Data version 2.0.1"));
        QCOMPARE(harness->hub().firmwareVersion.get(), (VersionNumbers{1, 2, 3}));
        QCOMPARE(harness->hub().dataVersion.get(), (VersionNumbers{2, 0, 1}));
        QCOMPARE(QByteArray(harness->hub().dataVersionText.get().data()), QByteArray("2.0.1"));
    }

    void editorKeepsUpdatingWhileModal()
    {
        EditWindow& editor = harness->editWindow();
        bool openAndModal = false;
        bool updatedWhileOpen = false;
        // Fires inside the editor's own event loop.
        QTimer::singleShot(100, this, [&] {
            openAndModal = editor.isVisible() && editor.isModal();
            std::thread([] { HubHarness::deliver(deviceFrame("0F 02")); }).join();
            QCoreApplication::processEvents();
            updatedWhileOpen = child("radioButtonAB")->property("checked").toBool();
            // A second request while it runs must not start another loop.
            std::thread([] { HubHarness::deliver(deviceFrame("08 01")); }).join();
            QCoreApplication::processEvents();
            editor.close();
        });
        std::thread([] { HubHarness::deliver(deviceFrame("08 01")); }).join();
        QCoreApplication::processEvents();

        QVERIFY(openAndModal);
        QVERIFY(updatedWhileOpen);
        QVERIFY(!editor.isVisible());
    }
};

QTEST_MAIN(DecoderTest)
#include "tst_decoder.moc"
