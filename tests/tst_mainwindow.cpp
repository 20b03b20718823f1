// The front panel on the real window: key frames at press and at release,
// LEDs, displays, dragging by the top bar, and Exit.

#include "resources/artwork.h"
#include "support/tracecapture.h"
#include "ui/mainwindow.h"

#include <QLabel>
#include <QPushButton>
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

void sendMouse(QWidget* window, QEvent::Type type, const QPoint& local, Qt::MouseButtons held)
{
    QMouseEvent event(type, local, window->mapToGlobal(local), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

}  // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startState();
    void keyFrames_data();
    void keyFrames();
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
    for (int i = 1; i <= 10; ++i)
        QTest::addRow("loop %d", i) << QStringLiteral("pushButton%1").arg(i) << i - 1;
    QTest::newRow("SW1") << "pushButtonSW1" << 10;
    QTest::newRow("SW2") << "pushButtonSW2" << 11;
    QTest::newRow("Menu") << "pushButtonMenu" << 12;
    QTest::newRow("Tap") << "pushButtonTap" << 13;
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
    QTest::addColumn<bool>("moves");
    QTest::newRow("top row") << 0 << true;
    QTest::newRow("last bar row") << 19 << true;
    QTest::newRow("just below the bar") << 20 << false;
    QTest::newRow("panel") << 300 << false;
}

void MainWindowTest::drag()
{
    QFETCH(int, pressY);
    QFETCH(bool, moves);
    auto* const bar = child<QLabel>("label");
    const QPoint start = window->pos();
    const QPoint pressAt(600, pressY);

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
