// The MIDI Log window: the console's lines, in order, filtered, saved as the
// console has them, capped, and a GUI that keeps answering under a flood.

#include "midi/midiconnection.h"
#include "midi/receivecallback.h"
#include "midi/trace.h"
#include "midi/tracelog.h"
#include "support/tracecapture.h"
#include "ui/midilogwindow.h"

#include <QCheckBox>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

const char* const kBoxes[] = {"checkBoxSent", "checkBoxReceived", "checkBoxNotes", "checkBoxOther"};

void receive(const QByteArray& message)
{
    std::vector<unsigned char> bytes(message.begin(), message.end());
    receiveCallback(0.0, &bytes, nullptr);
}

// One line of each kind, in the order of kBoxes.
void sayOneOfEach()
{
    const QByteArray press = hexBytes("F0 7E 10 07 02 01 05 F7");
    g_midiConnection.send(reinterpret_cast<const unsigned char*>(press.constData()), std::size_t(press.size()));
    receive(hexBytes("F0 7E 10 07 02 0F 02 F7"));
    Trace::note(QStringLiteral("a note"));
    receive(hexBytes("90 40 7F F0 7E 10 07 02 0F 01 F7"));
}

QByteArray frameNumbered(int i)
{
    return hexBytes("F0 7E 10 07 02 05 00 00 F7").replace(6, 2, QByteArray(1, char(i >> 7)) + char(i & 0x7F));
}

QStringList shownLines(const MidiLogWindow& window)
{
    const QString text = window.shownText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

}  // namespace

class MidiLogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { window_ = &MidiLogWindow::open(); }

    void init()
    {
        for (const char* name : kBoxes)
            window_->findChild<QCheckBox*>(name)->setChecked(true);
        window_->findChild<QPushButton*>("pushButtonClear")->click();
    }

    void filter_data()
    {
        QTest::addColumn<int>("hidden");  // the box unticked, in kBoxes; -1 none
        QTest::newRow("everything") << -1;
        for (int box = 0; box < 4; ++box)
            QTest::newRow(kBoxes[box]) << box;
    }

    // What the console says, line for line, with the unticked kind left out;
    // Save gives the console's lines whatever the filter.
    void filter()
    {
        QFETCH(int, hidden);
        TraceCapture trace;
        sayOneOfEach();
        MidiLogWindow& window = *window_;
        if (hidden >= 0)
            window.findChild<QCheckBox*>(kBoxes[hidden])->setChecked(false);
        // The console's own lines, and the one standard error has between them.
        QStringList all = trace.lines();
        QCOMPARE(all.size(), 4);
        all.insert(1, "Not sent: the device is not connected");
        // Shown apart: the channel message and the frame after it on one console line.
        QStringList parts = all;
        parts.replace(4, all.at(4).section(" R ", 0, 0));
        parts.append("R " + all.at(4).section(" R ", 1));
        const int kinds[] = {0, 2, 1, 2, 3, 1};  // in kBoxes
        QStringList expected;
        for (int i = 0; i < parts.size(); ++i) {
            if (kinds[i] != hidden)
                expected.append(parts.at(i));
        }
        QTRY_COMPARE(shownLines(window), expected);

        const QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QString error;
        QVERIFY(MidiLogWindow::saveTo(path, error));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), all.join('\n') + '\n');
    }

    void keepsTheLast100000Lines()
    {
        constexpr int kExtra = 3;
        for (int i = 0; i < TraceLog::kCapacity + kExtra; ++i)
            TraceLog::append(TraceLog::Kind::Note, "# " + QByteArray::number(i));
        const QVector<TraceLog::Line> kept = TraceLog::kept();
        QCOMPARE(kept.size(), TraceLog::kCapacity);
        QCOMPARE(kept.first().text, QByteArray("# 3"));
        QCOMPARE(kept.last().text, "# " + QByteArray::number(TraceLog::kCapacity + kExtra - 1));
        const MidiLogWindow& window = *window_;
        QTRY_VERIFY_WITH_TIMEOUT(window.shownText().endsWith(kept.last().text), 60000);
        QCOMPARE(shownLines(window).size(), TraceLog::kCapacity);
    }

    // More than the queue holds before the GUI thread takes any: the log keeps
    // what fitted, says how many lines it lacks, and goes on with whole lines.
    void fallsBehind()
    {
        TraceCapture trace;
        receive(frameNumbered(0));
        const int frames = int(TraceLog::kQueueBytes) / (trace.text().size()) + 2000;
        for (int i = 1; i < frames; ++i)
            receive(frameNumbered(i % 16384));
        TraceLog::takeQueued();
        receive(frameNumbered(1));
        QStringList kept;
        for (const TraceLog::Line& line : TraceLog::kept())
            kept.append(QString::fromUtf8(line.text));
        const QStringList console = trace.lines();
        const int before = kept.size() - 2, leftOut = kept.value(before).section(' ', 5, 5).toInt();
        QVERIFY(before > 0 && leftOut > 0);
        // The oldest may have gone to the log's own limits.
        QCOMPARE(kept.mid(0, before), console.mid(frames - leftOut - before, before));
        QCOMPARE(kept.mid(before), (QStringList{QString("# The log fell behind: %1 received lines are on the console only")
                                                    .arg(leftOut),
                                                console.last()}));
    }

    // The input thread floods; the window follows in order, and the GUI
    // thread never stops answering for a second.
    void floodWithTheWindowOpen()
    {
        TraceCapture trace;
        const MidiLogWindow& window = *window_;
        constexpr int kFrames = 16384;
        std::atomic<bool> done{false};
        std::thread input([&] {
            for (int i = 0; i < kFrames; ++i)
                receive(frameNumbered(i));
            done = true;
        });
        QElapsedTimer sinceLast;
        sinceLast.start();
        qint64 longestPause = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { longestPause = std::max(longestPause, sinceLast.restart()); });
        tick.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(done && shownLines(window).size() == kFrames, 60000);
        input.join();
        QVERIFY2(longestPause < 1000, qPrintable(QString::number(longestPause)));
        QCOMPARE(shownLines(window), trace.lines());
    }

private:
    MidiLogWindow* window_ = nullptr;
};

QTEST_MAIN(MidiLogTest)
#include "tst_midilog.moc"
