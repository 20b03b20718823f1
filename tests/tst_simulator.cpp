// The simulated unit, driven in-process: it must say only what the editor's
// decoder reads, store what the editor sets, and hold up the conversations of
// memory select and write, backup and restore.

#include "protocol/commandsender.h"
#include "protocol/encoding.h"
#include "simulator/replyframe.h"
#include "simulator/simulateddevice.h"
#include "support/hubharness.h"
#include "support/tracecapture.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QSpinBox>
#include <QtTest>

#include <functional>
#include <map>
#include <set>

namespace {

QList<QByteArray> g_said;  // by every unit of every test, for the last test

// The unit under test with everything it sends collected.
struct Rig {
    explicit Rig(Sim::Options options = {}, Sim::DeviceState state = Sim::seededState())
        : device(std::move(state), options, [this, exact = options.trailingBytes == 0](const QByteArray& frame) {
              sent << frame;
              if (exact)
                  g_said << frame;
          })
    {
    }
    QList<QByteArray> take() { return std::exchange(sent, {}); }
    QList<QByteArray> sent;
    Sim::SimulatedDevice device;
};


// Each report the editor decodes, with the largest value each argument may
// take; for a counted text, the largest count.
const std::map<int, const char*> kMaxima = {
    {0x02, "01 07 7F"}, {0x03, "01 07 7F"}, {0x04, "01 07 7F"}, {0x05, "04 7F"}, {0x07, "01 0F"}, {0x08, "01"},
    {0x0A, "1E"}, {0x0B, "01 01 7F"}, {0x0C, "7F 10"}, {0x0D, "10 01 7F 7F"}, {0x0E, "10"}, {0x0F, "02"},
    {0x10, "01"}, {0x11, "01"}, {0x12, "03"}, {0x13, "01"}, {0x17, "33"}, {0x18, "09"}, {0x19, "33"},
    {0x1A, "01"}, {0x1B, "01"}, {0x1E, ""}, {0x1F, "7F"}, {0x20, "09"}, {0x22, ""}, {0x23, "7F"},
    {0x24, "01 01 01 01 01 01 01 01 01 01 01 01 01"}, {0x25, "0B"}, {0x26, "10"}, {0x27, "01"}, {0x28, "7F"}};

// Why the decoder could not read frame as the unit meant it, or empty.
QString layoutProblem(const QByteArray& frame)
{
    const bool device = frame.startsWith(hexBytes("F0 7E 10 07 02")) && frame.endsWith('\xF7');
    const auto layout = kMaxima.find(device ? frame.at(Protocol::kCommandOffset) : -1);
    if (layout == kMaxima.end())
        return "not a report the editor decodes";
    const QByteArray args = frame.mid(6, frame.size() - 7);
    const QByteArray maxima = hexBytes(layout->second);
    if (std::any_of(args.begin(), args.end(), [](char b) { return b < 0; }))
        return "an argument with the top bit set";
    if (layout->first == 0x1E)
        return frame.size() > 11 && frame.size() <= int(Protocol::kMaxStoredFrame) ? "" : "block size";
    if (layout->first == 0x22)  // the versions of Sim::Options
        return frame == deviceFrame("22 00 00 00 05 31 2E 34 2E 32 00 00 00 05 31 2E 30 2E 33") ? "" : "versions";
    if (layout->first == 0x0A || layout->first == 0x25) {
        if (args.isEmpty() || args[0] > maxima[0] || args.size() != 1 + args[0])
            return "counted text";
        return std::all_of(args.begin() + 1, args.end(), [](char c) { return Protocol::isPrintable(c); }) ? "" : "text";
    }
    if (args.size() != maxima.size())
        return "argument count";
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] > maxima[i])
            return QStringLiteral("argument %1 too large").arg(i);
    }
    return layout->first == 0x05 && Encoding::join14(args[0], args[1]) >= Sim::kMemoryCount ? "memory index" : "";
}

// What a widget of the editor shows, as text.
QString shownValue(const QObject* widget)
{
    for (const char* property : {"checked", "currentIndex", "plainText", "value"}) {
        if (widget->property(property).isValid())
            return widget->property(property).toString();
    }
    return {};
}

}  // namespace

using Protocol::Command;
using Command_ = std::function<void()>;
Q_DECLARE_METATYPE(Command_)
Q_DECLARE_METATYPE(Sim::Options)

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    // A setting made in the editor: what the editor sends, what the unit confirms
    // and keeps, and what the editor shows of the confirmation. Rows without a
    // sender give the unit what the editor never sends.
    void settingsRoundTrip_data()
    {
        QTest::addColumn<Command_>("send");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QStringList>("shown");
        // Then one more value of the same frame set in the editor, and what that
        // sends: the others as the unit reported them.
        QTest::addColumn<QString>("then");
        QTest::addColumn<QByteArray>("thenSent");
        const auto row = [](const char* name, Command_ send, const QByteArray& sent, const QStringList& replies,
                            const QStringList& shown, const QString& then = {}, const char* thenSent = "") {
            QTest::newRow(name) << send << deviceFrame(sent.constData()) << replies << shown << then
                                << deviceFrame(thenSent);
        };
        // The unit confirms with the frame it was sent.
        const auto echo = [&](const char* name, Command_ send, const QByteArray& sent, const QStringList& shown,
                              const QString& then = {}, const char* thenSent = "") {
            row(name, send, sent, {sent}, shown, then, thenSent);
        };
        using S = CommandSender;
        const QByteArray x30 = QByteArray(30, 'x').toHex(' ');
        echo("pedal 2 value", [] { S::sendPedalSetting(1, 1023, Command::PedalValue); }, "02 01 07 7F",
             {"sliderPedal2Val 1023"});
        echo("pedal 1 maximum", [] { S::sendPedalSetting(0, 200, Command::PedalMax); }, "03 00 01 48",
             {"sliderPedal1Max 200"});
        echo("pedal 2 minimum", [] { S::sendPedalSetting(1, 5, Command::PedalMin); }, "04 01 00 05",
             {"sliderPedal2Min 5"});
        row("pedal value beyond 1023 kept at 1023", {}, "02 00 7F 7F", {"02 00 07 7F"}, {"sliderPedal1Val 1023"});
        echo("pedal switch", [] { S::sendPedalSwitch(1, 1, 64); }, "0B 01 01 40",
             {"checkBoxPedal2OnOff true", "spinBoxPedal2MIDIcc 64"}, "spinBoxPedal2MIDIcc 65", "0B 01 01 41");
        echo("program 128 on 16", [] { S::sendProgramChange(15, 127); }, "0C 7F 0F",
             {"spinBoxPcTx 128", "comboBoxMIDIchPC 16"}, "comboBoxMIDIchPC 3", "0C 7F 02");
        row("program change, channel above 15 off", {}, "0C 05 7F", {"0C 05 10"}, {"comboBoxMIDIchPC 0"});
        echo("tap", [] { S::sendTapTempo(0, 0, 60, 64); }, "0D 00 00 3C 40",
             {"comboBoxTAPMIDIch 1", "radioButtonCC true", "spinBoxTAPNota 60", "spinBoxTAPCC 64"}, "spinBoxTAPNota 61",
             "0D 00 00 3D 40");
        row("tap, channel above 15 off", {}, "0D 7F 01 3C 40", {"0D 10 01 3C 40"}, {"comboBoxTAPMIDIch 0"});
        echo("pedals channel 6", [] { S::sendMidiChannel(5); }, "0E 05", {"comboBoxMIDIch 6"});
        row("pedals channel above 15 off", {}, "0E 7F", {"0E 10"}, {"comboBoxMIDIch 0"});
        row("amp A+B, both LEDs", [] { S::sendAmpSelect(2); }, "0F 02", {"0F 02", "07 01 0F", "07 01 0E"},
            {"radioButtonAB true"});
        row("amp B", [] { S::sendAmpSelect(1); }, "0F 01", {"0F 01", "07 00 0F", "07 01 0E"}, {"radioButtonB true"});
        echo("buffer 2", [] { S::sendBuffer2(1); }, "10 01", {"checkBoxBuffer2 true"});
        echo("switch 3", [] { S::sendSwitch3(1); }, "11 01", {"checkBoxSwitch3 true"});
        echo("button mode 1000", [] { S::sendButtonMode(3); }, "12 03", {"radioButton1000 true"});
        echo("MIDI thru", [] { S::sendMidiThru(1); }, "13 01", {"checkBoxMIDIThru true"});
        echo("null memory name", [] { S::sendMemoryName(nullptr); }, "0A 00", {"plainTextEditNome "});
        echo("memory name unprintable", [] { S::sendMemoryName("a\n\xE9\xF7z"); }, "0A 05 61 5F 5F 5F 7A",
             {"plainTextEditNome a___z"});
        echo("memory name cut to 30", [] { S::sendMemoryName(QByteArray(31, 'x').constData()); }, "0A 1E " + x30,
             {"plainTextEditNome " + QString(30, 'x')});
        row("memory name too long", {}, "0A 1F " + x30 + " 41", {"0A 1E " + x30}, {});
        echo("device name cut to 11", [] { S::sendDeviceName("ABCDEFGHIJKLM"); },
             "25 0B 41 42 43 44 45 46 47 48 49 4A 4B", {"plainTextEditDeviceName ABCDEFGHIJK"});
        row("device name too long", {}, "25 0C 41 42 43 44 45 46 47 48 49 4A 4B 4C",
            {"25 0B 41 42 43 44 45 46 47 48 49 4A 4B"}, {});
        echo("ext pc channel 16", [] { S::sendExtPcMidiChannel(15); }, "26 0F", {"comboBoxExtendedPCMIDIch 16"});
        row("ext pc channel above 15 off", {}, "26 7F", {"26 10"}, {"comboBoxExtendedPCMIDIch 0"});
        echo("wireless", [] { S::sendWireless(1); }, "27 01", {"checkBoxWirelessOnOff true"});
        // Seeded memory 3 has loops 1, 2, 7 and 10 on.
        row("loops 1, 3, 7, 10, SW2, SW3", [] { S::sendEffectStatus({1, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 1}); },
            "24 01 00 01 00 00 00 01 00 00 01 00 01 01",
            {"24 01 00 01 00 00 00 01 00 00 01 00 01 01", "07 00 01", "07 01 02", "07 01 0B"}, {});
        // Out of range, short, or running past the frame; a memory past the
        // last; a bank or number alone only moves the unit's cursor.
        for (const char* ignored : {"0F 03", "12 04", "10 02", "02 02 00 00", "02 00 07", "0A 05 41 42", "19 34",
                                    "05 04 08", "17 03", "18 07"})
            row(ignored, {}, ignored, {}, {});
    }

    void settingsRoundTrip()
    {
        QFETCH(Command_, send);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, replies);
        QFETCH(QStringList, shown);
        HubHarness harness;
        TraceCapture trace;
        if (send)
            send();
        QCOMPARE(trace.sentFrames(), send ? QList<QByteArray>{sent} : QList<QByteArray>());
        Rig rig;
        rig.device.receive(sent, 0);
        const QList<QByteArray> confirmed = rig.take();
        QCOMPARE(confirmed, deviceFrames(replies));
        // Kept: the unit reports it again later.
        rig.device.reportWholeState();
        const QList<QByteArray> report = rig.take();
        for (const QByteArray& frame : confirmed) {
            QVERIFY2(report.contains(frame), frame.toHex(' ').constData());
            HubHarness::deliver(frame);
        }
        for (const QString& expected : shown) {
            const QString name = expected.section(' ', 0, 0);
            const QObject* const widget = harness.editWindow().findChild<QObject*>(name);
            QVERIFY2(widget, qPrintable(name));
            QCOMPARE(name + ' ' + shownValue(widget), expected);
        }
        QCOMPARE(trace.sentFrames().size(), send ? 1 : 0);  // and not sent back
        QFETCH(QString, then);
        if (then.isEmpty())
            return;
        QObject* const widget = harness.editWindow().findChild<QObject*>(then.section(' ', 0, 0));
        QVERIFY(widget);
        const int value = then.section(' ', 1).toInt();
        if (auto* const box = qobject_cast<QComboBox*>(widget))
            box->setCurrentIndex(value);
        else
            qobject_cast<QSpinBox*>(widget)->setValue(value);
        QFETCH(QByteArray, thenSent);
        QCOMPARE(trace.sentFrames().mid(send ? 1 : 0), QList<QByteArray>{thenSent});
    }

    // However the unit answers the start-up request, the editor shows the same.
    void startupAnswerShownAlike_data()
    {
        QTest::addColumn<Sim::Options>("options");
        const auto with = [](auto Sim::Options::*field, auto value) { Sim::Options o; o.*field = value; return o; };
        QTest::newRow("2 s late") << with(&Sim::Options::startupDelayMs, 2000);
        QTest::newRow("versions last, name first") << with(&Sim::Options::versionsLast, true);
        QTest::newRow("trailing bytes") << with(&Sim::Options::trailingBytes, 3);
    }

    void startupAnswerShownAlike()
    {
        QFETCH(Sim::Options, options);
        const auto shownAfter = [](const Sim::Options& unitOptions) {
            HubHarness harness;
            Rig rig(unitOptions);
            rig.device.receive(deviceFrame("09 00"), 0);
            if (unitOptions.startupDelayMs > 0 && !rig.sent.isEmpty())
                return QStringList{"answered at once"};
            rig.device.advanceTo(unitOptions.startupDelayMs);
            for (const QByteArray& frame : rig.take())
                HubHarness::deliver(frame);
            QStringList shown;
            for (const QWidget* window : {static_cast<QWidget*>(&harness.mainWindow()),
                                          static_cast<QWidget*>(&harness.editWindow())}) {
                for (const QWidget* widget : window->findChildren<QWidget*>()) {
                    const QString value = shownValue(widget);
                    shown << widget->objectName() + ' ' + (value.isEmpty() ? widget->property("text").toString() : value);
                }
            }
            return shown;
        };
        const QStringList usual = shownAfter({});
        for (const char* expected : {"labelName Classic Lead", "labelFirmwareVer Firmware version 1.4.2"})
            QVERIFY2(usual.contains(expected), expected);
        QCOMPARE(shownAfter(options), usual);
    }

    void keysToggleAndReport()
    {
        Rig rig;
        // Seeded memory 3: loop 3 and SW2 off.
        for (const char* key : {"01 02", "01 0B", "01 02", "00 02"})
            rig.device.receive(deviceFrame(key), 0);
        QCOMPARE(rig.take(), deviceFrames({"07 01 02", "24 01 01 01 00 00 00 01 00 00 01 00 00 00", "07 01 0B",
                                     "24 01 01 01 00 00 00 01 00 00 01 00 01 00", "07 00 02",
                                     "24 01 01 00 00 00 00 01 00 00 01 00 01 00"}));
        rig.device.receive(deviceFrame("01 0C"), 0);  // menu
        const QList<QByteArray> menu = rig.take();
        QCOMPARE(menu.mid(0, 2), deviceFrames({"08 01", "0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64"}));  // "Classic Lead"
        QVERIFY(menu.contains(deviceFrame("24 01 01 00 00 00 00 01 00 00 01 00 01 00")));
    }

    void writingAndSelecting()
    {
        Rig rig;
        const Sim::DeviceState& state = rig.device.state();
        const Sim::Memory untouched = state.memories[3];
        for (const char* body : {"0A 03 4E 65 77", "10 01", "1C 00", "19 33", "20 09"})
            rig.device.receive(deviceFrame(body), 10);
        const Sim::Memory edited = state.current;
        QVERIFY(edited != untouched);
        QCOMPARE(rig.take().mid(2), deviceFrames({"19 33", "20 09"}));
        rig.device.receive(deviceFrame("06 04 07"), 30);  // 519
        QCOMPARE(rig.take(), deviceFrames({"28 00", "05 04 07", "17 33", "18 09", "0A 03 4E 65 77"}));
        QCOMPARE(state.memories[519], edited);
        QCOMPARE(state.memories[3], untouched);
        QCOMPARE(state.currentIndex, 519);
        // The dialog is closed a moment later, so its done picture can be seen.
        rig.device.advanceTo(1029);
        QVERIFY(rig.take().isEmpty());
        rig.device.advanceTo(1030);
        QCOMPARE(rig.take(), deviceFrames({"1B 01"}));

        rig.device.receive(deviceFrame("05 00 25"), 2000);  // selecting loads the memory
        QCOMPARE(rig.take().mid(0, 4), deviceFrames({"05 00 25", "17 03", "18 07"})
                                           << Sim::countedTextFrame(Command::MemoryName, state.memories[37].name));
        QCOMPARE(state.currentIndex, 37);
        QCOMPARE(state.current, state.memories[37]);
        QCOMPARE(state.memories[519], edited);
    }

    void restoreFaults_data()
    {
        QTest::addColumn<Sim::Options>("options");
        QTest::addColumn<QString>("fault");
        // n > 0: the first n blocks are acknowledged; n <= 0: all but -n.
        QTest::addColumn<int>("acknowledged");
        QTest::addColumn<bool>("restored");
        const auto with = [](int Sim::Options::*field, int value) { Sim::Options o; o.*field = value; return o; };
        QTest::newRow("third acknowledgement dropped") << with(&Sim::Options::dropAck, 3) << QString() << -1 << true;
        QTest::newRow("stops answering after five") << with(&Sim::Options::ackLimit, 5) << QString() << 5 << false;
        QTest::newRow("acknowledgements late") << with(&Sim::Options::ackDelayMs, 250) << QString() << 0 << true;
        QTest::newRow("some acknowledgements 1 to 3 s late") << with(&Sim::Options::slowAcks, 4) << QString() << 0
                                                             << true;
        QTest::newRow("a block out of order") << Sim::Options{} << "swap" << 3 << false;
        // Backed up and restored in each layout it may cut its memory in.
        using Kind = Sim::BlockLayout::Kind;
        for (const auto& [name, layout] : {std::pair{"bytes, first block 65", Sim::BlockLayout(Kind::Bytes, 65)},
                                           std::pair{"packed, first block 57", Sim::BlockLayout(Kind::Packed, 57)}}) {
            Sim::Options options;
            options.layout = layout;
            QTest::newRow(name) << options << QString() << 0 << true;
        }
        QTest::newRow("a value out of range") << Sim::Options{} << "corrupt" << 0 << false;
    }

    void restoreFaults()
    {
        QFETCH(Sim::Options, options);
        QFETCH(QString, fault);
        QFETCH(int, acknowledged);
        QFETCH(bool, restored);
        Rig source(options);
        source.device.receive(deviceFrame("1D 00"), 0);
        source.device.advanceTo(1000000);
        QList<QByteArray> stream = source.take();
        QCOMPARE(stream.takeLast(), deviceFrame("1F 00"));

        if (fault == "swap")
            stream.swapItemsAt(3, 4);
        if (fault == "corrupt")
            stream[10][60] = 0x7F;  // inside a memory record: no field takes 127 there
        // A unit whose memories all differ.
        Sim::DeviceState other = Sim::seededState();
        for (Sim::Memory& memory : other.memories)
            memory.name = "Other";
        Rig target(options, other);
        // Each block given the time its acknowledgement may take, as the editor waits.
        constexpr qint64 kBlockSpacingMs = 4000;
        const QByteArray ack = deviceFrame("23 00");
        QList<QByteArray> answers;
        int immediate = 0;
        for (int i = 0; i < stream.size(); ++i) {
            target.device.receive(stream.at(i), i * kBlockSpacingMs);
            immediate += target.sent.count(ack);
            target.device.advanceTo(i * kBlockSpacingMs + kBlockSpacingMs - 1);
            answers += target.take();
        }
        const int acks = answers.count(ack);
        const int slow = options.slowAcks > 0 ? int(stream.size()) / options.slowAcks : 0;
        QCOMPARE(immediate, options.ackDelayMs > 0 ? 0 : acks - slow);
        QCOMPARE(acks, acknowledged > 0 ? acknowledged : stream.size() + acknowledged);
        QCOMPARE(answers.last() == deviceFrame("28 00"), restored);
        QVERIFY(target.device.state().memories == (restored ? source.device.state() : other).memories);
        if (restored)
            QCOMPARE(target.device.state().current, source.device.state().memories[3]);
    }

    // One tap has no tempo yet: a single flash. A second sets the beat.
    void tapBlinksAtTheTappedTempo()
    {
        Sim::Options options;
        options.tapBeats = 3;
        Rig rig(options);
        QStringList timeline;
        for (qint64 t = 0; t <= 3000; ++t) {
            if (t == 0 || t == 500)
                rig.device.receive(deviceFrame("01 0D"), t);
            rig.device.advanceTo(t);
            for (const QByteArray& frame : rig.take())
                timeline.append(QString::number(t) + ": " + frame.mid(5, 3).toHex(' '));
        }
        QCOMPARE(timeline, QStringList({"0: 07 01 0d", "0: 07 00 0d", "500: 07 01 0d", "600: 07 00 0d",
                                        "1000: 07 01 0d", "1100: 07 00 0d", "1500: 07 01 0d", "1600: 07 00 0d"}));
    }

    // Runs last, on what the units of the tests above said: every frame is one the
    // editor's decoder reads as the unit meant it, and each report it reads came.
    void everyFrameSaidIsOneTheDecoderReads()
    {
        Rig rig;
        rig.device.openMemorySelect(1);  // only the unit's own panel opens it
        std::set<int> said;
        for (const QByteArray& frame : g_said) {
            QVERIFY2(layoutProblem(frame).isEmpty(), qPrintable(layoutProblem(frame) + ": " + frame.toHex(' ')));
            said.insert(frame.at(Protocol::kCommandOffset));
        }
        QVERIFY2(said.size() == kMaxima.size(), "run with the tests before it");
    }
};

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
