// The memory select dialog on its real form with the real hub: where a click
// counts, what each mode sends, the marks and the blink as the device and the
// user move them, the dialog kept between openings, and the device closing it.

#include "app/globals.h"
#include "core/minicore.h"
#include "support/accessibility.h"
#include "support/hubharness.h"
#include "support/tracecapture.h"
#include "ui/editwindow.h"
#include "ui/memoryselect.h"
#include "ui_editwindow.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <functional>

using Steps = std::function<void(MemorySelect*)>;
Q_DECLARE_METATYPE(Steps)

namespace {

// Centres of the letters and digits where the dialog is meant to draw them.
QPoint bankAt(int bank)
{
    return QPoint(20 + 36 * (bank % 26) + 16, (bank < 26 ? 80 : 120) + 16);
}

QPoint numberAt(int number)
{
    return QPoint(310 + 36 * number + 16, 236);
}

// The red frame around the label whose centre is given.
QRect markAround(const QPoint& centre)
{
    return QRect(centre - QPoint(18, 18), QSize(36, 36));
}

void release(QWidget* dialog, const QPoint& position)
{
    QTest::mouseClick(dialog, Qt::LeftButton, {}, position);
}

QList<QByteArray> frames(const QStringList& bodies)
{
    QList<QByteArray> result;
    for (const QString& body : bodies)
        result.append(deviceFrame(body.toLatin1().constData()));
    return result;
}

void report(const char* body)
{
    HubHarness::deliver(deviceFrame(body));
}

// True as soon as the square changes, false if it holds still for more than
// two ticks of the 500 ms timer.
bool flashes(const QLabel* square)
{
    const bool startHidden = square->isHidden();
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 1200) {
        QTest::qWait(40);
        if (square->isHidden() != startHidden)
            return true;
    }
    return false;
}

}  // namespace

class MemorySelectTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clickCountsOnlyStrictlyInside_data();
    void clickCountsOnlyStrictlyInside();
    void eachModeSends_data();
    void eachModeSends();
    void openingState_data();
    void openingState();
    void blinkFollowsTheConfirmedBank_data();
    void blinkFollowsTheConfirmedBank();
    void reportsWithoutALabelIgnored_data();
    void reportsWithoutALabelIgnored();
    void editorButtonsOpenTheirMode_data();
    void editorButtonsOpenTheirMode();
    void keptDialogReopensInTheNewMode();
    void deviceClosesTheDialog_data();
    void deviceClosesTheDialog();
    void completionPictureForFourTicks();

private:
    // A dialog as the hub keeps it, shown without its modal loop.
    MemorySelect* open(int mode)
    {
        g_memorySelect = new MemorySelect(mode);
        g_memorySelect->show();
        return g_memorySelect;
    }
    const Ui::EditWindow& form() const { return harness->editWindow().widgets(); }
    QLabel* label(const char* name) const { return g_memorySelect->findChild<QLabel*>(name); }
    QPushButton* button(const char* name) const { return g_memorySelect->findChild<QPushButton*>(name); }
    // The hub opens the dialog with exec(); steps run inside that loop and
    // must end it.
    static void whileModal(const std::function<void()>& steps) { QTimer::singleShot(0, steps); }

    std::unique_ptr<TraceCapture> trace;
    std::unique_ptr<HubHarness> harness;
};

void MemorySelectTest::init()
{
    trace = std::make_unique<TraceCapture>();
    harness = std::make_unique<HubHarness>();
}

void MemorySelectTest::cleanup()
{
    delete std::exchange(g_memorySelect, nullptr);
    harness.reset();
    trace.reset();
}

void MemorySelectTest::clickCountsOnlyStrictlyInside_data()
{
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QStringList>("sent");

    QTest::newRow("A, left column") << QPoint(20, 96) << QStringList();
    QTest::newRow("A, right column") << QPoint(51, 96) << QStringList();
    QTest::newRow("A, top row") << QPoint(36, 80) << QStringList();
    QTest::newRow("A, bottom row") << QPoint(36, 111) << QStringList();
    QTest::newRow("gap between A and B") << QPoint(54, 96) << QStringList();
    QTest::newRow("gap between the letter rows") << QPoint(36, 116) << QStringList();
    QTest::newRow("digit 1, left column") << QPoint(310, 236) << QStringList();
    QTest::newRow("digit 10, right column") << QPoint(665, 236) << QStringList();
    QTest::newRow("gap between 1 and 2") << QPoint(343, 236) << QStringList();
    QTest::newRow("title") << QPoint(488, 20) << QStringList();
    QTest::newRow("just inside B") << QPoint(57, 81) << QStringList{"17 01"};
    QTest::newRow("just inside the lower Z") << QPoint(950, 150) << QStringList{"17 33"};
    QTest::newRow("just inside 10") << QPoint(664, 250) << QStringList{"18 09", "05 00 09"};
}

void MemorySelectTest::clickCountsOnlyStrictlyInside()
{
    QFETCH(QPoint, position);
    QFETCH(QStringList, sent);

    MemorySelect* const dialog = open(MemorySelect::kSelectMode);
    const QRect bankMark = label("labelBackBank")->geometry();
    const QRect numberMark = label("labelBackNumber")->geometry();
    release(dialog, position);
    QCOMPARE(trace->sentFrames(), frames(sent));
    if (sent.isEmpty()) {
        QCOMPARE(label("labelBackBank")->geometry(), bankMark);
        QCOMPARE(label("labelBackNumber")->geometry(), numberMark);
    }
}

void MemorySelectTest::eachModeSends_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("clickFrames");
    QTest::addColumn<int>("hubIndexAfterClicks");
    QTest::addColumn<bool>("okShown");
    QTest::addColumn<QStringList>("closeFrames");

    // Lower-row C is bank 28; the digit 5 is number 4: index 284.
    QTest::newRow("select") << MemorySelect::kSelectMode << "Memory Select"
                            << QStringList{"17 1C", "18 04", "05 02 1C"} << 284 << false << QStringList();
    QTest::newRow("write") << MemorySelect::kWriteMode << "Memory Write" << QStringList{"19 1C", "20 04"} << -1
                           << true << QStringList{"21 00"};
    QTest::newRow("other mode: clicks write, buttons select")
        << 2 << "Memory Write" << QStringList{"19 1C", "20 04"} << -1 << false << QStringList();
}

void MemorySelectTest::eachModeSends()
{
    QFETCH(int, mode);
    QFETCH(QString, title);
    QFETCH(QStringList, clickFrames);
    QFETCH(int, hubIndexAfterClicks);
    QFETCH(bool, okShown);
    QFETCH(QStringList, closeFrames);

    MemorySelect* const dialog = open(mode);
    QCOMPARE(label("labelWindowTitle")->text(), title);
    QCOMPARE(button("pushButtonOK")->isVisible(), okShown);
    QCOMPARE(button("pushButtonCancel")->text(), QStringLiteral("Close"));

    release(dialog, bankAt(28));
    release(dialog, numberAt(4));
    QCOMPARE(trace->sentFrames(), frames(clickFrames));
    QCOMPARE(harness->hub().memoryIndex.load(), hubIndexAfterClicks);
    QCOMPARE(form().labelBank->text(), QString(mode == MemorySelect::kSelectMode ? "C" : "A"));

    if (okShown) {
        QTest::mouseClick(button("pushButtonOK"), Qt::LeftButton);
        QCOMPARE(trace->sentFrames().mid(clickFrames.size()), frames({"06 02 1C"}));
        QCOMPARE(harness->hub().memoryIndex.load(), 284);
        QVERIFY(dialog->isVisible());
        clickFrames.append("06 02 1C");
    }
    QTest::mouseClick(button("pushButtonCancel"), Qt::LeftButton);
    QCOMPARE(trace->sentFrames().mid(clickFrames.size()), frames(closeFrames));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(g_memorySelect, dialog);
}

void MemorySelectTest::openingState_data()
{
    QTest::addColumn<QString>("currentMemory");
    QTest::addColumn<int>("bank");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("editorBank");
    QTest::addColumn<QString>("editorNumber");
    QTest::addColumn<bool>("flashing");

    QTest::newRow("none known") << QString() << 0 << 0 << "A" << "1" << true;
    QTest::newRow("lower C, 5") << "05 02 1C" << 28 << 4 << "C" << "5" << false;
    QTest::newRow("last memory") << "05 04 07" << 51 << 9 << "Z" << "10" << false;
    QTest::newRow("index past the last memory") << "05 7F 7F" << 0 << 0 << "A" << "1" << true;
}

void MemorySelectTest::openingState()
{
    QFETCH(QString, currentMemory);
    QFETCH(int, bank);
    QFETCH(int, number);
    QFETCH(QString, editorBank);
    QFETCH(QString, editorNumber);
    QFETCH(bool, flashing);

    if (!currentMemory.isEmpty())
        report(currentMemory.toLatin1().constData());
    open(MemorySelect::kSelectMode);
    QCOMPARE(label("labelBackBank")->geometry(), markAround(bankAt(bank)));
    QCOMPARE(label("labelBackNumber")->geometry(), markAround(numberAt(number)));
    QCOMPARE(form().labelBank->text(), editorBank);
    QCOMPARE(form().labelNumber->text(), editorNumber);
    QCOMPARE(flashes(label("labelBackNumber")), flashing);
    QCOMPARE(trace->sentFrames(), QList<QByteArray>());
    // A screen reader names every letter and digit, and what is marked.
    QCOMPARE(unnamedWidgets(g_memorySelect), QStringList());
    QVERIFY(accessibleText(label("labelBackBank"), QAccessible::Description)
                .startsWith(QStringLiteral("Bank %1").arg(QLatin1Char(Protocol::bankLetter(bank)))));
}

void MemorySelectTest::blinkFollowsTheConfirmedBank_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<bool>("flashing");
    QTest::addColumn<int>("hubIndex");

    QTest::newRow("another bank clicked") << Steps([](MemorySelect* d) { release(d, bankAt(0)); }) << true << 284;
    QTest::newRow("back to the confirmed bank") << Steps([](MemorySelect* d) {
        release(d, bankAt(0));
        release(d, bankAt(28));
    }) << false << 284;
    QTest::newRow("number chosen") << Steps([](MemorySelect* d) {
        release(d, bankAt(0));
        release(d, numberAt(2));
    }) << false << 2;
    QTest::newRow("device reports a bank") << Steps([](MemorySelect*) { report("17 05"); }) << true << 284;
    QTest::newRow("device reports a number") << Steps([](MemorySelect* d) {
        release(d, bankAt(0));
        report("18 02");
    }) << false << 2;
    QTest::newRow("write bank report of the confirmed bank")
        << Steps([](MemorySelect*) { report("19 1C"); }) << true << 284;
}

void MemorySelectTest::blinkFollowsTheConfirmedBank()
{
    QFETCH(Steps, steps);
    QFETCH(bool, flashing);
    QFETCH(int, hubIndex);

    report("05 02 1C");
    steps(open(MemorySelect::kSelectMode));
    QCOMPARE(flashes(label("labelBackNumber")), flashing);
    if (!flashing)
        QVERIFY(!label("labelBackNumber")->isHidden());
    QCOMPARE(harness->hub().memoryIndex.load(), hubIndex);
}

void MemorySelectTest::reportsWithoutALabelIgnored_data()
{
    QTest::addColumn<QString>("body");

    QTest::newRow("bank 52") << "17 34";
    QTest::newRow("number 10") << "18 0A";
    QTest::newRow("write bank 127") << "19 7F";
    QTest::newRow("write number 10") << "20 0A";
}

void MemorySelectTest::reportsWithoutALabelIgnored()
{
    QFETCH(QString, body);

    report("05 02 1C");
    MemorySelect* const dialog = open(MemorySelect::kSelectMode);
    release(dialog, bankAt(3));
    const QRect bankMark = label("labelBackBank")->geometry();
    const QRect numberMark = label("labelBackNumber")->geometry();

    report(body.toLatin1().constData());
    QCOMPARE(label("labelBackBank")->geometry(), bankMark);
    QCOMPARE(label("labelBackNumber")->geometry(), numberMark);
    QCOMPARE(dialog->selectedBank(), 3);
    QCOMPARE(dialog->selectedNumber(), 4);
    QCOMPARE(harness->hub().memoryIndex.load(), 284);
}

void MemorySelectTest::editorButtonsOpenTheirMode_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("sent");

    QTest::newRow("Select Memory") << "pushButtonSelectMem" << "Memory Select" << QStringList();
    QTest::newRow("Write Memory") << "pushButtonWriteMem" << "Memory Write" << QStringList{"1C 00"};
}

void MemorySelectTest::editorButtonsOpenTheirMode()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, title);
    QFETCH(QStringList, sent);

    QString shownTitle;
    QList<QByteArray> sentOnOpening;
    bool modal = false;
    whileModal([&] {
        shownTitle = label("labelWindowTitle")->text();
        sentOnOpening = trace->sentFrames();
        modal = g_memorySelect->isModal() && g_memorySelect->isVisible();
        report("1B 00");
    });
    harness->editWindow().show();
    auto* const editorButton = harness->editWindow().findChild<QPushButton*>(buttonName);
    QTest::mouseClick(editorButton, Qt::LeftButton);
    QCOMPARE(shownTitle, title);
    QCOMPARE(sentOnOpening, frames(sent));
    QVERIFY(modal);
    QVERIFY(!g_memorySelect);
}

void MemorySelectTest::keptDialogReopensInTheNewMode()
{
    QPointer<MemorySelect> first;
    bool visibleAfterEscape = false;
    whileModal([&] {
        first = g_memorySelect;
        QTest::keyClick(g_memorySelect, Qt::Key_Escape);
        visibleAfterEscape = g_memorySelect->isVisible();
        release(g_memorySelect, bankAt(28));
        QTest::mouseClick(button("pushButtonCancel"), Qt::LeftButton);
    });
    emit harness->hub().openSignalOpenMemorySelectWindow(MemorySelect::kSelectMode);
    QVERIFY(visibleAfterEscape);
    QVERIFY(first && first == g_memorySelect);
    QVERIFY(!first->isVisible());
    QCOMPARE(trace->sentFrames(), frames({"17 1C"}));

    emit harness->hub().openSignalOpenMemorySelectWindow(MemorySelect::kWriteMode);
    QCOMPARE(g_memorySelect, first.data());
    QVERIFY(first->isVisible());
    QCOMPARE(label("labelWindowTitle")->text(), QStringLiteral("Memory Write"));
    QVERIFY(button("pushButtonOK")->isVisible());
    QCOMPARE(label("labelBackBank")->geometry(), markAround(bankAt(28)));
    QCOMPARE(form().labelBank->text(), QStringLiteral("C"));
}

void MemorySelectTest::deviceClosesTheDialog_data()
{
    QTest::addColumn<bool>("dialogOpen");
    QTest::addColumn<QString>("closing");
    QTest::addColumn<int>("hubIndex");

    QTest::newRow("accepted") << true << "1B 01" << 2;
    QTest::newRow("cancelled") << true << "1B 00" << 284;
    QTest::newRow("accepted with no dialog") << false << "1B 01" << 284;
}

void MemorySelectTest::deviceClosesTheDialog()
{
    QFETCH(bool, dialogOpen);
    QFETCH(QString, closing);
    QFETCH(int, hubIndex);

    report("05 02 1C");
    QPointer<MemorySelect> dialog;
    if (dialogOpen) {
        whileModal([&] {
            dialog = g_memorySelect;
            release(dialog, bankAt(0));
            release(dialog, numberAt(2));
            report(closing.toLatin1().constData());
        });
        emit harness->hub().openSignalOpenMemorySelectWindow(MemorySelect::kWriteMode);
        QVERIFY(!g_memorySelect);
        QTRY_VERIFY(!dialog);
    } else {
        report(closing.toLatin1().constData());
    }
    QCOMPARE(harness->hub().memoryIndex.load(), hubIndex);
    QCOMPARE(harness->hub().bank.load(), hubIndex / 10);
    QCOMPARE(harness->hub().number.load(), hubIndex % 10);
}

void MemorySelectTest::completionPictureForFourTicks()
{
    open(MemorySelect::kWriteMode);
    QLabel* const done = label("labelDone");
    QVERIFY(done->isHidden());
    report("28");
    QVERIFY(!done->isHidden());
    QCOMPARE(g_memorySelect->children().constLast(), done);
    QVERIFY(!form().labelDone->isHidden());
    QTest::qWait(1400);
    QVERIFY(!done->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(done->isHidden(), 800);
}

QTEST_MAIN(MemorySelectTest)
#include "tst_memoryselect.moc"
