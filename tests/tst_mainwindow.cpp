// The front panel on the real window: key frames at press and at release,
// from the mouse and from the computer keyboard, LEDs, displays, what a
// screen reader is told, dragging by the top bar, and Exit.

#include "resources/artwork.h"
#include "support/accessibility.h"
#include "support/tracecapture.h"
#include "ui/mainwindow.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

QImage iconImage(const QPushButton* button)
{
    return button->icon().pixmap(60, 60).toImage();
}

QImage resourceIconImage(const char* path)
{
    return QIcon(path).pixmap(60, 60).toImage();
}

QImage labelImage(const QLabel* label)
{
    return label->pixmap(Qt::ReturnByValue).toImage();
}

// A computer key's event as X gives it: the key as the modifiers make it,
// the physical key's scan code, and the time, alike for a repeat's release
// and press.
struct KeyStep
{
    KeyStep(QEvent::Type type = QEvent::None, Qt::Key key = Qt::Key_unknown, Qt::KeyboardModifiers modifiers = {},
            quint32 scanCode = 0, ulong time = 0, bool autoRepeat = false)
        : type(type), key(key), modifiers(modifiers), scanCode(scanCode), time(time), autoRepeat(autoRepeat)
    {
    }

    QEvent::Type type;  // None: a pause
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    quint32 scanCode;
    ulong time;
    bool autoRepeat;
};
const KeyStep wait;

void sendKey(QWidget* window, const KeyStep& step)
{
    QKeyEvent event(step.type, step.key, step.modifiers, step.scanCode, 0, 0, QKeySequence(step.key).toString(),
                    step.autoRepeat);
    event.setTimestamp(step.time);
    QApplication::sendEvent(window, &event);
}

void sendMouse(QWidget* window, QEvent::Type type, const QPoint& local, Qt::MouseButtons held)
{
    QMouseEvent event(type, local, window->mapToGlobal(local), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

}  // namespace

Q_DECLARE_METATYPE(KeyStep)

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startState();
    void keyFrames_data();
    void keyFrames();
    void keyboardSequences_data();
    void keyboardSequences();
    void otherKeysSendNothing();
    void heldKeyReleasedWhenThePanelIsLeft();
    void screenReaderNamesEverything();
    void tipReadable();
    void leds_data();
    void leds();
    void allLoopLeds();
    void displays();
    void drag_data();
    void drag();
    void exitQuits();

private:
    template <class T>
    T* child(const char* name) const
    {
        T* const found = window->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    std::unique_ptr<MainWindow> window;
};

void MainWindowTest::init()
{
    window = std::make_unique<MainWindow>();
    window->move(100, 100);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void MainWindowTest::cleanup()
{
    window.reset();
}

void MainWindowTest::startState()
{
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(child<QLabel>("labelBank")->text(), QStringLiteral("S"));
    QCOMPARE(child<QLabel>("labelNumber")->text(), QStringLiteral("B"));
    QCOMPARE(child<QLabel>("labelName")->text(), QStringLiteral("Fernwick Zandorium"));
    QCOMPARE(child<QLabel>("labelVersion")->text(), QStringLiteral("Editor version: 1.0.2"));
    QCOMPARE(labelImage(child<QLabel>("labelAmpA")), QPixmap(Artwork::kLedOn).toImage());
    QCOMPARE(labelImage(child<QLabel>("labelAmpB")), QPixmap(Artwork::kLedOff).toImage());
}

void MainWindowTest::keyFrames_data()
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

void MainWindowTest::keyFrames()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    auto* const keyButton = child<QPushButton>(button.toLatin1().constData());
    const QImage iconBefore = iconImage(keyButton);
    QByteArray press = hexBytes("F0 7E 10 07 02 01 00 F7");
    QByteArray release = hexBytes("F0 7E 10 07 02 00 00 F7");
    press[6] = static_cast<char>(key);
    release[6] = static_cast<char>(key);

    TraceCapture trace;
    QTest::mousePress(keyButton, Qt::LeftButton);
    QCOMPARE(trace.sentFrames(), QList<QByteArray>{press});
    QTest::mouseRelease(keyButton, Qt::LeftButton);
    QCOMPARE(trace.sentFrames(), (QList<QByteArray>{press, release}));
    // The LED changes only when the device reports it.
    QCOMPARE(iconImage(keyButton), iconBefore);

    // The computer key, and the mouse on the same key meanwhile: the device
    // sees it held once, until the last lets go.
    QFETCH(int, computerKey);
    const auto shortcut = static_cast<Qt::Key>(computerKey);
    QVERIFY(keyButton->toolTip().endsWith(QStringLiteral("key %1)").arg(QKeySequence(shortcut).toString())));
    sendKey(window.get(), {QEvent::KeyPress, shortcut, {}, 0, 100});
    QTest::mousePress(keyButton, Qt::LeftButton);
    sendKey(window.get(), {QEvent::KeyRelease, shortcut, {}, 0, 200});
    QTest::qWait(100);
    QCOMPARE(trace.sentFrames(), (QList<QByteArray>{press, release, press}));
    QTest::mouseRelease(keyButton, Qt::LeftButton);
    QCOMPARE(trace.sentFrames(), (QList<QByteArray>{press, release, press, release}));
    // A tap on the keyboard, then at once a click: two presses, in order.
    sendKey(window.get(), {QEvent::KeyPress, shortcut, {}, 0, 300});
    sendKey(window.get(), {QEvent::KeyRelease, shortcut, {}, 0, 350});
    QTest::mouseClick(keyButton, Qt::LeftButton);
    QCOMPARE(trace.sentFrames().mid(4), (QList<QByteArray>{press, release, press, release}));
}

void MainWindowTest::keyboardSequences_data()
{
    QTest::addColumn<QList<KeyStep>>("steps");
    QTest::addColumn<QStringList>("sent");
    using T = QEvent::Type;
    const T down = QEvent::KeyPress;
    const T up = QEvent::KeyRelease;
    const auto shift = Qt::ShiftModifier;
    const auto ctrl = Qt::ControlModifier;
    const auto keypad = Qt::KeypadModifier;

    QTest::newRow("held while the keyboard repeats")
        << QList<KeyStep>{{down, Qt::Key_3, {}, 12, 100}, {up, Qt::Key_3, {}, 12, 760, true},
                          {down, Qt::Key_3, {}, 12, 760, true}, {up, Qt::Key_3, {}, 12, 900}}
        << QStringList{"01 02", "00 02"};
    QTest::newRow("a repeat Qt did not flag, its press late")
        << QList<KeyStep>{{down, Qt::Key_3, {}, 12, 100}, {up, Qt::Key_3, {}, 12, 760}, {wait},
                          {down, Qt::Key_3, {}, 12, 760}, {wait}, {wait}}
        << QStringList{"01 02"};
    QTest::newRow("let go and pressed again at once")
        << QList<KeyStep>{{down, Qt::Key_T, {}, 28, 100}, {up, Qt::Key_T, {}, 28, 200},
                          {down, Qt::Key_T, {}, 28, 210}, {up, Qt::Key_T, {}, 28, 300}}
        << QStringList{"01 0D", "00 0D", "01 0D", "00 0D"};
    QTest::newRow("quick taps of two keys do not overlap")
        << QList<KeyStep>{{down, Qt::Key_1, {}, 10, 100}, {up, Qt::Key_1, {}, 10, 150},
                          {down, Qt::Key_2, {}, 11, 180}, {up, Qt::Key_2, {}, 11, 230}}
        << QStringList{"01 00", "00 00", "01 01", "00 01"};
    QTest::newRow("Shift pressed before the digit is let go")
        << QList<KeyStep>{{down, Qt::Key_3, {}, 12, 100}, {down, Qt::Key_Shift, shift, 50, 200},
                          {up, Qt::Key_NumberSign, shift, 12, 300}, {up, Qt::Key_Shift, shift, 50, 400}}
        << QStringList{"01 02", "00 02"};
    QTest::newRow("Num Lock toggled while a keypad digit is held")
        << QList<KeyStep>{{down, Qt::Key_5, keypad, 84, 100}, {down, Qt::Key_NumLock, {}, 77, 200},
                          {up, Qt::Key_NumLock, {}, 77, 250}, {up, Qt::Key_Clear, keypad, 84, 300}}
        << QStringList{"01 04", "00 04"};
    QTest::newRow("Ctrl+S, Ctrl let go while S repeats")
        << QList<KeyStep>{{down, Qt::Key_Control, ctrl, 37, 100}, {down, Qt::Key_S, ctrl, 39, 150},
                          {up, Qt::Key_Control, ctrl, 37, 300}, {up, Qt::Key_S, {}, 39, 810},
                          {down, Qt::Key_S, {}, 39, 810}, {up, Qt::Key_S, {}, 39, 900}}
        << QStringList();
}

void MainWindowTest::keyboardSequences()
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
    QList<QByteArray> expected;
    for (const QString& body : sent)
        expected.append(hexBytes(qPrintable("F0 7E 10 07 02 " + body + " F7")));
    // Releases are sent once it is clear they are no repeat.
    QTest::qWait(150);
    QCOMPARE(trace.sentFrames(), expected);
}

void MainWindowTest::otherKeysSendNothing()
{
    // Nothing on the panel takes the keyboard, so Space cannot press Exit.
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QSignalSpy exitClicked(child<QPushButton>("pushButton"), &QPushButton::clicked);
    TraceCapture trace;
    QWidget* const target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A})
        QTest::keyClick(target, key);
    QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(exitClicked.count(), 0);
    QVERIFY(trace.sentFrames().isEmpty());
    // Keys are not played while a backup or restore holds them.
    window->setKeysEnabled(false);
    sendKey(window.get(), {QEvent::KeyPress, Qt::Key_1});
    sendKey(window.get(), {QEvent::KeyRelease, Qt::Key_1});
    QTest::qWait(100);
    QVERIFY(trace.sentFrames().isEmpty());
}

void MainWindowTest::heldKeyReleasedWhenThePanelIsLeft()
{
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    TraceCapture trace;
    sendKey(window.get(), {QEvent::KeyPress, Qt::Key_T});
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(trace.sentFrames(), (QList<QByteArray>{hexBytes("F0 7E 10 07 02 01 0D F7"),
                                                     hexBytes("F0 7E 10 07 02 00 0D F7")}));
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

    // Exit with a key held lets go of it first.
    sendKey(window.get(), {QEvent::KeyPress, Qt::Key_6});
    QTest::mouseClick(child<QPushButton>("pushButton"), Qt::LeftButton);
    QCOMPARE(trace.sentFrames().mid(2), (QList<QByteArray>{hexBytes("F0 7E 10 07 02 01 05 F7"),
                                                            hexBytes("F0 7E 10 07 02 00 05 F7")}));
}

void MainWindowTest::screenReaderNamesEverything()
{
    QCOMPARE(unnamedWidgets(window.get()), QStringList());
    // LEDs and displays say what they show.
    auto* const loop4 = child<QPushButton>("pushButton4");
    auto* const ampB = child<QLabel>("labelAmpB");
    window->ledOn(3);
    window->ledOn(Protocol::kLedAmpB);
    const QString loopLit = accessibleText(loop4, QAccessible::Description);
    const QString ampLit = accessibleText(ampB, QAccessible::Description);
    window->ledOff(3);
    window->ledOff(Protocol::kLedAmpB);
    QVERIFY(accessibleText(loop4, QAccessible::Description) != loopLit);
    QVERIFY(accessibleText(ampB, QAccessible::Description) != ampLit);
    window->displayBank("Q", 1);
    window->displayName("Crunch");
    QVERIFY(accessibleText(child<QLabel>("labelBank"), QAccessible::Description).contains('Q'));
    QVERIFY(accessibleText(child<QLabel>("labelName"), QAccessible::Description).contains("Crunch"));
}

// On X the Exit tip was painted black on the panel's black.
void MainWindowTest::tipReadable()
{
    auto* const exitButton = child<QPushButton>("pushButton");
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
    int darkest = 255;
    int lightest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int lightness = QColor(image.pixel(x, y)).lightness();
            darkest = std::min(darkest, lightness);
            lightest = std::max(lightest, lightness);
        }
    }
    QVERIFY2(lightest - darkest > 128, qPrintable(QStringLiteral("%1 to %2").arg(darkest).arg(lightest)));
}

void MainWindowTest::leds_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QImage>("on");
    QTest::addColumn<QImage>("off");
    const QImage red = resourceIconImage(Artwork::kSwitchOnRed);
    const QImage lit = resourceIconImage(Artwork::kSwitchOn);
    const QImage dark = resourceIconImage(Artwork::kSwitchOff);
    const QImage ledOn = QPixmap(Artwork::kLedOn).toImage();
    const QImage ledOff = QPixmap(Artwork::kLedOff).toImage();
    QTest::newRow("loop 1") << 0 << "pushButton1" << red << dark;
    QTest::newRow("loop 4") << 3 << "pushButton4" << red << dark;
    QTest::newRow("loop 10") << 9 << "pushButton10" << red << dark;
    QTest::newRow("SW1") << 10 << "pushButtonSW1" << lit << dark;
    QTest::newRow("Menu") << 12 << "pushButtonMenu" << lit << dark;
    QTest::newRow("Tap") << 13 << "pushButtonTap" << lit << dark;
    QTest::newRow("amp B") << 14 << "labelAmpB" << ledOn << ledOff;
    QTest::newRow("amp A") << 15 << "labelAmpA" << ledOn << ledOff;
    QTest::newRow("amp A above 15") << 0x7E << "labelAmpA" << ledOn << ledOff;
}

void MainWindowTest::leds()
{
    QFETCH(int, index);
    QFETCH(QString, widget);
    QFETCH(QImage, on);
    QFETCH(QImage, off);
    auto shown = [&] {
        if (auto* const button = window->findChild<QPushButton*>(widget))
            return iconImage(button);
        return labelImage(window->findChild<QLabel*>(widget));
    };
    window->ledOff(index);
    QCOMPARE(shown(), off);
    window->ledOn(index);
    QCOMPARE(shown(), on);
    window->ledOff(index);
    QCOMPARE(shown(), off);
}

void MainWindowTest::allLoopLeds()
{
    window->ledOn(-1);  // no such LED: nothing changes, nothing breaks
    window->allLoopLedsOn();
    for (int i = 1; i <= 10; ++i)
        QCOMPARE(iconImage(child<QPushButton>(qPrintable(QStringLiteral("pushButton%1").arg(i)))),
                 resourceIconImage(Artwork::kSwitchOnRed));
    QCOMPARE(iconImage(child<QPushButton>("pushButtonSW1")), resourceIconImage(Artwork::kSwitchOff));
    window->allLoopLedsOff();
    QCOMPARE(iconImage(child<QPushButton>("pushButton10")), resourceIconImage(Artwork::kSwitchOff));
}

void MainWindowTest::displays()
{
    auto* const bank = child<QLabel>("labelBank");
    window->displayBank("Q", 1);
    QCOMPARE(bank->text(), QStringLiteral("Q"));
    QCOMPARE(bank->styleSheet(), QStringLiteral("background-color: rgb(200, 200, 200);\ncolor: rgb(0, 0, 0);"));
    window->displayBank("C", 0);
    QCOMPARE(bank->styleSheet(), QStringLiteral("background-color: rgb(55, 55, 55);\ncolor: rgb(255, 255, 255);"));
    window->displayBank(nullptr, 0);
    QCOMPARE(bank->text(), QString());

    const QString numberStyle = child<QLabel>("labelNumber")->styleSheet();
    window->displayNumber("10");
    QCOMPARE(child<QLabel>("labelNumber")->text(), QStringLiteral("10"));
    QCOMPARE(child<QLabel>("labelNumber")->styleSheet(), numberStyle);
    window->displayName("Cr\xC3\xA8me Lead");
    QCOMPARE(child<QLabel>("labelName")->text(), QString::fromUtf8("Crème Lead"));
}

void MainWindowTest::drag_data()
{
    QTest::addColumn<int>("pressY");
    QTest::addColumn<bool>("pressSeen");
    QTest::addColumn<bool>("moves");
    QTest::newRow("top row") << 0 << true << true;
    QTest::newRow("last bar row") << 19 << true << true;
    QTest::newRow("just below the bar") << 20 << true << false;
    QTest::newRow("panel") << 300 << true << false;
    // A child took the press but passed its moves on.
    QTest::newRow("press taken by a child") << 300 << false << false;
}

void MainWindowTest::drag()
{
    QFETCH(int, pressY);
    QFETCH(bool, pressSeen);
    QFETCH(bool, moves);
    auto* const bar = child<QLabel>("label");
    const QPoint start = window->pos();
    const QPoint pressAt(600, pressY);

    if (pressSeen)
        sendMouse(window.get(), QEvent::MouseButtonPress, pressAt, Qt::LeftButton);
    QCOMPARE(bar->cursor().shape(), moves ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    sendMouse(window.get(), QEvent::MouseMove, pressAt + QPoint(40, 25), Qt::LeftButton);
    QCOMPARE(window->pos(), moves ? start + QPoint(40, 25) : start);
    sendMouse(window.get(), QEvent::MouseButtonRelease, pressAt, Qt::NoButton);
    QCOMPARE(bar->cursor().shape(), Qt::OpenHandCursor);
}

void MainWindowTest::exitQuits()
{
    bool timedOut = false;
    QTimer::singleShot(0, this, [this] { QTest::mouseClick(child<QPushButton>("pushButton"), Qt::LeftButton); });
    QTimer::singleShot(5000, this, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!timedOut);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
