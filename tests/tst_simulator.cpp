// The simulated unit, driven in-process: it must say only what the editor's
// decoder reads, store what the editor sets, and hold up the conversations of
// memory select and write, backup and restore.

#include "core/minicore.h"
#include "protocol/encoding.h"
#include "protocol/framereader.h"
#include "simulator/memoryimage.h"
#include "simulator/replyframe.h"
#include "simulator/simulateddevice.h"
#include "support/hubharness.h"
#include "ui/editwindow.h"
#include "ui_editwindow.h"

#include <QtTest>

#include <set>

using Protocol::Command;

namespace {

// The unit under test with everything it sends collected.
struct Rig {
    explicit Rig(Sim::Options options = {}, Sim::DeviceState state = Sim::seededState())
        : device(std::move(state), options, [this](const QByteArray& frame) { sent.append(frame); })
    {
    }
    QList<QByteArray> take()
    {
        QList<QByteArray> frames;
        frames.swap(sent);
        return frames;
    }
    QList<QByteArray> sent;
    Sim::SimulatedDevice device;
};

QList<QByteArray> frames(const QStringList& bodies)
{
    QList<QByteArray> list;
    for (const QString& body : bodies)
        list.append(deviceFrame(body.toLatin1().constData()));
    return list;
}

// Why the decoder could not read frame as the unit meant it, or empty.
QString layoutProblem(const QByteArray& frame)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(frame.constData());
    const FrameReader reader(bytes, static_cast<std::size_t>(frame.size()));
    if (!reader.isDeviceFrame())
        return "header";
    if (frame.size() > static_cast<int>(Protocol::kReceiveBufferSize))
        return "longer than the receive buffer";
    const QByteArray args = frame.mid(Protocol::kArgumentOffset, frame.size() - Protocol::kArgumentOffset - 1);
    for (const char b : args) {
        if (static_cast<unsigned char>(b) > Protocol::kDataMask)
            return "an argument with the top bit set";
    }
    const auto arg = [&](int i) { return static_cast<unsigned char>(args.at(i)); };
    const auto countIs = [&](int n) { return args.size() == n; };
    const auto channel = [&](int i) { return arg(i) <= Protocol::kChannelOffWire; };
    const auto flag = [&](int i) { return arg(i) <= 1; };
    switch (static_cast<Command>(reader.command())) {
    case Command::PedalValue:
    case Command::PedalMax:
    case Command::PedalMin:
        return countIs(3) && arg(0) < Protocol::kPedalCount && Encoding::join14(arg(1), arg(2)) <= Protocol::kPedalMax
                   ? QString() : "pedal";
    case Command::SelectMemory:
        return countIs(2) && Encoding::join14(arg(0), arg(1)) < Sim::kMemoryCount ? QString() : "memory index";
    case Command::Led:
        return countIs(2) && flag(0) && (arg(1) <= Protocol::kLedAmpA || arg(1) == Protocol::kAllLoopLeds) ? QString() : "LED";
    case Command::EditWindow:
    case Command::OpenMemorySelect:
    case Command::CloseMemorySelect:
    case Command::Buffer2:
    case Command::Switch3:
    case Command::MidiThru:
    case Command::Wireless:
        return countIs(1) && flag(0) ? QString() : "switch";
    case Command::MemoryName:
    case Command::DeviceName: {
        const int limit = reader.command() == int(Command::MemoryName) ? Protocol::kMaxMemoryNameLength
                                                                          : Protocol::kMaxDeviceNameLength;
        if (args.isEmpty() || arg(0) > limit || !countIs(1 + arg(0)))
            return "counted text";
        for (int i = 1; i < args.size(); ++i) {
            if (!Protocol::isPrintable(arg(i)))
                return "unprintable text";
        }
        return {};
    }
    case Command::PedalSwitch:
        return countIs(3) && arg(0) < Protocol::kPedalCount && flag(1) ? QString() : "pedal switch";
    case Command::ProgramChange:
        return countIs(2) && channel(1) ? QString() : "program change";
    case Command::TapTempo:
        return countIs(4) && channel(0) && flag(1) ? QString() : "tap";
    case Command::MidiChannel:
    case Command::ExtPcMidiChannel:
        return countIs(1) && channel(0) ? QString() : "channel";
    case Command::AmpSelect:
        return countIs(1) && arg(0) <= Sim::kAmpAB ? QString() : "amp";
    case Command::ButtonMode:
        return countIs(1) && arg(0) <= Sim::kLastButtonMode ? QString() : "button mode";
    case Command::SelectBank:
    case Command::WriteBank:
        return countIs(1) && arg(0) < Protocol::kBankCount ? QString() : "bank";
    case Command::SelectNumber:
    case Command::WriteNumber:
        return countIs(1) && arg(0) < Protocol::kNumbersPerBank ? QString() : "number";
    case Command::BackupBlock:
        return frame.size() > int(Protocol::kBlockContentOffset) + 1 && frame.size() <= int(Protocol::kMaxStoredFrame) ? QString() : "block";
    case Command::BackupEnd:
    case Command::Acknowledge:
    case Command::Complete:
        return countIs(1) ? QString() : "no-value report";
    case Command::EffectStatus:
        for (int i = 0; i < args.size(); ++i) {
            if (!flag(i))
                return "effect state";
        }
        return countIs(Protocol::kEffectCount) ? QString() : "effect count";
    case Command::VersionReply: {
        int offset = 0;
        for (int text = 0; text < 2; ++text) {
            if (offset + 4 > args.size())
                return "version length";
            const int length = Encoding::join28(bytes + Protocol::kArgumentOffset + offset);
            offset += 4 + length;
            if (length >= int(MiniCore::kVersionTextCapacity) || offset > args.size()
                || !QRegularExpression("^\\d+\\.\\d+\\.\\d+$").match(args.mid(offset - length, length)).hasMatch())
                return "version text";
        }
        return offset == args.size() ? QString() : "version reply length";
    }
    default:
        return "a command the unit never sends";
    }
}

QByteArray keyPress(int key)
{
    return deviceFrame(QByteArray("01 ").append(QByteArray::number(key, 16).rightJustified(2, '0')).constData());
}

}  // namespace

Q_DECLARE_METATYPE(Sim::Options)

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void everyFrameHasALayoutTheDecoderReads();
    void startUpReportFillsTheEditor();
    void settingsAreStoredAndConfirmed_data();
    void settingsAreStoredAndConfirmed();
    void keysToggleAndReport();
    void selectingSwitchesTheCurrentMemory();
    void writingStoresTheCurrentSettings();
    void backupRestoresToTheSameMemories();
    void restoreFaults_data();
    void restoreFaults();
    void tapBlinksAtTheTappedTempo();
};

// Takes the unit through everything it can say, and reads each frame back as
// the editor's decoder would.
void TestSimulator::everyFrameHasALayoutTheDecoderReads()
{
    Rig rig;
    QList<QByteArray> all;
    qint64 now = 0;
    const auto run = [&](const QByteArray& frame) {
        rig.device.receive(frame, now += 10);
        all += rig.take();
    };
    run(deviceFrame("09 4D 00"));
    for (int key = 0; key < Protocol::kKeyCount; ++key)
        run(keyPress(key));
    run(keyPress(Protocol::kKeyTap));
    for (const char* body : {"02 01 07 7F", "03 00 7F 7F", "04 01 00 00", "0A 03 61 62 63", "0B 01 01 40", "0C 7F 7F",
                             "0D 7F 01 3C 40", "0E 7F", "0F 02", "10 01", "11 01", "12 03", "13 00", "25 02 41 42",
                             "26 7F", "27 01", "24 01 01 01 01 01 01 01 01 01 01 01 01 01", "05 04 07",
                             "1C 00", "19 33", "20 09", "06 04 07"})
        run(deviceFrame(body));
    rig.device.receive(deviceFrame("1D 00"), now);
    rig.device.advanceTo(now += 100000);
    const QList<QByteArray> backup = rig.take();
    all += backup;
    for (const QByteArray& block : backup) {
        if (block.at(Protocol::kCommandOffset) == char(Command::BackupBlock))
            run(block);
    }
    rig.device.openMemorySelect(0);
    rig.device.openMemorySelect(1);
    rig.device.closeMemorySelect(0);
    rig.device.advanceTo(now += 100000);
    all += rig.take();

    std::set<int> seen;
    for (const QByteArray& frame : all) {
        QVERIFY2(layoutProblem(frame).isEmpty(),
                 qPrintable(layoutProblem(frame) + ": " + frame.toHex(' ')));
        seen.insert(frame.at(Protocol::kCommandOffset));
    }
    // Every report the editor decodes, and nothing else.
    const QList<int> reports = {0x02, 0x03, 0x04, 0x05, 0x07, 0x08, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E,
                                0x0F, 0x10, 0x11, 0x12, 0x13, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1E,
                                0x1F, 0x20, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28};
    QCOMPARE(QList<int>(seen.begin(), seen.end()), reports);
}

// The start-up report through the editor's real receive path.
void TestSimulator::startUpReportFillsTheEditor()
{
    Sim::DeviceState state = Sim::seededState();
    state.unit.pedalsChannel = Protocol::kChannelOffWire;
    state.current.pcChannel = 15;
    state.current.amp = Sim::kAmpAB;
    state.current.buttonMode = 2;
    state.current.buffer2 = 1;
    QList<QByteArray> sent;
    Sim::SimulatedDevice device(state, {}, [&](const QByteArray& frame) { sent.append(frame); });
    device.receive(deviceFrame("09 4D 00"), 0);

    HubHarness harness;
    for (const QByteArray& frame : sent)
        HubHarness::deliver(frame);
    QCoreApplication::processEvents();

    const MiniCore& hub = harness.hub();
    const Sim::Memory& memory = state.current;
    QCOMPARE(hub.memoryIndex.load(), state.currentIndex);
    QCOMPARE(QByteArray(hub.memoryName.get().data()), QByteArray::fromStdString(memory.name));
    QCOMPARE(QByteArray(hub.deviceName.get().data()), QByteArray::fromStdString(state.unit.deviceName));
    QCOMPARE(hub.midiChannel.load(), 0);
    QCOMPARE(hub.pcMidiChannel.load(), 16);
    QCOMPARE(hub.pcNumber.load(), memory.pcProgram + 1);
    QCOMPARE(hub.tapMidiChannel.load(), Encoding::channelWireToIndex(memory.tapChannel));
    QCOMPARE(hub.tapNote.load(), memory.tapNote);
    QCOMPARE(hub.extPcMidiChannel.load(), Encoding::channelWireToIndex(state.unit.extPcChannel));
    for (int i = 0; i < Protocol::kEffectCount; ++i)
        QCOMPARE(hub.effectStatus[i].load(), memory.effects[i]);
    for (int p = 0; p < Protocol::kPedalCount; ++p) {
        QCOMPARE(hub.pedals[p].value.load(), memory.pedals[p].value);
        QCOMPARE(hub.pedals[p].min.load(), memory.pedals[p].min);
        QCOMPARE(hub.pedals[p].max.load(), memory.pedals[p].max);
        QCOMPARE(hub.pedals[p].cc.load(), memory.pedals[p].cc);
    }
    QCOMPARE(hub.firmwareVersionString.get(), QStringLiteral("1.4.2"));
    QCOMPARE(hub.dataVersionString.get(), QStringLiteral("1.0.3"));
    const Ui::EditWindow& form = harness.editWindow().widgets();
    QVERIFY(form.radioButtonAB->isChecked());
    QVERIFY(form.radioButton500->isChecked());
    QVERIFY(form.checkBoxBuffer2->isChecked());
    QCOMPARE(form.checkBoxMIDIThru->isChecked(), state.unit.midiThru == 1);
}

void TestSimulator::settingsAreStoredAndConfirmed_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QList<QByteArray>>("confirmation");

    const auto row = [](const char* name, const char* body, const QStringList& replies) {
        QTest::newRow(name) << deviceFrame(body) << frames(replies);
    };
    row("pedal 2 value", "02 01 07 7F", {"02 01 07 7F"});
    row("pedal value beyond 1023 kept at 1023", "02 00 7F 7F", {"02 00 07 7F"});
    row("pedal 1 maximum", "03 00 01 48", {"03 00 01 48"});
    row("pedal 2 minimum", "04 01 00 05", {"04 01 00 05"});
    row("pedal switch", "0B 00 01 40", {"0B 00 01 40"});
    row("program change, channel off", "0C 00 10", {"0C 00 10"});
    row("program change, any channel above 15 is off", "0C 7F 7F", {"0C 7F 10"});
    row("tap", "0D 00 01 3C 40", {"0D 00 01 3C 40"});
    row("pedals channel", "0E 05", {"0E 05"});
    row("amp A+B lights both amp LEDs", "0F 02", {"0F 02", "07 01 0F", "07 01 0E"});
    row("amp B", "0F 01", {"0F 01", "07 00 0F", "07 01 0E"});
    row("buffer 2", "10 01", {"10 01"});
    row("switch 3", "11 01", {"11 01"});
    row("button mode", "12 03", {"12 03"});
    row("MIDI thru", "13 00", {"13 00"});
    row("memory name", "0A 03 61 62 63", {"0A 03 61 62 63"});
    row("memory name, unprintable replaced", "0A 02 41 09", {"0A 02 41 5F"});
    row("memory name cut to 30",
        "0A 20 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 42 42",
        {"0A 1E 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41"});
    row("device name cut to 11", "25 0C 41 42 43 44 45 46 47 48 49 4A 4B 4C", {"25 0B 41 42 43 44 45 46 47 48 49 4A 4B"});
    row("empty device name", "25 00", {"25 00"});
    row("extended program change channel", "26 10", {"26 10"});
    row("wireless", "27 01", {"27 01"});
    // Seeded memory 3 has loops 1, 2, 7 and 10 on.
    row("effect status lights what changed", "24 01 00 01 00 00 00 01 00 00 01 00 01 01",
        {"24 01 00 01 00 00 00 01 00 00 01 00 01 01", "07 00 01", "07 01 02", "07 01 0B"});
    row("amp out of range", "0F 03", {});
    row("button mode out of range", "12 04", {});
    row("switch out of range", "10 02", {});
    row("third pedal", "02 02 00 00", {});
    row("pedal value without its low byte", "02 00 07", {});
    row("name running past the frame", "0A 05 41 42", {});
}

void TestSimulator::settingsAreStoredAndConfirmed()
{
    QFETCH(QByteArray, command);
    QFETCH(QList<QByteArray>, confirmation);

    Rig rig;
    rig.device.receive(command, 0);
    QCOMPARE(rig.take(), confirmation);
    // What was confirmed was stored: the unit reports it again later.
    rig.device.reportWholeState();
    const QList<QByteArray> report = rig.take();
    for (const QByteArray& frame : confirmation)
        QVERIFY2(report.contains(frame), frame.toHex(' ').constData());
}

void TestSimulator::keysToggleAndReport()
{
    Rig rig;
    // Seeded memory 3: loop 3 off, SW1 off.
    rig.device.receive(keyPress(2), 0);
    QCOMPARE(rig.take(), frames({"07 01 02", "24 01 01 01 00 00 00 01 00 00 01 00 00 00"}));
    rig.device.receive(keyPress(Protocol::kKeySw1), 0);
    rig.device.receive(keyPress(2), 0);
    QCOMPARE(rig.take(), frames({"07 01 0A", "24 01 01 01 00 00 00 01 00 00 01 01 00 00", "07 00 02",
                                 "24 01 01 00 00 00 00 01 00 00 01 01 00 00"}));
    rig.device.receive(deviceFrame("00 02"), 0);
    QVERIFY(rig.take().isEmpty());

    rig.device.receive(keyPress(Protocol::kKeyMenu), 0);
    const QList<QByteArray> menu = rig.take();
    QVERIFY(menu.size() > 2);
    QCOMPARE(menu.at(0), deviceFrame("08 01"));
    QCOMPARE(menu.at(1), deviceFrame("0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64"));  // "Classic Lead"
    QVERIFY(menu.contains(deviceFrame("24 01 01 00 00 00 00 01 00 00 01 01 00 00")));
}

void TestSimulator::selectingSwitchesTheCurrentMemory()
{
    Rig rig;
    rig.device.receive(deviceFrame("17 03"), 0);
    rig.device.receive(deviceFrame("18 07"), 0);
    QVERIFY(rig.take().isEmpty());
    QCOMPARE(rig.device.state().currentIndex, 3);

    rig.device.receive(deviceFrame("05 00 25"), 0);
    const QList<QByteArray> report = rig.take();
    QCOMPARE(rig.device.state().currentIndex, 37);
    QCOMPARE(report.mid(0, 3), frames({"05 00 25", "17 03", "18 07"}));
    QCOMPARE(report.at(3), Sim::countedTextFrame(Command::MemoryName, rig.device.state().memories[37].name));
    QCOMPARE(rig.device.state().current, rig.device.state().memories[37]);

    rig.device.receive(deviceFrame("05 04 08"), 0);  // 520: no such memory
    QVERIFY(rig.take().isEmpty());
    QCOMPARE(rig.device.state().currentIndex, 37);
}

void TestSimulator::writingStoresTheCurrentSettings()
{
    Rig rig;
    rig.device.receive(deviceFrame("0A 03 4E 65 77"), 0);  // "New"
    rig.device.receive(deviceFrame("10 01"), 0);
    const Sim::Memory edited = rig.device.state().current;
    const Sim::Memory untouched = rig.device.state().memories[3];
    QVERIFY(edited != untouched);
    rig.take();

    rig.device.receive(deviceFrame("1C 00"), 0);
    rig.device.receive(deviceFrame("19 33"), 10);
    rig.device.receive(deviceFrame("20 09"), 20);
    QCOMPARE(rig.take(), frames({"19 33", "20 09"}));
    rig.device.receive(deviceFrame("06 04 07"), 30);  // 519
    QCOMPARE(rig.take(), frames({"28 00", "05 04 07", "17 33", "18 09", "0A 03 4E 65 77"}));
    QCOMPARE(rig.device.state().memories[519], edited);
    QCOMPARE(rig.device.state().memories[3], untouched);
    QCOMPARE(rig.device.state().currentIndex, 519);

    // The dialog is closed a moment later, so its done picture can be seen.
    rig.device.advanceTo(1029);
    QVERIFY(rig.take().isEmpty());
    rig.device.advanceTo(1030);
    QCOMPARE(rig.take(), frames({"1B 01"}));
}

void TestSimulator::backupRestoresToTheSameMemories()
{
    Rig source;
    source.device.receive(deviceFrame("1D 00"), 0);
    source.device.advanceTo(1000000);
    QList<QByteArray> stream = source.take();
    QCOMPARE(stream.takeLast(), deviceFrame("1F 00"));
    QVERIFY(stream.size() > 100);

    // The first block carries the dump header: its total counts every content byte.
    const int contentOffset = Protocol::kBlockContentOffset;
    const auto contentOf = [&](const QByteArray& block) { return block.mid(contentOffset, block.size() - contentOffset - 1); };
    int contentBytes = 0;
    for (const QByteArray& block : stream) {
        const FrameReader reader(reinterpret_cast<const unsigned char*>(block.constData()), block.size());
        QCOMPARE(reader.value28(Protocol::kBlockPositionOffset), contentBytes);
        contentBytes += contentOf(block).size();
    }
    // The dump header as the editor reads it from the first block: the total
    // at offset 18, the data version's length at 26 and its text from 30.
    const QByteArray& first = stream.first();
    const FrameReader header(reinterpret_cast<const unsigned char*>(first.constData()), first.size());
    QCOMPARE(header.value28(18), contentBytes);
    QCOMPARE(header.value28(26), 5);
    QCOMPARE(first.mid(30, 5), QByteArray("1.0.3"));

    // A unit whose memories all differ takes the dump back whole.
    Sim::DeviceState other = Sim::seededState();
    for (Sim::Memory& memory : other.memories)
        memory.name = "Other";
    QList<QByteArray> answers;
    Sim::SimulatedDevice target(other, {}, [&](const QByteArray& frame) { answers.append(frame); });
    for (const QByteArray& block : stream)
        target.receive(block, 0);
    QCOMPARE(answers.count(deviceFrame("23 00")), stream.size());
    QCOMPARE(answers.last(), deviceFrame("28 00"));
    QVERIFY(target.state().memories == source.device.state().memories);
    QCOMPARE(target.state().current, source.device.state().memories[3]);
}

void TestSimulator::restoreFaults_data()
{
    QTest::addColumn<Sim::Options>("options");
    QTest::addColumn<QString>("fault");
    // n > 0: the first n blocks are acknowledged; n <= 0: all but -n.
    QTest::addColumn<int>("acknowledged");
    QTest::addColumn<bool>("restored");

    Sim::Options dropThird;
    dropThird.dropAck = 3;
    Sim::Options stopAfterFive;
    stopAfterFive.ackLimit = 5;
    Sim::Options late;
    late.ackDelayMs = 250;
    QTest::newRow("third acknowledgement dropped") << dropThird << QString() << -1 << true;
    QTest::newRow("stops answering after five") << stopAfterFive << QString() << 5 << false;
    QTest::newRow("acknowledgements late") << late << QString() << 0 << true;
    QTest::newRow("a block out of order") << Sim::Options{} << "swap" << 3 << false;
    QTest::newRow("a value out of range") << Sim::Options{} << "corrupt" << 0 << false;
}

void TestSimulator::restoreFaults()
{
    QFETCH(Sim::Options, options);
    QFETCH(QString, fault);
    QFETCH(int, acknowledged);
    QFETCH(bool, restored);

    Rig source;
    source.device.receive(deviceFrame("1D 00"), 0);
    source.device.advanceTo(1000000);
    QList<QByteArray> stream = source.take();
    stream.removeLast();
    if (fault == "swap")
        stream.swapItemsAt(3, 4);
    if (fault == "corrupt")
        stream[10][60] = 0x7F;  // inside a memory record: no field takes 127 there

    Sim::DeviceState other = Sim::seededState();
    other.memories[0].name = "Kept";
    Rig target(options, other);
    for (const QByteArray& block : stream)
        target.device.receive(block, 0);
    const int immediate = target.sent.count(deviceFrame("23 00"));
    target.device.advanceTo(options.ackDelayMs);
    const QList<QByteArray> answers = target.take();
    QCOMPARE(immediate, options.ackDelayMs > 0 ? 0 : answers.count(deviceFrame("23 00")));
    QCOMPARE(answers.count(deviceFrame("23 00")), acknowledged > 0 ? acknowledged : stream.size() + acknowledged);
    QCOMPARE(answers.contains(deviceFrame("28 00")), restored);
    QCOMPARE(target.device.state().memories[0].name, std::string(restored ? source.device.state().memories[0].name : "Kept"));
}

void TestSimulator::tapBlinksAtTheTappedTempo()
{
    Sim::Options options;
    options.tapBeats = 3;
    Rig rig(options);
    rig.device.receive(keyPress(Protocol::kKeyTap), 0);
    rig.device.advanceTo(200);
    // One tap has no tempo yet: a single flash.
    QCOMPARE(rig.take(), frames({"07 01 0D", "07 00 0D"}));

    QStringList timeline;
    const auto record = [&](qint64 t) {
        for (const QByteArray& frame : rig.take())
            timeline.append(QString::number(t) + ": " + frame.mid(5, 3).toHex(' '));
    };
    rig.device.receive(keyPress(Protocol::kKeyTap), 500);
    record(500);
    for (qint64 t = 501; t <= 3000; ++t) {
        rig.device.advanceTo(t);
        record(t);
    }
    QCOMPARE(timeline, QStringList({"500: 07 01 0d", "600: 07 00 0d", "1000: 07 01 0d", "1100: 07 00 0d",
                                    "1500: 07 01 0d", "1600: 07 00 0d"}));
}

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
