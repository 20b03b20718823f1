// The front panel on the real window: key frames from mouse and keyboard, LEDs,
// displays, what a screen reader is told, dragging by the top bar, and Exit.

#include "backup/safetycopies.h"
#include "resources/artwork.h"
#include "support/accessibility.h"
#include "support/hubharness.h"
#include "support/tracecapture.h"
#include "ui/mainwindow.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A key event as X gives it: the key as the modifiers make it, the scan code, and
// the time, alike for a repeat's release and press. Type None is a pause.
struct KeyStep
{
    QEvent::Type type = QEvent::None;
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers = {};
    quint32 scanCode = 0;
    ulong time = 0;
    bool autoRepeat = false;
};

void sendKey(QWidget* window, const KeyStep& step)
{
    QKeyEvent event(step.type, step.key, step.modifiers, step.scanCode, 0, 0, QKeySequence(step.key).toString(),
                    step.autoRepeat);
    event.setTimestamp(step.time);
    QApplication::sendEvent(window, &event);
}

QImage icon(const char* path) { return QIcon(path).pixmap(60, 60).toImage(); }

}  // namespace

Q_DECLARE_METATYPE(KeyStep)

class MainWindowTest : public QObject
{
    Q_OBJECT

    template <class T = QPushButton> T* child(const QString& name) const { return window->findChild<T*>(name); }
    QString text(const char* name) const { return child<QLabel>(name)->text(); }
    QImage shown(const QString& name) const
    {
        if (auto* const button = child(name))
            return button->icon().pixmap(60, 60).toImage();
        return child<QLabel>(name)->pixmap(Qt::ReturnByValue).toImage();
    }

    std::unique_ptr<MainWindow> window;

private slots:
    void init()
    {
        window = std::make_unique<MainWindow>();
        window->move(100, 100);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void keyFrames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("computerKey");
        for (int i = 1; i <= 10; ++i)
            QTest::addRow("loop %d", i) << QStringLiteral("pushButton%1").arg(i) << i - 1 << Qt::Key_0 + i % 10;
        QTest::newRow("SW1") << "pushButtonSW1" << 10 << int(Qt::Key_S);
        QTest::newRow("SW2") << "pushButtonSW2" << 11 << int(Qt::Key_X);
        QTest::newRow("Menu") << "pushButtonMenu" << 12 << int(Qt::Key_M);
        QTest::newRow("Tap") << "pushButtonTap" << 13 << int(Qt::Key_T);
    }

    void keyFrames()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(int, computerKey);
        QPushButton* const keyButton = child(button);
        const QImage iconBefore = shown(button);
        const QString hex = QString::number(key, 16).rightJustified(2, QLatin1Char('0'));
        const QList<QByteArray> tap = deviceFrames({"01 " + hex, "00 " + hex});  // press, release

        TraceCapture trace;
        QTest::mousePress(keyButton, Qt::LeftButton);
        QCOMPARE(trace.sentFrames(), tap.mid(0, 1));
        QTest::mouseRelease(keyButton, Qt::LeftButton);
        QCOMPARE(shown(button), iconBefore);  // the LED changes only when the device reports it

        // The computer key, and the mouse on the same key meanwhile: the
        // device sees it held once, until the last lets go.
        const auto shortcut = static_cast<Qt::Key>(computerKey);
        QVERIFY(keyButton->toolTip().endsWith(QStringLiteral("key %1)").arg(QKeySequence(shortcut).toString())));
        sendKey(window.get(), {QEvent::KeyPress, shortcut, {}, 0, 100});
        QTest::mousePress(keyButton, Qt::LeftButton);
        sendKey(window.get(), {QEvent::KeyRelease, shortcut, {}, 0, 200});
        QTest::qWait(100);
        QCOMPARE(trace.sentFrames(), tap + tap.mid(0, 1));
        QTest::mouseRelease(keyButton, Qt::LeftButton);
        // A tap on the keyboard, then at once a click: two presses, in order.
        sendKey(window.get(), {QEvent::KeyPress, shortcut, {}, 0, 300});
        sendKey(window.get(), {QEvent::KeyRelease, shortcut, {}, 0, 350});
        QTest::mouseClick(keyButton, Qt::LeftButton);
        QCOMPARE(trace.sentFrames(), tap + tap + tap + tap);
    }

    void keyboardSequences_data()
    {
        QTest::addColumn<QList<KeyStep>>("steps");
        QTest::addColumn<QStringList>("sent");
        const auto row = [](const char* name, const QList<KeyStep>& steps, const QStringList& sent) {
            QTest::newRow(name) << steps << sent;
        };
        const auto down = QEvent::KeyPress;
        const auto up = QEvent::KeyRelease;
        row("held while the keyboard repeats", {{down, Qt::Key_3, {}, 12, 100}, {up, Qt::Key_3, {}, 12, 760, true},
            {down, Qt::Key_3, {}, 12, 760, true}, {up, Qt::Key_3, {}, 12, 900}}, {"01 02", "00 02"});
        row("a repeat Qt did not flag, its press late", {{down, Qt::Key_3, {}, 12, 100}, {up, Qt::Key_3, {}, 12, 760},
            {}, {down, Qt::Key_3, {}, 12, 760}, {}, {}}, {"01 02"});
        row("let go and pressed again at once", {{down, Qt::Key_T, {}, 28, 100}, {up, Qt::Key_T, {}, 28, 200},
            {down, Qt::Key_T, {}, 28, 210}, {up, Qt::Key_T, {}, 28, 300}}, {"01 0D", "00 0D", "01 0D", "00 0D"});
        row("quick taps of two keys do not overlap", {{down, Qt::Key_1, {}, 10, 100}, {up, Qt::Key_1, {}, 10, 150},
            {down, Qt::Key_2, {}, 11, 180}, {up, Qt::Key_2, {}, 11, 230}}, {"01 00", "00 00", "01 01", "00 01"});
        row("Shift pressed before the digit is let go", {{down, Qt::Key_3, {}, 12, 100},
            {down, Qt::Key_Shift, Qt::ShiftModifier, 50, 200}, {up, Qt::Key_NumberSign, Qt::ShiftModifier, 12, 300},
            {up, Qt::Key_Shift, Qt::ShiftModifier, 50, 400}}, {"01 02", "00 02"});
        row("Num Lock toggled while a keypad digit is held", {{down, Qt::Key_5, Qt::KeypadModifier, 84, 100},
            {down, Qt::Key_NumLock, {}, 77, 200}, {up, Qt::Key_NumLock, {}, 77, 250},
            {up, Qt::Key_Clear, Qt::KeypadModifier, 84, 300}}, {"01 04", "00 04"});
        row("Ctrl+S, Ctrl let go while S repeats", {{down, Qt::Key_Control, Qt::ControlModifier, 37, 100},
            {down, Qt::Key_S, Qt::ControlModifier, 39, 150}, {up, Qt::Key_Control, Qt::ControlModifier, 37, 300},
            {up, Qt::Key_S, {}, 39, 810}, {down, Qt::Key_S, {}, 39, 810}, {up, Qt::Key_S, {}, 39, 900}}, {});
    }

    void keyboardSequences()
    {
        QFETCH(QList<KeyStep>, steps);
        QFETCH(QStringList, sent);
        TraceCapture trace;
        for (const KeyStep& step : steps) {
            if (step.type == QEvent::None)
                QTest::qWait(30);  // what a busy machine takes to deliver the next event
            else
                sendKey(window.get(), step);
        }
        // Releases are sent once it is clear they are no repeat.
        QTest::qWait(150);
        QCOMPARE(trace.sentFrames(), deviceFrames(sent));
    }

    void keysOnlyWhileThePanelHasThem()
    {
        // Nothing on the panel takes the keyboard, so Space cannot press Exit.
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QSignalSpy exitClicked(child("pushButton"), &QPushButton::clicked);
        TraceCapture trace;
        QWidget* const target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A})
            QTest::keyClick(target, key);
        QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(exitClicked.count(), 0);
        // Keys are not played while a backup or restore holds them.
        window->setKeysEnabled(false);
        sendKey(window.get(), {QEvent::KeyPress, Qt::Key_1});
        sendKey(window.get(), {QEvent::KeyRelease, Qt::Key_1});
        QTest::qWait(100);
        QVERIFY(trace.sentFrames().isEmpty());
        window->setKeysEnabled(true);

        // A held key is let go when the panel is left.
        sendKey(window.get(), {QEvent::KeyPress, Qt::Key_T});
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(trace.sentFrames(), deviceFrames({"01 0D", "00 0D"}));
        // Still held when the panel is back: its repeats, flagged or not, and
        // its release send nothing more.
        other.close();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        sendKey(window.get(), {QEvent::KeyPress, Qt::Key_T, {}, 0, 700, true});
        sendKey(window.get(), {QEvent::KeyRelease, Qt::Key_T, {}, 0, 740});
        sendKey(window.get(), {QEvent::KeyPress, Qt::Key_T, {}, 0, 740});
        sendKey(window.get(), {QEvent::KeyRelease, Qt::Key_T, {}, 0, 900});
        QTest::qWait(100);
        QCOMPARE(trace.sentFrames().size(), 2);
    }

    // On X the Exit tip was painted black on the panel's black.
    void tipReadable()
    {
        QWidget* const exitButton = child("pushButton");
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), exitButton->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(exitButton, &help);
        QWidget* tip = nullptr;
        QTRY_VERIFY((tip = [] {
            for (QWidget* const widget : QApplication::topLevelWidgets())
                if (widget->inherits("QTipLabel") && widget->isVisible())
                    return widget;
            return static_cast<QWidget*>(nullptr);
        }()));
        const QImage image = tip->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int darkest = QColor(image.pixel(0, 0)).lightness(), lightest = darkest;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                std::tie(darkest, lightest) = std::minmax({darkest, lightest, QColor(image.pixel(x, y)).lightness()});
        QVERIFY2(lightest - darkest > 128, qPrintable(QStringLiteral("%1 to %2").arg(darkest).arg(lightest)));
    }

    void leds_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QImage>("on");
        QTest::addColumn<QImage>("off");
        const QImage red = icon(Artwork::kSwitchOnRed);
        const QImage lit = icon(Artwork::kSwitchOn);
        const QImage dark = icon(Artwork::kSwitchOff);
        const QImage ledOn = QPixmap(Artwork::kLedOn).toImage();
        const QImage ledOff = QPixmap(Artwork::kLedOff).toImage();
        QTest::newRow("loop 1") << 0 << "pushButton1" << red << dark;
        QTest::newRow("loop 10") << 9 << "pushButton10" << red << dark;
        QTest::newRow("SW1") << 10 << "pushButtonSW1" << lit << dark;
        QTest::newRow("Tap") << 13 << "pushButtonTap" << lit << dark;
        QTest::newRow("amp B") << 14 << "labelAmpB" << ledOn << ledOff;
        QTest::newRow("amp A") << 15 << "labelAmpA" << ledOn << ledOff;
        QTest::newRow("amp A above 15") << 0x7E << "labelAmpA" << ledOn << ledOff;
    }

    void leds()
    {
        QFETCH(int, index);
        QFETCH(QString, widget);
        QFETCH(QImage, on);
        QFETCH(QImage, off);
        window->ledOn(index);
        QCOMPARE(shown(widget), on);
        // A screen reader is told too.
        const QString lit = accessibleText(child<QWidget>(widget), QAccessible::Description);
        window->ledOff(index);
        QCOMPARE(shown(widget), off);
        QVERIFY(accessibleText(child<QWidget>(widget), QAccessible::Description) != lit);
    }

    void allLoopLeds()
    {
        window->ledOn(-1);  // no such LED: nothing changes, nothing breaks
        window->allLoopLedsOn();
        for (int i = 1; i <= 10; ++i)
            QCOMPARE(shown(QStringLiteral("pushButton%1").arg(i)), icon(Artwork::kSwitchOnRed));
        QCOMPARE(shown("pushButtonSW1"), icon(Artwork::kSwitchOff));
        window->allLoopLedsOff();
        QCOMPARE(shown("pushButton10"), icon(Artwork::kSwitchOff));
    }

    void displays()
    {
        QCOMPARE(unnamedWidgets(window.get()), QStringList());
        QCOMPARE(QStringList({text("labelBank"), text("labelNumber"), text("labelName"), text("labelVersion")}),
                 QStringList({"S", "B", "Fernwick Zandorium", "Editor version: 1.0.2"}));
        auto* const bank = child<QLabel>("labelBank");
        window->displayBank("Q", 1);
        QCOMPARE(bank->text(), QStringLiteral("Q"));
        QCOMPARE(accessibleText(bank, QAccessible::Description), QStringLiteral("Q"));
        QCOMPARE(bank->styleSheet(), QStringLiteral("background-color: rgb(200, 200, 200);\ncolor: rgb(0, 0, 0);"));
        window->displayBank("C", 0);
        QCOMPARE(bank->styleSheet(), QStringLiteral("background-color: rgb(55, 55, 55);\ncolor: rgb(255, 255, 255);"));
        window->displayBank(nullptr, 0);
        QCOMPARE(bank->text(), QString());
        window->displayNumber("10");
        QCOMPARE(text("labelNumber"), QStringLiteral("10"));
        window->displayName("Cr\xC3\xA8me Lead");
        QCOMPARE(text("labelName"), QString::fromUtf8("Crème Lead"));
        QVERIFY(accessibleText(child<QLabel>("labelName"), QAccessible::Description).contains("Crème"));
    }

    void drag_data()
    {
        QTest::addColumn<int>("pressY");
        QTest::addColumn<bool>("pressSeen");
        QTest::addColumn<bool>("moves");
        QTest::newRow("top row") << 0 << true << true;
        QTest::newRow("last bar row") << 19 << true << true;
        QTest::newRow("just below the bar") << 20 << true << false;
        // A child took the press but passed its moves on.
        QTest::newRow("press taken by a child") << 300 << false << false;
    }

    void drag()
    {
        QFETCH(int, pressY);
        QFETCH(bool, pressSeen);
        QFETCH(bool, moves);
        auto* const bar = child<QLabel>("label");
        const QPoint start = window->pos();
        const QPoint pressAt(600, pressY);
        const auto mouse = [this](QEvent::Type type, const QPoint& at, Qt::MouseButtons held) {
            QMouseEvent event(type, at, window->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &event);
        };
        if (pressSeen)
            mouse(QEvent::MouseButtonPress, pressAt, Qt::LeftButton);
        QCOMPARE(bar->cursor().shape(), moves ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
        mouse(QEvent::MouseMove, pressAt + QPoint(40, 25), Qt::LeftButton);
        QCOMPARE(window->pos(), moves ? start + QPoint(40, 25) : start);
        mouse(QEvent::MouseButtonRelease, pressAt, Qt::NoButton);
        QCOMPARE(bar->cursor().shape(), Qt::OpenHandCursor);
    }

    // Exit with a key held lets go of it first.
    // The right-click menu, out of the panel's black, opens each window; a key
    // the mouse holds is let go first, as the menu takes the mouse.
    void menu()
    {
        TraceCapture trace;
        QTest::mousePress(child("pushButton1"), Qt::LeftButton);
        emit window->customContextMenuRequested(QPoint(1100, 38));
        QCOMPARE(trace.sentFrames(), (QList<QByteArray>{deviceFrame("01 00"), deviceFrame("00 00")}));
        QMenu* menu = nullptr;
        for (QWidget* const shown : QApplication::topLevelWidgets())
            menu = shown->isVisible() && qobject_cast<QMenu*>(shown) ? qobject_cast<QMenu*>(shown) : menu;
        QVERIFY(menu && !menu->parent());
        QStringList offered, opened;
        for (QAction* const action : menu->actions()) {
            offered.append(action->text() + ' ' + action->shortcut().toString());
            action->trigger();
            for (QWidget* const shown : QApplication::topLevelWidgets()) {
                if (!shown->isVisible() || shown == window.get() || shown == menu)
                    continue;
                const auto* const box = qobject_cast<QMessageBox*>(shown);
                opened.append(box ? box->text() : shown->windowTitle());
                shown->close();
            }
        }
        menu->close();
        QCOMPARE(offered, (QStringList{"MIDI Log Ctrl+L", "Backups Ctrl+B", "About "}));
        QCOMPARE(opened.mid(0, 2), (QStringList{"MIDI Log", "Backups"}));
        const QString about = opened.value(2);
        QVERIFY2(opened.size() == 3 && about.startsWith("Zandorium Uploader 1.0.2\n")
                     && about.contains("GNU General Public License")
                     && about.contains(qEnvironmentVariable("XDG_CONFIG_HOME") + "/zandorium\n")
                     && about.contains(QFileInfo(SafetyCopies::folderPath()).path()),
                 qPrintable(opened.join('|')));
    }

    void exitQuits()
    {
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        TraceCapture trace;
        sendKey(window.get(), {QEvent::KeyPress, Qt::Key_6});
        QTimer::singleShot(0, this, [this] { QTest::mouseClick(child("pushButton"), Qt::LeftButton); });
        QTimer::singleShot(5000, this, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(trace.sentFrames(), deviceFrames({"01 05", "00 05"}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
