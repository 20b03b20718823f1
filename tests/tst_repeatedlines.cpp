// Standard error's filter: a line said now and then always passes, a flood of
// one becomes its first copies and a count, and nothing is lost or held.

#include "app/repeatedlines.h"

#include <QtTest>

namespace {

// What reaches the filter: bytes at a time, or a tick (no bytes).
struct Step
{
    qint64 atMs;
    QByteArray bytes;
};
using Steps = QList<Step>;

Steps repeated(const QByteArray& line, int times, qint64 fromMs, qint64 everyMs)
{
    Steps steps;
    for (int i = 0; i < times; ++i)
        steps.append(Step{fromMs + i * everyMs, line + '\n'});
    return steps;
}

Steps ticks(qint64 fromMs, qint64 toMs)
{
    Steps steps;
    for (qint64 at = fromMs; at <= toMs; at += 100)
        steps.append(Step{at, {}});
    return steps;
}

QByteArray lines(const QByteArray& line, int times)
{
    QByteArray text;
    for (int i = 0; i < times; ++i)
        text += line + '\n';
    return text;
}

void collect(const char* text, std::size_t size, void* output)
{
    static_cast<QByteArray*>(output)->append(text, static_cast<int>(size));
}

}  // namespace

Q_DECLARE_METATYPE(Steps)

class RepeatedLinesTest : public QObject
{
    Q_OBJECT

private slots:
    void filters_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<bool>("finish");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray overrun = "MidiInAlsa::alsaMidiHandler: MIDI input buffer overrun!";
        const QByteArray dropped = "Not sent: the device is not connected";
        const int passing = RepeatedLines::kMaxPassing;
        const qint64 quiet = RepeatedLines::kQuietMs;

        // Press and release, twice, half a second apart.
        QTest::newRow("a user's pace") << repeated(dropped, 2, 0, 5) + repeated(dropped, 2, 500, 5) << false
                                       << lines(dropped, 4);
        QTest::newRow("a flood") << repeated(overrun, 1000, 0, 1) + ticks(1000, 1100 + quiet) << false
                                 << lines(overrun, passing) + overrun + " (" + QByteArray::number(1000 - passing)
                                        + " more like it)\n";
        Steps interleaved;
        for (int i = 0; i < 300; ++i)
            interleaved += repeated(i % 2 ? "B" : "A", 1, i, 1);
        QByteArray both;
        for (int i = 0; i < 2 * passing; ++i)
            both += i % 2 ? "B\n" : "A\n";
        QTest::newRow("two complaints taking turns")
            << interleaved + ticks(400, 500 + quiet) << false
            << both + "A (" + QByteArray::number(150 - passing) + " more like it)\nB ("
                   + QByteArray::number(150 - passing) + " more like it)\n";
        // 2,500 copies over 25 s: counted 10 s after the first one held back,
        // 10 s later, and when they stop.
        Steps longFlood = repeated(overrun, 2500, 0, 10);
        longFlood += ticks(0, 25100 + quiet);
        std::stable_sort(longFlood.begin(), longFlood.end(),
                         [](const Step& a, const Step& b) { return a.atMs < b.atMs; });
        QTest::newRow("a long flood, counted every 10 s")
            << longFlood << false
            << lines(overrun, passing) + overrun + " (1006 more like it)\n" + overrun + " (1000 more like it)\n" + overrun
                   + " (489 more like it)\n";
        QTest::newRow("passing again after a quiet while")
            << repeated("A", 20, 0, 5) + ticks(200, 200 + quiet) + repeated("A", 3, 300 + quiet, 5) << false
            << lines("A", passing) + "A (" + QByteArray::number(20 - passing) + " more like it)\n" + lines("A", 3);
        Steps alikeLines;
        for (int i = 0; i < 40; ++i)
            alikeLines += repeated("XCB error: 8 (BadMatch), sequence: " + QByteArray::number(5000 + 5 * i), 1, i, 1);
        QTest::newRow("alike but for their numbers")
            << alikeLines + ticks(100, 100 + quiet) << false
            << [&] {
                   QByteArray first;
                   for (int i = 0; i < passing; ++i)
                       first += "XCB error: 8 (BadMatch), sequence: " + QByteArray::number(5000 + 5 * i) + '\n';
                   return first + "XCB error: 8 (BadMatch), sequence: 5000 (" + QByteArray::number(40 - passing)
                          + " more like it)\n";
               }();
        // More lines said once each than it remembers must not make a count
        // start over.
        Steps between = repeated("A", 10, 0, 10) + repeated("A", 10, 300, 10);
        QByteArray betweenOut = lines("A", passing);
        for (int i = 0; i < 40; ++i) {
            const QByteArray once = "once " + QByteArray(1, char('a' + i % 26)) + QByteArray(1, char('a' + i / 26));
            between.append(Step{100 + i, once + '\n'});
            betweenOut += once + '\n';
        }
        std::stable_sort(between.begin(), between.end(), [](const Step& a, const Step& b) { return a.atMs < b.atMs; });
        QTest::newRow("lines said once in between")
            << between + ticks(400, 400 + quiet) << false
            << betweenOut + "A (" + QByteArray::number(20 - passing) + " more like it)\n";
        QTest::newRow("spacing repeated") << repeated("", 100, 0, 1) + ticks(200, 200 + quiet) << false
                                          << lines("", passing);
        QTest::newRow("cut anywhere") << Steps{{0, "Not sent: th"}, {1, "e device\nMes"}, {2, "sage: x\n"}} << false
                                      << QByteArray("Not sent: the device\nMessage: x\n");
        QTest::newRow("an unfinished line is not held")
            << Steps{{0, "prompt: "}, {100, {}}, {300, {}}, {400, "rest\nnext\n"}} << false
            << QByteArray("prompt: rest\nnext\n");
        const QByteArray longLine(1100, 'x');
        QTest::newRow("a long line always passes") << repeated(longLine, 20, 0, 1) << false << lines(longLine, 20);
        QTest::newRow("the end writes what is held")
            << repeated(overrun, 50, 0, 1) + Steps{{60, "tail"}} << true
            << lines(overrun, passing) + "tail" + overrun + " (" + QByteArray::number(50 - passing)
                   + " more like it)\n";
    }

    void filters()
    {
        QFETCH(Steps, steps);
        QFETCH(bool, finish);
        QFETCH(QByteArray, expected);
        QByteArray output;
        RepeatedLines filter(&collect, &output);
        for (const Step& step : steps) {
            if (step.bytes.isEmpty())
                filter.tick(step.atMs);
            else
                filter.feed(step.bytes.constData(), std::size_t(step.bytes.size()), step.atMs);
        }
        if (finish)
            filter.finish();
        QCOMPARE(output, expected);
    }
};

QTEST_APPLESS_MAIN(RepeatedLinesTest)
#include "tst_repeatedlines.moc"
