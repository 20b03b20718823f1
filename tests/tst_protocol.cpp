// The frames of the editor's requests, byte for byte, through the real send
// path (its settings: tst_simulator's round trip); the value encodings; and
// the assembly of incoming frames.

#include "protocol/commandsender.h"
#include "protocol/encoding.h"
#include "protocol/frame.h"
#include "protocol/frameassembler.h"
#include "support/tracecapture.h"

#include <QtTest>

#include <functional>

class ProtocolTest : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames()
    {
        using S = CommandSender;
        const std::pair<std::function<void()>, const char*> rows[] = {
            {[] { S::sendKeyPress(Protocol::kKeyTap); }, "01 0D"},
            {[] { S::sendKeyRelease(Protocol::kKeyTap); }, "00 0D"},
            // An out-of-range argument must not become a status byte inside the frame.
            {[] { S::sendKeyPress(0xF7); }, "01 77"},
            {[] { S::sendSelectMemory(519); }, "05 04 07"},
            {[] { S::sendWriteMemory(284); }, "06 02 1C"},
            {[] { S::sendSelectBank(51); }, "17 33"},
            {[] { S::sendSelectNumber(9); }, "18 09"},
            {[] { S::sendWriteBank(28); }, "19 1C"},
            {[] { S::sendWriteStart(); }, "1C 00"},
            {[] { S::sendBackupRequest(); }, "1D 00"},
            {[] { S::sendWriteNumber(4); }, "20 04"},
            {[] { S::sendWriteCancel(); }, "21 00"},
            {[] { S::sendRawFrame(reinterpret_cast<const unsigned char*>("\xF0\x7E\x10\x07\x02\x1E\x11\xF7"), 8); },
             "1E 11"}};
        for (const auto& [command, body] : rows) {
            TraceCapture trace;
            command();
            QCOMPARE(trace.sentFrames(), QList<QByteArray>{hexBytes("F0 7E 10 07 02") + hexBytes(body) + '\xF7'});
        }
    }

    void startupRequestOnConstruction()
    {
        TraceCapture trace;
        const CommandSender sender;
        QCOMPARE(trace.lines(), QStringList{QStringLiteral("--> S F0 7E 10 07 02 09 4D 00 F7")});
    }

    // Arguments past the longest frame are dropped, never written past its end.
    void frameNeverOverruns()
    {
        const Frame frame(Protocol::Command::KeyPress, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                                        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
        QCOMPARE(frame.size(), Frame::kCapacity);
        QCOMPARE(frame.data()[Frame::kCapacity - 1], Protocol::kSysExEnd);
    }

    void values14And28Bit()
    {
        const std::tuple<int, const char*, const char*> rows[] = {
            {37, "00 25", "00 00 00 25"}, {200, "01 48", "00 00 01 48"},
            {16383, "7F 7F", "00 00 7F 7F"}, {2097152, "00 00", "01 00 00 00"}, {268435455, "7F 7F", "7F 7F 7F 7F"}};
        for (const auto& [value, hex14, hex28] : rows) {
            const auto split14 = Encoding::split14(value);
            const auto split28 = Encoding::split28(value);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(split14.data()), 2), hexBytes(hex14));
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(split28.data()), 4), hexBytes(hex28));
            QCOMPARE(Encoding::join28(split28.data()), value);
            QCOMPARE(Encoding::join14(split14[0], split14[1]), value & 0x3FFF);
        }
    }

    void channelForms()
    {
        // A list index (0 off, 1-16), its wire value, and the index read back from that.
        const std::array<int, 3> rows[] = {{0, 16, 0}, {1, 0, 1}, {16, 15, 16}, {17, 16, 0}, {-1, 16, 0}};
        for (const auto& [index, wire, back] : rows) {
            QCOMPARE(Encoding::channelIndexToWire(index), wire);
            QCOMPARE(Encoding::channelWireToIndex(wire), back);
        }
        QCOMPARE(Encoding::channelWireToIndex(0x7F), 0);  // any wire value above 15 is off
    }

    // A frame is damaged when another message's status byte fell inside it; its
    // backup content is then not trusted. Timing clocks (F8) do no harm.
    void assembler()
    {
        const QString amp = "f0 7e 10 07 02 0f 02 f7";
        const std::pair<const char*, QStringList> rows[] = {
            {"F0 7E F8 10 07 FE 02 0F 02 F7", {amp}},
            {"F0 7E 10 90 07 02 0F 02 F7", {amp + " damaged"}},
            {"F0 01 90 02 F0 7E 10 07 02 0F 02 F7", {amp}},
            {"05 F7 90 40 F7 F0 7E 10 07 02 0F 02 F7 40 41 F7", {amp}},
            {"F0 7E 10 07 02 0F 02 F7 F0 7E 10 07 02 0F 02 F7", {amp, amp}}};
        for (const auto& [stream, expected] : rows) {
            FrameAssembler assembler;
            QStringList completed;
            for (const char byte : hexBytes(stream)) {
                if (assembler.feed(static_cast<unsigned char>(byte)))
                    completed << QByteArray(reinterpret_cast<const char*>(assembler.frame()), int(assembler.length()))
                                         .toHex(' ') + (assembler.damaged() ? " damaged" : "");
            }
            QCOMPARE(completed, expected);
        }
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
