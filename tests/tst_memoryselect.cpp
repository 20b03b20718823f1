// The memory select dialog on its real form with the real hub: where a click counts, what each mode
// sends, the marks and the blink as device and user move them, reopening, and the device closing it.

#include "app/globals.h"
#include "core/minicore.h"
#include "support/accessibility.h"
#include "support/hubharness.h"
#include "support/tracecapture.h"
#include "ui/editwindow.h"
#include "ui/memoryselect.h"
#include "ui_editwindow.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <functional>

using Steps = std::function<void(MemorySelect*)>;
// memory: the current memory reported first, if any.
struct Marks { QString memory; Steps steps; int bank, number; bool flashing; int hubIndex; QStringList sent; };
struct Mode { int mode; QString title; bool okShown; QStringList clickFrames; int hubIndex; QStringList closeFrames; };
// button: the editor's, or none for a close with no dialog open.
struct Closing { QString button, title, closing; QStringList sent; int hubIndex; };
Q_DECLARE_METATYPE(Marks)
Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(Closing)

namespace {

// Centres of the letters and digits where the dialog is meant to draw them,
// and the red frame around one.
QPoint bankAt(int bank) { return QPoint(20 + 36 * (bank % 26) + 16, (bank < 26 ? 80 : 120) + 16); }
QPoint numberAt(int number) { return QPoint(310 + 36 * number + 16, 236); }
QRect markAround(const QPoint& centre) { return QRect(centre - QPoint(18, 18), QSize(36, 36)); }

void release(QWidget* dialog, const QPoint& position) { QTest::mouseClick(dialog, Qt::LeftButton, {}, position); }
void report(const QString& body) { HubHarness::deliver(deviceFrame(qPrintable(body))); }
// Clicks, then a report from the device if any.
Steps then(const QList<QPoint>& clicks, const char* body = nullptr)
{
    return [=](MemorySelect* d) {
        for (const QPoint& p : clicks)
            release(d, p);
        if (body)
            report(body);
    };
}

// True as soon as the square changes, false if it holds still for more than
// two ticks of the 500 ms timer.
bool flashes(const QLabel* square)
{
    const bool startHidden = square->isHidden();
    return QTest::qWaitFor([&] { return square->isHidden() != startHidden; }, 1200);
}

// Counts the dialog's timer ticks: time on a loaded machine would blur one tick.
struct TickCounter : QObject
{
    int ticks = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        ticks += event->type() == QEvent::Timer;
        return false;
    }
};

}  // namespace

class MemorySelectTest : public QObject
{
    Q_OBJECT

    // A dialog as the hub keeps it, shown without its modal loop.
    MemorySelect* open(int mode)
    {
        (g_memorySelect = new MemorySelect(mode))->show();
        return g_memorySelect;
    }
    const Ui::EditWindow& form() const { return harness->editWindow().widgets(); }
    QLabel* label(const char* name) const { return g_memorySelect->findChild<QLabel*>(name); }
    QPushButton* button(const char* name) const { return g_memorySelect->findChild<QPushButton*>(name); }
    QRect mark(const char* name) const { return label(name)->geometry(); }

    std::unique_ptr<TraceCapture> trace;
    std::unique_ptr<HubHarness> harness;

private slots:
    void init() { trace = std::make_unique<TraceCapture>(); harness = std::make_unique<HubHarness>(); }
    void cleanup() { delete std::exchange(g_memorySelect, nullptr); harness.reset(); trace.reset(); }

    void eachModeSends_data()
    {
        QTest::addColumn<Mode>("row");
        // Lower-row C is bank 28; the digit 5 is number 4: index 284.
        QTest::newRow("select") << Mode{0, "Memory Select", false, {"17 1C", "18 04", "05 02 1C"}, 284, {}};
        QTest::newRow("write") << Mode{1, "Memory Write", true, {"19 1C", "20 04"}, -1, {"21 00"}};
        QTest::newRow("other mode: clicks write, buttons select")
            << Mode{2, "Memory Write", false, {"19 1C", "20 04"}, -1, {}};
    }

    void eachModeSends()
    {
        QFETCH(Mode, row);
        auto [mode, title, okShown, clickFrames, hubIndexAfterClicks, closeFrames] = row;
        MemorySelect* const dialog = open(mode);
        QCOMPARE(label("labelWindowTitle")->text(), title);
        QCOMPARE(button("pushButtonOK")->isVisible(), okShown);
        release(dialog, bankAt(28));
        release(dialog, numberAt(4));
        QCOMPARE(trace->sentFrames(), deviceFrames(clickFrames));
        QCOMPARE(harness->hub().memoryIndex.load(), hubIndexAfterClicks);
        QCOMPARE(form().labelBank->text(), QString(mode == MemorySelect::kSelectMode ? "C" : "A"));
        if (okShown) {
            QTest::mouseClick(button("pushButtonOK"), Qt::LeftButton);
            clickFrames.append("06 02 1C");
            QCOMPARE(trace->sentFrames(), deviceFrames(clickFrames));
            QCOMPARE(harness->hub().memoryIndex.load(), 284);
            QVERIFY(dialog->isVisible());
        }
        QTest::mouseClick(button("pushButtonCancel"), Qt::LeftButton);
        QCOMPARE(trace->sentFrames(), deviceFrames(clickFrames + closeFrames));
        QVERIFY(!dialog->isVisible());
    }

    // Each row reports the current memory, opens the dialog in select mode
    // and takes its steps; the marks, the blink, what was sent and the hub's
    // memory follow.
    void marksAndBlink_data()
    {
        QTest::addColumn<Marks>("row");
        const QString c5 = QStringLiteral("05 02 1C");
        // A click counts only strictly inside a label: not on its border pixels, nor between labels.
        const QList<QPair<const char*, QPoint>> misses = {{"A, left column", {20, 96}}, {"A, right column", {51, 96}},
            {"A, top row", {36, 80}}, {"A, bottom row", {36, 111}}, {"gap between A and B", {54, 96}},
            {"gap between the letter rows", {36, 116}}, {"digit 1, left column", {310, 236}},
            {"digit 10, right column", {665, 236}}, {"gap between 1 and 2", {343, 236}}, {"title", {488, 20}}};
        for (const auto& [name, at] : misses)
            QTest::newRow(name) << Marks{{}, then({at}), 0, 0, true, -1, {}};
        QTest::newRow("just inside B") << Marks{{}, then({{57, 81}}), 1, 0, true, -1, {"17 01"}};
        QTest::newRow("just inside the lower Z") << Marks{{}, then({{950, 150}}), 51, 0, true, -1, {"17 33"}};
        QTest::newRow("just inside 10") << Marks{{}, then({{664, 250}}), 0, 9, false, 9, {"18 09", "05 00 09"}};
        QTest::newRow("none known") << Marks{{}, then({}), 0, 0, true, -1, {}};
        QTest::newRow("lower C, 5") << Marks{c5, then({}), 28, 4, false, 284, {}};
        QTest::newRow("last memory") << Marks{"05 04 07", then({}), 51, 9, false, 519, {}};
        QTest::newRow("index past the last memory") << Marks{"05 7F 7F", then({}), 0, 0, true, 16383, {}};
        QTest::newRow("another bank clicked") << Marks{c5, then({bankAt(0)}), 0, 4, true, 284, {"17 00"}};
        QTest::newRow("back to the confirmed bank")
            << Marks{c5, then({bankAt(0), bankAt(28)}), 28, 4, false, 284, {"17 00", "17 1C"}};
        QTest::newRow("number chosen")
            << Marks{c5, then({bankAt(0), numberAt(2)}), 0, 2, false, 2, {"17 00", "18 02", "05 00 02"}};
        QTest::newRow("device reports a bank") << Marks{c5, then({}, "17 05"), 5, 4, true, 284, {}};
        QTest::newRow("device reports a number") << Marks{c5, then({bankAt(0)}, "18 02"), 0, 2, false, 2, {"17 00"}};
        QTest::newRow("device reports the first number") << Marks{c5, then({}, "18 00"), 28, 0, false, 280, {}};
        QTest::newRow("write bank report of the confirmed bank") << Marks{c5, then({}, "19 1C"), 28, 4, true, 284, {}};
        // Reports of a bank or number that has no label move nothing.
        for (const char* body : {"17 34", "18 0A", "19 7F", "20 0A"})
            QTest::addRow("no label: %s", body) << Marks{c5, then({bankAt(3)}, body), 3, 4, true, 284, {"17 03"}};
    }

    void marksAndBlink()
    {
        QFETCH(Marks, row);
        if (!row.memory.isEmpty())
            report(row.memory);
        MemorySelect* const dialog = open(MemorySelect::kSelectMode);
        // The editor shows the dialog's choice.
        QCOMPARE(form().labelBank->text(), QString(QLatin1Char(Protocol::bankLetter(dialog->selectedBank()))));
        QCOMPARE(form().labelNumber->text(), QString::number(dialog->selectedNumber() + 1));
        row.steps(dialog);
        QCOMPARE(mark("labelBackBank"), markAround(bankAt(row.bank)));
        QCOMPARE(mark("labelBackNumber"), markAround(numberAt(row.number)));
        QVERIFY(dialog->selectedBank() == row.bank && dialog->selectedNumber() == row.number);
        QCOMPARE(trace->sentFrames(), deviceFrames(row.sent));
        QCOMPARE(harness->hub().memoryIndex.load(), row.hubIndex);
        QCOMPARE(flashes(label("labelBackNumber")), row.flashing);
        QVERIFY(row.flashing || !label("labelBackNumber")->isHidden());
        // A screen reader names every letter and digit, and what is marked.
        QCOMPARE(unnamedWidgets(dialog), QStringList());
        QVERIFY(accessibleText(label("labelBackBank"), QAccessible::Description)
                    .startsWith(QStringLiteral("Bank %1").arg(QLatin1Char(Protocol::bankLetter(row.bank)))));
    }

    void keptDialogReopensInTheNewMode()
    {
        QPointer<MemorySelect> first;
        bool visibleAfterEscape = false;
        QTimer::singleShot(0, [&] {  // the hub opens the dialog with exec(); this runs inside and ends it
            first = g_memorySelect;
            QTest::keyClick(g_memorySelect, Qt::Key_Escape);
            visibleAfterEscape = g_memorySelect->isVisible();
            release(g_memorySelect, bankAt(28));
            QTest::mouseClick(button("pushButtonCancel"), Qt::LeftButton);
        });
        emit harness->hub().openSignalOpenMemorySelectWindow(MemorySelect::kSelectMode);
        QVERIFY(visibleAfterEscape);
        QVERIFY(first && first == g_memorySelect && !first->isVisible());
        QCOMPARE(trace->sentFrames(), deviceFrames({"17 1C"}));

        emit harness->hub().openSignalOpenMemorySelectWindow(MemorySelect::kWriteMode);
        QCOMPARE(g_memorySelect, first.data());
        QCOMPARE(label("labelWindowTitle")->text(), QStringLiteral("Memory Write"));
        QVERIFY(button("pushButtonOK")->isVisible());
        QCOMPARE(mark("labelBackBank"), markAround(bankAt(28)));
        QCOMPARE(form().labelBank->text(), QStringLiteral("C"));
    }

    // The editor's buttons open the dialog in their mode, in the hub's modal
    // loop; the device ends it, accepting the choice or not.
    void deviceClosesTheDialog_data()
    {
        QTest::addColumn<Closing>("row");
        const QStringList write = {"1C 00", "19 00", "20 02"};
        QTest::newRow("write accepted") << Closing{"pushButtonWriteMem", "Memory Write", "1B 01", write, 2};
        QTest::newRow("write cancelled") << Closing{"pushButtonWriteMem", "Memory Write", "1B 00", write, 284};
        QTest::newRow("select closed")
            << Closing{"pushButtonSelectMem", "Memory Select", "1B 00", {"17 00", "18 02", "05 00 02"}, 2};
        QTest::newRow("accepted with no dialog") << Closing{{}, {}, "1B 01", {}, 284};
    }

    void deviceClosesTheDialog()
    {
        QFETCH(Closing, row);
        const auto& [button, title, closing, sent, hubIndex] = row;
        report("05 02 1C");
        QPointer<MemorySelect> dialog;
        QString shownTitle;
        bool modal = button.isEmpty();
        if (!button.isEmpty()) {
            QTimer::singleShot(0, [&] {
                dialog = g_memorySelect;
                modal = dialog->isModal() && dialog->isVisible();
                shownTitle = label("labelWindowTitle")->text();
                release(dialog, bankAt(0));
                release(dialog, numberAt(2));
                report(row.closing);
            });
            harness->editWindow().show();
            QTest::mouseClick(harness->editWindow().findChild<QPushButton*>(button), Qt::LeftButton);
            QVERIFY(modal && !g_memorySelect);
            QTRY_VERIFY(!dialog);
        } else {
            report(closing);
        }
        QCOMPARE(shownTitle, title);
        QCOMPARE(trace->sentFrames(), deviceFrames(sent));
        QCOMPARE(harness->hub().memoryIndex.load(), hubIndex);
        QVERIFY(harness->hub().bank == hubIndex / 10 && harness->hub().number == hubIndex % 10);
    }

    void completionPictureForFourTicks()
    {
        open(MemorySelect::kWriteMode);
        QLabel* const done = label("labelDone");
        QVERIFY(done->isHidden());
        TickCounter blink;
        g_memorySelect->installEventFilter(&blink);
        report("28");
        QVERIFY(!done->isHidden() && !form().labelDone->isHidden());
        QCOMPARE(g_memorySelect->children().constLast(), done);
        QTRY_VERIFY_WITH_TIMEOUT(done->isHidden(), 5000);
        QCOMPARE(blink.ticks, 4);
    }
};

QTEST_MAIN(MemorySelectTest)
#include "tst_memoryselect.moc"
