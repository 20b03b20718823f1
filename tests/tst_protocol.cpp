// Every frame the editor can send, byte for byte, through the real send path;
// the value encodings; and the assembly of incoming frames.

#include "protocol/commandsender.h"
#include "protocol/encoding.h"
#include "protocol/frameassembler.h"
#include "support/tracecapture.h"

#include <QtTest>

#include <functional>

using Protocol::Command;
using Command_ = std::function<void()>;
Q_DECLARE_METATYPE(Command_)

class ProtocolTest : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames_data();
    void commandFrames();
    void startupRequestOnConstruction();
    void values14And28Bit_data();
    void values14And28Bit();
    void channelForms_data();
    void channelForms();
    void assembler_data();
    void assembler();
    void assemblerDropsOversizedFrame();
};

void ProtocolTest::commandFrames_data()
{
    QTest::addColumn<Command_>("command");
    QTest::addColumn<QByteArray>("frame");

    const QByteArray thirtyOne(31, 'x');
    const QByteArray backupBlock = hexBytes("F0 7E 10 07 02 1E 00 00 00 00 11 22 33 F7");
    auto row = [](const char* name, Command_ command, const char* hex) {
        QTest::newRow(name) << command << hexBytes(hex);
    };
    row("tap pressed", [] { CommandSender::sendKeyPress(Protocol::kKeyTap); }, "F0 7E 10 07 02 01 0D F7");
    row("tap released", [] { CommandSender::sendKeyRelease(Protocol::kKeyTap); }, "F0 7E 10 07 02 00 0D F7");
    row("loop 3 pressed", [] { CommandSender::sendKeyPress(2); }, "F0 7E 10 07 02 01 02 F7");
    row("pedal 2 value 1023", [] { CommandSender::sendPedalSetting(1, 1023, Command::PedalValue); },
        "F0 7E 10 07 02 02 01 07 7F F7");
    row("pedal 1 max 1023", [] { CommandSender::sendPedalSetting(0, 1023, Command::PedalMax); },
        "F0 7E 10 07 02 03 00 07 7F F7");
    row("pedal 1 min 200", [] { CommandSender::sendPedalSetting(0, 200, Command::PedalMin); },
        "F0 7E 10 07 02 04 00 01 48 F7");
    row("select memory 519", [] { CommandSender::sendSelectMemory(519); }, "F0 7E 10 07 02 05 04 07 F7");
    row("select memory 37", [] { CommandSender::sendSelectMemory(37); }, "F0 7E 10 07 02 05 00 25 F7");
    row("write memory 284", [] { CommandSender::sendWriteMemory(284); }, "F0 7E 10 07 02 06 02 1C F7");
    row("startup request", [] { CommandSender::sendStartupRequest(); }, "F0 7E 10 07 02 09 4D 00 F7");
    row("empty memory name", [] { CommandSender::sendMemoryName(""); }, "F0 7E 10 07 02 0A 00 F7");
    row("null memory name", [] { CommandSender::sendMemoryName(nullptr); }, "F0 7E 10 07 02 0A 00 F7");
    row("memory name abc", [] { CommandSender::sendMemoryName("abc"); }, "F0 7E 10 07 02 0A 03 61 62 63 F7");
    QTest::newRow("memory name cut to 30")
        << Command_([thirtyOne] { CommandSender::sendMemoryName(thirtyOne.constData()); })
        << hexBytes("F0 7E 10 07 02 0A 1E").append(QByteArray(30, 'x')).append('\xF7');
    row("memory name unprintable bytes", [] { CommandSender::sendMemoryName("a\n\xE9\xF7z"); },
        "F0 7E 10 07 02 0A 05 61 5F 5F 5F 7A F7");
    row("pedal 2 switch on cc 64", [] { CommandSender::sendPedalSwitch(1, 1, 64); }, "F0 7E 10 07 02 0B 01 01 40 F7");
    row("program change off, 1", [] { CommandSender::sendProgramChange(16, 0); }, "F0 7E 10 07 02 0C 00 10 F7");
    row("program change 16, 128", [] { CommandSender::sendProgramChange(15, 127); }, "F0 7E 10 07 02 0C 7F 0F F7");
    row("tap channel 1 note 60 cc 64", [] { CommandSender::sendTapTempo(0, 1, 60, 64); },
        "F0 7E 10 07 02 0D 00 01 3C 40 F7");
    row("pedals channel off", [] { CommandSender::sendMidiChannel(16); }, "F0 7E 10 07 02 0E 10 F7");
    row("amp A+B", [] { CommandSender::sendAmpSelect(2); }, "F0 7E 10 07 02 0F 02 F7");
    row("buffer 2 on", [] { CommandSender::sendBuffer2(1); }, "F0 7E 10 07 02 10 01 F7");
    row("switch 3 off", [] { CommandSender::sendSwitch3(0); }, "F0 7E 10 07 02 11 00 F7");
    row("button mode 1000", [] { CommandSender::sendButtonMode(3); }, "F0 7E 10 07 02 12 03 F7");
    row("midi thru on", [] { CommandSender::sendMidiThru(1); }, "F0 7E 10 07 02 13 01 F7");
    row("select bank 51", [] { CommandSender::sendSelectBank(51); }, "F0 7E 10 07 02 17 33 F7");
    row("select number 9", [] { CommandSender::sendSelectNumber(9); }, "F0 7E 10 07 02 18 09 F7");
    row("write bank 28", [] { CommandSender::sendWriteBank(28); }, "F0 7E 10 07 02 19 1C F7");
    row("write start", [] { CommandSender::sendWriteStart(); }, "F0 7E 10 07 02 1C 00 F7");
    row("backup request", [] { CommandSender::sendBackupRequest(); }, "F0 7E 10 07 02 1D 00 F7");
    row("write number 4", [] { CommandSender::sendWriteNumber(4); }, "F0 7E 10 07 02 20 04 F7");
    row("write cancel", [] { CommandSender::sendWriteCancel(); }, "F0 7E 10 07 02 21 00 F7");
    row("effects loops 1 and 10",
        [] { CommandSender::sendEffectStatus({1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}); },
        "F0 7E 10 07 02 24 01 00 00 00 00 00 00 00 00 01 00 00 00 F7");
    row("effects switches", [] { CommandSender::sendEffectStatus({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1}); },
        "F0 7E 10 07 02 24 00 00 00 00 00 00 00 00 00 00 01 01 01 F7");
    row("device name", [] { CommandSender::sendDeviceName("Stage Rig"); },
        "F0 7E 10 07 02 25 09 53 74 61 67 65 20 52 69 67 F7");
    row("device name cut to 11", [] { CommandSender::sendDeviceName("ABCDEFGHIJKLM"); },
        "F0 7E 10 07 02 25 0B 41 42 43 44 45 46 47 48 49 4A 4B F7");
    row("ext pc channel 4", [] { CommandSender::sendExtPcMidiChannel(3); }, "F0 7E 10 07 02 26 03 F7");
    row("wireless on", [] { CommandSender::sendWireless(1); }, "F0 7E 10 07 02 27 01 F7");
    QTest::newRow("raw backup block")
        << Command_([backupBlock] {
               CommandSender::sendRawFrame(reinterpret_cast<const unsigned char*>(backupBlock.constData()),
                                           static_cast<std::size_t>(backupBlock.size()));
           })
        << backupBlock;
    // An out-of-range argument must not become a status byte inside the frame.
    row("argument kept to 7 bits", [] { CommandSender::sendKeyPress(0xF7); }, "F0 7E 10 07 02 01 77 F7");
}

void ProtocolTest::commandFrames()
{
    QFETCH(Command_, command);
    QFETCH(QByteArray, frame);
    TraceCapture trace;
    command();
    QCOMPARE(trace.sentFrames(), QList<QByteArray>{frame});
}

void ProtocolTest::startupRequestOnConstruction()
{
    TraceCapture trace;
    const CommandSender sender;
    QCOMPARE(trace.lines(), QStringList{QStringLiteral("--> S F0 7E 10 07 02 09 4D 00 F7")});
}

void ProtocolTest::values14And28Bit_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("bytes14");
    QTest::addColumn<QByteArray>("bytes28");
    QTest::newRow("0") << 0 << hexBytes("00 00") << hexBytes("00 00 00 00");
    QTest::newRow("37") << 37 << hexBytes("00 25") << hexBytes("00 00 00 25");
    QTest::newRow("200") << 200 << hexBytes("01 48") << hexBytes("00 00 01 48");
    QTest::newRow("1000") << 1000 << hexBytes("07 68") << hexBytes("00 00 07 68");
    QTest::newRow("16383") << 16383 << hexBytes("7F 7F") << hexBytes("00 00 7F 7F");
    QTest::newRow("2097152") << 2097152 << hexBytes("00 00") << hexBytes("01 00 00 00");
    QTest::newRow("268435455") << 268435455 << hexBytes("7F 7F") << hexBytes("7F 7F 7F 7F");
}

void ProtocolTest::values14And28Bit()
{
    QFETCH(int, value);
    QFETCH(QByteArray, bytes14);
    QFETCH(QByteArray, bytes28);
    const auto split14 = Encoding::split14(value);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(split14.data()), 2), bytes14);
    const auto split28 = Encoding::split28(value);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(split28.data()), 4), bytes28);
    QCOMPARE(Encoding::join28(split28.data()), value);
    if (value < 16384)
        QCOMPARE(Encoding::join14(split14[0], split14[1]), value);
}

void ProtocolTest::channelForms_data()
{
    QTest::addColumn<int>("listIndex");
    QTest::addColumn<int>("wire");
    QTest::addColumn<int>("indexFromWire");
    QTest::newRow("off") << 0 << 16 << 0;
    QTest::newRow("channel 1") << 1 << 0 << 1;
    QTest::newRow("channel 2") << 2 << 1 << 2;
    QTest::newRow("channel 16") << 16 << 15 << 16;
    QTest::newRow("index out of list") << 17 << 16 << 0;
    QTest::newRow("negative index") << -1 << 16 << 0;
}

void ProtocolTest::channelForms()
{
    QFETCH(int, listIndex);
    QFETCH(int, wire);
    QFETCH(int, indexFromWire);
    QCOMPARE(Encoding::channelIndexToWire(listIndex), wire);
    QCOMPARE(Encoding::channelWireToIndex(wire), indexFromWire);
    // Any wire value above 15 means off.
    QCOMPARE(Encoding::channelWireToIndex(0x7F), 0);
}

void ProtocolTest::assembler_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("frames");
    const QByteArray amp = hexBytes("F0 7E 10 07 02 0F 02 F7");
    QTest::newRow("one frame") << amp << QList<QByteArray>{amp};
    QTest::newRow("real-time bytes inside") << hexBytes("F0 7E F8 10 07 FE 02 0F 02 F7") << QList<QByteArray>{amp};
    QTest::newRow("status byte inside") << hexBytes("F0 7E 10 90 07 02 0F 02 F7") << QList<QByteArray>{amp};
    QTest::newRow("data before F0 dropped") << hexBytes("05 06 F0 7E 10 07 02 0F 02 F7 40 41") << QList<QByteArray>{amp};
    QTest::newRow("F0 restarts") << hexBytes("F0 01 02 F0 7E 10 07 02 0F 02 F7") << QList<QByteArray>{amp};
    QTest::newRow("stray F7") << hexBytes("F7 90 40 F7") << QList<QByteArray>{};
    QTest::newRow("two frames") << amp + amp << QList<QByteArray>{amp, amp};
}

void ProtocolTest::assembler()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, frames);
    FrameAssembler assembler;
    QList<QByteArray> completed;
    for (const char byte : stream) {
        if (assembler.feed(static_cast<unsigned char>(byte)))
            completed.append(QByteArray(reinterpret_cast<const char*>(assembler.frame()),
                                        static_cast<int>(assembler.length())));
    }
    QCOMPARE(completed, frames);
}

void ProtocolTest::assemblerDropsOversizedFrame()
{
    FrameAssembler assembler;
    auto feedFrame = [&](int dataBytes) {
        bool completedEarly = assembler.feed(0xF0);
        for (int i = 0; i < dataBytes; ++i)
            completedEarly = assembler.feed(0x11) || completedEarly;
        return !completedEarly && assembler.feed(0xF7);
    };
    const int fits = static_cast<int>(Protocol::kReceiveBufferSize) - 2;
    QVERIFY(feedFrame(fits));
    QCOMPARE(assembler.length(), Protocol::kReceiveBufferSize);
    QVERIFY(!feedFrame(fits + 1));
    // Closed until the next F0: the tail of the long frame is not a frame.
    QVERIFY(!assembler.feed(0x11));
    QVERIFY(!assembler.feed(0xF7));
    QVERIFY(feedFrame(3));
    QCOMPARE(assembler.length(), std::size_t{5});
}

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
