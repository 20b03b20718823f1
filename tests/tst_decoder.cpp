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
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <thread>

namespace {

QByteArray repeated(char c, int count)
{
    return QByteArray(count, c).toHex(' ');
}

// A counted-text frame body: code, count, text.
QByteArray textBody(const char* code, const QByteArray& text)
{
    return QByteArray(code) + ' ' + QByteArray::number(text.size(), 16).rightJustified(2, '0') + ' '
           + text.toHex(' ');
}

QByteArray length28(int length)
{
    QByteArray bytes;
    for (int shift = 21; shift >= 0; shift -= 7)
        bytes.append(static_cast<char>((length >> shift) & 0x7F));
    return bytes.toHex(' ');
}

QByteArray versionBody(const QByteArray& firmware, const QByteArray& data)
{
    return "22 " + length28(firmware.size()) + ' ' + firmware.toHex(' ') + ' ' + length28(data.size()) + ' '
           + data.toHex(' ');
}

QImage iconImage(const QPushButton* button)
{
    return button->icon().pixmap(60, 60).toImage();
}

QImage resourceImage(const char* path)
{
    return QIcon(path).pixmap(60, 60).toImage();
}

}  // namespace

class DecoderTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void reportsReachTheEditor_data();
    void reportsReachTheEditor();
    void ignored_data();
    void ignored();
    void signalOrder_data();
    void signalOrder();
    void deliveryAndTrace_data();
    void deliveryAndTrace();
    void versionNumbers();
    void frontPanel_data();
    void frontPanel();
    void pedalSwitchNotEchoed();
    void hubSlots();
    void queuedFromInputThread();
    void concurrentDelivery();
    void editorKeepsUpdatingWhileModal();

private:
    QObject* editorChild(const QString& name) const
    {
        QObject* const found = harness->editWindow().findChild<QObject*>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    void feed(const QByteArray& body) const { HubHarness::deliver(deviceFrame(body.constData())); }

    std::unique_ptr<HubHarness> harness;
    std::unique_ptr<TraceCapture> trace;
};

void DecoderTest::init()
{
    trace = std::make_unique<TraceCapture>();
    harness = std::make_unique<HubHarness>();
}

void DecoderTest::cleanup()
{
    harness.reset();
    trace.reset();
}

void DecoderTest::reportsReachTheEditor_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("amp A+B") << QByteArray("0F 02") << "radioButtonAB" << QByteArray("checked") << QVariant(true);
    QTest::newRow("buffer 2") << QByteArray("10 01") << "checkBoxBuffer2" << QByteArray("checked") << QVariant(true);
    QTest::newRow("switch 3") << QByteArray("11 01") << "checkBoxSwitch3" << QByteArray("checked") << QVariant(true);
    QTest::newRow("mode 500") << QByteArray("12 02") << "radioButton500" << QByteArray("checked") << QVariant(true);
    QTest::newRow("thru") << QByteArray("13 01") << "checkBoxMIDIThru" << QByteArray("checked") << QVariant(true);
    QTest::newRow("wireless any non-zero") << QByteArray("27 05") << "checkBoxWirelessOnOff" << QByteArray("checked")
                                           << QVariant(true);
    QTest::newRow("pedals channel 6") << QByteArray("0E 05") << "comboBoxMIDIch" << QByteArray("currentIndex")
                                      << QVariant(6);
    QTest::newRow("pedals channel off") << QByteArray("0E 10") << "comboBoxMIDIch" << QByteArray("currentIndex")
                                        << QVariant(0);
    QTest::newRow("ext pc channel 16") << QByteArray("26 0F") << "comboBoxExtendedPCMIDIch"
                                       << QByteArray("currentIndex") << QVariant(16);
    QTest::newRow("pc channel") << QByteArray("0C 04 00") << "comboBoxMIDIchPC" << QByteArray("currentIndex")
                                << QVariant(1);
    QTest::newRow("pc program 0 shows 1") << QByteArray("0C 00 00") << "spinBoxPcTx" << QByteArray("value")
                                          << QVariant(1);
    QTest::newRow("pc program 127") << QByteArray("0C 7F 00") << "spinBoxPcTx" << QByteArray("value")
                                    << QVariant(128);
    QTest::newRow("tap channel") << QByteArray("0D 01 01 3C 40") << "comboBoxTAPMIDIch"
                                 << QByteArray("currentIndex") << QVariant(2);
    QTest::newRow("tap note mode") << QByteArray("0D 01 01 3C 40") << "radioButtonNOTE" << QByteArray("checked")
                                   << QVariant(true);
    QTest::newRow("tap note") << QByteArray("0D 01 01 3C 40") << "spinBoxTAPNota" << QByteArray("value")
                              << QVariant(60);
    QTest::newRow("tap cc") << QByteArray("0D 01 00 3C 40") << "spinBoxTAPCC" << QByteArray("value") << QVariant(64);
    QTest::newRow("pedal 2 switch") << QByteArray("0B 01 01 07") << "checkBoxPedal2OnOff" << QByteArray("checked")
                                    << QVariant(true);
    QTest::newRow("pedal 2 cc") << QByteArray("0B 01 01 07") << "spinBoxPedal2MIDIcc" << QByteArray("value")
                                << QVariant(7);
    QTest::newRow("pedal 1 value") << QByteArray("02 00 03 7F") << "sliderPedal1Val" << QByteArray("value")
                                   << QVariant(511);
    QTest::newRow("pedal 2 max") << QByteArray("03 01 07 7F") << "sliderPedal2Max" << QByteArray("value")
                                 << QVariant(1023);
    QTest::newRow("pedal 1 min") << QByteArray("04 00 00 05") << "sliderPedal1Min" << QByteArray("value")
                                 << QVariant(5);
    QTest::newRow("name") << textBody("0A", "Crunch") << "plainTextEditNome" << QByteArray("plainText")
                          << QVariant("Crunch");
    QTest::newRow("name 39 fits") << textBody("0A", QByteArray(39, 'n')) << "plainTextEditNome"
                                  << QByteArray("plainText") << QVariant(QString(39, 'n'));
    QTest::newRow("name cut to 39") << textBody("0A", QByteArray(45, 'n')) << "plainTextEditNome"
                                    << QByteArray("plainText") << QVariant(QString(39, 'n'));
    QTest::newRow("device name cut to 19") << textBody("25", QByteArray(25, 'd')) << "plainTextEditDeviceName"
                                           << QByteArray("plainText") << QVariant(QString(19, 'd'));
    QTest::newRow("versions") << versionBody("1.2.3", "2.0.1") << "labelFirmwareVer" << QByteArray("text")
                              << QVariant("Firmware version 1.2.3");
    QTest::newRow("data version") << versionBody("1.2.3", "2.0.1") << "labelDataVer" << QByteArray("text")
                                  << QVariant("Data version 2.0.1");
    QTest::newRow("empty firmware version") << versionBody("", "2.0.1") << "labelDataVer" << QByteArray("text")
                                            << QVariant("Data version 2.0.1");
    QTest::newRow("version cut to 99") << versionBody(QByteArray(120, '7'), "1.0.3") << "labelFirmwareVer"
                                       << QByteArray("text") << QVariant("Firmware version " + QString(99, '7'));
    QTest::newRow("frame of 300 bytes") << "0F 02 " + repeated('\0', 300 - 8) << "radioButtonAB"
                                        << QByteArray("checked") << QVariant(true);
}

void DecoderTest::reportsReachTheEditor()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, widget);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, expected);

    feed(body);
    QCOMPARE(editorChild(widget)->property(property.constData()), expected);
}

// Each row is fed after a report that set the widget; nothing may change it.
void DecoderTest::ignored_data()
{
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("no argument") << deviceFrame("0F");
    QTest::newRow("other device id") << hexBytes("F0 7E 11 07 02 0F 02 F7");
    QTest::newRow("other header") << hexBytes("F0 7E 10 07 03 0F 02 F7");
    QTest::newRow("code 29") << deviceFrame("29 02");
    QTest::newRow("code 7F") << deviceFrame("7F 02");
    QTest::newRow("name count past end") << deviceFrame("0A 05 41 42");
    QTest::newRow("version length past end") << deviceFrame(versionBody("1.2.3", "2.0.1").chopped(3));
    QTest::newRow("pedal 2 is no pedal") << deviceFrame("0B 02 01 07");
    QTest::newRow("short pedal value") << deviceFrame("02 00 03");
    QTest::newRow("short memory index") << deviceFrame("05 00");
    QTest::newRow("short effect status") << deviceFrame("24 01 01 01");
    QTest::newRow("short tap") << deviceFrame("0D 01 01 3C");
    QTest::newRow("short led") << deviceFrame("07 01");
    QTest::newRow("data before F0") << hexBytes("7E 10 07 02 0F 02 F7");
    QTest::newRow("backup block, none running") << deviceFrame("1E 00 00 00 00 01 02 F7");
    QTest::newRow("frame of 301 bytes")
        << deviceFrame(("0F 02 " + repeated('\0', 301 - 8)).constData());
    QTest::newRow("oversize hides a frame")
        << deviceFrame(("0F 02 " + repeated('\0', 300) + " F7 0F 02").constData());
}

void DecoderTest::ignored()
{
    QFETCH(QByteArray, message);
    feed("0F 00");
    const HubSignalLog log(harness->hub());

    HubHarness::deliver(message);
    QCoreApplication::processEvents();

    QCOMPARE(log.names, QStringList());
    QVERIFY(editorChild("radioButtonA")->property("checked").toBool());
    QCOMPARE(harness->hub().memoryIndex.load(), -1);
    QCOMPARE(harness->hub().pedals[1].cc.load(), 0);
    QCOMPARE(editorChild("plainTextEditNome")->property("plainText"), QVariant(QString()));
    const auto* const led3 = harness->mainWindow().findChild<QPushButton*>("pushButton4");
    QCOMPARE(iconImage(led3), resourceImage(Artwork::kSwitchOff));

    // Collection is closed again: the next frame decodes.
    feed("0F 01");
    QVERIFY(editorChild("radioButtonB")->property("checked").toBool());
}

void DecoderTest::signalOrder_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("tap") << QByteArray("0D 00 00 3C 40")
                         << QStringList{"openSignalTAPCC", "openSignalTAPMidi", "openSignalTAPNota",
                                        "openSignalTAPNoteCc"};
    QTest::newRow("program change") << QByteArray("0C 05 00")
                                    << QStringList{"openSignalMIDIchPC", "openSignalPCnum"};
    QTest::newRow("no memory") << QByteArray("08 00")
                               << QStringList{"openSignalSetBank", "openSignalSetNumber"};
    QTest::newRow("open editor other value") << QByteArray("08 02") << QStringList{};
    QTest::newRow("name") << textBody("0A", "Lead") << QStringList{"openSignalSetName"};
    QTest::newRow("pedal limit") << QByteArray("03 01 00 10") << QStringList{"openSignalSetAnalogVal"};
    QTest::newRow("memory index only stores") << QByteArray("05 00 25") << QStringList{};
    QTest::newRow("acknowledge only stores") << QByteArray("23") << QStringList{};
    QTest::newRow("effect status") << QByteArray("24 01 00 01 00 01 00 01 00 01 00 01 00 01")
                                   << QStringList{"openSignalSetEffectStatus"};
    QTest::newRow("complete") << QByteArray("28") << QStringList{"openSignalComplete"};
}

void DecoderTest::signalOrder()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);
    const HubSignalLog log(harness->hub());
    feed(body);
    QCOMPARE(log.names, expected);
}

void DecoderTest::deliveryAndTrace_data()
{
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<QString>("expectedTrace");

    const QString line = QStringLiteral("R F0 7E 10 07 02 0F 02 F7 \n");
    QTest::newRow("whole") << QList<QByteArray>{hexBytes("F0 7E 10 07 02 0F 02 F7")} << line;
    QTest::newRow("split") << QList<QByteArray>{hexBytes("F0 7E 10 07"), hexBytes("02 0F 02 F7")} << line;
    QTest::newRow("byte by byte") << QList<QByteArray>{hexBytes("F0"), hexBytes("7E"), hexBytes("10"),
                                                       hexBytes("07"), hexBytes("02"), hexBytes("0F"),
                                                       hexBytes("02"), hexBytes("F7")}
                                  << line;
    QTest::newRow("real-time inside") << QList<QByteArray>{hexBytes("F0 7E 10 FE 07 02 F8 0F 02 F7")} << line;
    QTest::newRow("status inside") << QList<QByteArray>{hexBytes("F0 7E 10 07 02 90 0F 02 F7")}
                                   << QStringLiteral("R F0 7E 10 07 02 90 0F 02 F7 \n");
    QTest::newRow("channel message first")
        << QList<QByteArray>{hexBytes("90 40 7F"), hexBytes("F0 7E 10 07 02 0F 02 F7")}
        << QStringLiteral("90 40 7F R F0 7E 10 07 02 0F 02 F7 \n");
    QTest::newRow("bytes between frames dropped")
        << QList<QByteArray>{hexBytes("F0 7E 10 07 02 0F 01 F7 0F 00"), hexBytes("F7 F0 7E 10 07 02 0F 02 F7")}
        << QStringLiteral("R F0 7E 10 07 02 0F 01 F7 \n0F 00 F7 \nR F0 7E 10 07 02 0F 02 F7 \n");
    QTest::newRow("F0 restarts") << QList<QByteArray>{hexBytes("F0 7E 10 07 02 0F 01 F0 7E 10 07 02 0F 02 F7")}
                                 << QStringLiteral("R F0 7E 10 07 02 0F 01 R F0 7E 10 07 02 0F 02 F7 \n");
}

void DecoderTest::deliveryAndTrace()
{
    QFETCH(QList<QByteArray>, messages);
    QFETCH(QString, expectedTrace);
    for (const QByteArray& message : messages)
        HubHarness::deliver(message);
    QCOMPARE(trace->text(), expectedTrace);
    QVERIFY(editorChild("radioButtonAB")->property("checked").toBool());
}

void DecoderTest::versionNumbers()
{
    feed(versionBody("1.2.3", "2.0.1"));
    QCOMPARE(harness->hub().firmwareVersion.get(), (VersionNumbers{1, 2, 3}));
    QCOMPARE(harness->hub().dataVersion.get(), (VersionNumbers{2, 0, 1}));
    QCOMPARE(QByteArray(harness->hub().dataVersionText.get().data()), QByteArray("2.0.1"));
}

void DecoderTest::frontPanel_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("expectedStyle");

    const QString dark = QStringLiteral("background-color: rgb(55, 55, 55);\ncolor: rgb(255, 255, 255);");
    const QString light = QStringLiteral("background-color: rgb(200, 200, 200);\ncolor: rgb(0, 0, 0);");
    QTest::newRow("bank 0") << QByteArray("17 00") << "labelBank" << QVariant("A") << dark;
    QTest::newRow("bank 26") << QByteArray("17 1A") << "labelBank" << QVariant("A") << light;
    QTest::newRow("bank 51") << QByteArray("17 33") << "labelBank" << QVariant("Z") << light;
    QTest::newRow("bank past the last") << QByteArray("17 34") << "labelBank" << QVariant("S") << dark;
    QTest::newRow("number 0") << QByteArray("17 02 F7 F0 7E 10 07 02 18 00") << "labelNumber" << QVariant("1")
                              << QString();
    QTest::newRow("number 9") << QByteArray("17 02 F7 F0 7E 10 07 02 18 09") << "labelNumber" << QVariant("10")
                              << QString();
    QTest::newRow("number without bank") << QByteArray("18 04") << "labelNumber" << QVariant("B") << QString();
    QTest::newRow("no memory") << QByteArray("17 02 F7 F0 7E 10 07 02 18 04 F7 F0 7E 10 07 02 08 00")
                               << "labelNumber" << QVariant("B") << QString();
    QTest::newRow("name") << textBody("0A", "Big Rhythm") << "labelName" << QVariant("Big Rhythm") << QString();
}

void DecoderTest::frontPanel()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, widget);
    QFETCH(QVariant, expected);
    QFETCH(QString, expectedStyle);

    feed(body);
    const auto* const label = harness->mainWindow().findChild<QLabel*>(widget);
    QVERIFY(label);
    QCOMPARE(QVariant(label->text()), expected);
    if (!expectedStyle.isEmpty())
        QCOMPARE(label->styleSheet(), expectedStyle);
}

// The CC spin box sends on every change; a reported value must not.
void DecoderTest::pedalSwitchNotEchoed()
{
    auto* const spin = harness->editWindow().findChild<QSpinBox*>("spinBoxPedal2MIDIcc");
    QSignalSpy changes(spin, QOverload<int>::of(&QSpinBox::valueChanged));
    feed("0B 01 00 2A");
    QCOMPARE(spin->value(), 42);
    QCOMPARE(changes.count(), 0);
}

void DecoderTest::hubSlots()
{
    MiniCore& hub = harness->hub();
    const auto checked = [this](const char* name) { return editorChild(name)->property("checked").toBool(); };

    emit hub.openSignalChangeAmp(1);
    emit hub.openSignalChangeAmp(3);
    QVERIFY(checked("radioButtonB") && !checked("radioButtonA") && !checked("radioButtonAB"));

    emit hub.openSignalButtonMode(2);
    QVERIFY(checked("radioButton500") && !checked("radioButtonLatch") && !checked("radioButton1000"));

    auto* const panel = qobject_cast<QWidget*>(editorChild("groupBoxPleaseWait"));
    panel->show();
    emit hub.OpenSignalPleaseWait(1, 1);
    QVERIFY(!panel->isHidden());
    emit hub.OpenSignalPleaseWait(0, 0);
    QVERIFY(panel->isHidden());

    emit hub.openSignalProgressBarPleaseWait(40);
    QCOMPARE(editorChild("progressBarPleaseWait")->property("value").toInt(), 40);

    emit hub.openSignalComplete();
    QVERIFY(!qobject_cast<QWidget*>(editorChild("labelDone"))->isHidden());
}

// The decoder runs on RtMidi's thread: nothing may change until the GUI loop
// runs, and then everything changes on the GUI thread in the order received.
void DecoderTest::queuedFromInputThread()
{
    const QList<QByteArray> frames = {deviceFrame("0F 01"), deviceFrame("10 01"), deviceFrame("07 01 03"),
                                      deviceFrame("0F 02"), deviceFrame("07 00 03"), deviceFrame("07 01 7F"),
                                      deviceFrame("07 00 04")};
    auto* const radioB = harness->editWindow().findChild<QAbstractButton*>("radioButtonB");
    auto* const buffer2 = harness->editWindow().findChild<QAbstractButton*>("checkBoxBuffer2");
    QStringList changes;
    bool allOnGuiThread = true;
    const auto watch = [&](QAbstractButton* button) {
        connect(button, &QAbstractButton::toggled, this, [&, button](bool on) {
            allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
            changes << button->objectName() + (on ? " on" : " off");
        });
    };
    watch(radioB);
    watch(buffer2);

    std::thread input([&frames] {
        for (const QByteArray& frame : frames)
            HubHarness::deliver(frame);
    });
    input.join();

    QVERIFY(changes.isEmpty());
    QCOMPARE(iconImage(harness->mainWindow().findChild<QPushButton*>("pushButton4")),
             resourceImage(Artwork::kSwitchOff));

    QCoreApplication::processEvents();
    QVERIFY(allOnGuiThread);
    QCOMPARE(changes, (QStringList{"radioButtonB on", "checkBoxBuffer2 on", "radioButtonB off"}));
    const QImage red = resourceImage(Artwork::kSwitchOnRed);
    const QImage off = resourceImage(Artwork::kSwitchOff);
    for (int key = 1; key <= 10; ++key) {
        const auto* const button = harness->mainWindow().findChild<QPushButton*>(QStringLiteral("pushButton%1").arg(key));
        QCOMPARE(iconImage(button), key == 5 ? off : red);
    }
}

// While the GUI thread keeps processing, as it does in the program.
void DecoderTest::concurrentDelivery()
{
    constexpr int kRounds = 200;
    std::thread input([] {
        for (int round = 0; round < kRounds; ++round) {
            HubHarness::deliver(deviceFrame(round % 2 ? "07 01 03" : "07 00 03"));
            HubHarness::deliver(deviceFrame(round % 2 ? "0E 05" : "0E 02"));
            HubHarness::deliver(deviceFrame("0A 04 4C 65 61 64"));
            HubHarness::deliver(deviceFrame("22 00 00 00 05 31 2E 32 2E 33 00 00 00 05 32 2E 30 2E 31"));
        }
        HubHarness::deliver(deviceFrame("28"));
    });
    auto* const done = qobject_cast<QWidget*>(editorChild("labelDone"));
    QTRY_VERIFY_WITH_TIMEOUT(!done->isHidden(), 10000);
    input.join();
    QCOMPARE(editorChild("comboBoxMIDIch")->property("currentIndex").toInt(), 6);
    QCOMPARE(editorChild("labelDataVer")->property("text").toString(), QStringLiteral("Data version 2.0.1"));
}

void DecoderTest::editorKeepsUpdatingWhileModal()
{
    EditWindow& editor = harness->editWindow();
    bool openAndModal = false;
    bool updatedWhileOpen = false;
    // Fires inside the editor's own event loop.
    QTimer::singleShot(100, this, [&] {
        openAndModal = editor.isVisible() && editor.isModal();
        std::thread([] { HubHarness::deliver(deviceFrame("0F 02")); }).join();
        QCoreApplication::processEvents();
        updatedWhileOpen = editorChild("radioButtonAB")->property("checked").toBool();
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

QTEST_MAIN(DecoderTest)
#include "tst_decoder.moc"
