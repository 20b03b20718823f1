#include "ui/mainwindow.h"

#include "app/globals.h"
#include "protocol/commandsender.h"
#include "protocol/protocol.h"
#include "resources/artwork.h"
#include "ui/displaystyle.h"
#include "ui/panelkeyboard.h"
#include "ui/readablestyle.h"
#include "ui/windowactions.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>

namespace {

QString keyName(int keyIndex)
{
    static const QStringList kSwitchNames = {QStringLiteral("SW1"), QStringLiteral("SW2"), QStringLiteral("MENU"),
                                             QStringLiteral("TAP")};
    return keyIndex < Protocol::kLoopKeyCount ? QStringLiteral("Loop %1").arg(keyIndex + 1)
                                              : kSwitchNames.at(keyIndex - Protocol::kLoopKeyCount);
}

QString ledState(bool on)
{
    return on ? QStringLiteral("LED on") : QStringLiteral("LED off");
}

QString fromDeviceText(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      keyboard([this](int key) { holdKey(key, HeldBy::Keyboard); },
               [this](int key) { letGoKey(key, HeldBy::Keyboard); })
{
    Artwork::registerResources();
    ui->setupUi(this);
    // An empty menu bar would push the drag bar below the rows that drag.
    ui->menuBar->hide();

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    // The hint alone leaves the status bar's grip working, and the panel has
    // no frame to put a shrunk window right again.
    ui->statusBar->setSizeGripEnabled(false);
    setFixedSize(size());

    iconLoopOn = QIcon(Artwork::kSwitchOnRed);
    iconSwitchOn = QIcon(Artwork::kSwitchOn);
    iconOff = QIcon(Artwork::kSwitchOff);

    keyButtons = {ui->pushButton1, ui->pushButton2,   ui->pushButton3,   ui->pushButton4,
                  ui->pushButton5, ui->pushButton6,   ui->pushButton7,   ui->pushButton8,
                  ui->pushButton9, ui->pushButton10,  ui->pushButtonSW1, ui->pushButtonSW2,
                  ui->pushButtonMenu, ui->pushButtonTap};

    describeForAccessibility();
    addWindowActions(*this);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &MainWindow::showMenu);
    ui->labelVersion->setText(QStringLiteral("Editor version: " ZANDORIUM_VERSION));
    displayBank("S", 0);
    displayNumber("B");
    displayName("Fernwick Zandorium");

    ReadableStyle::applyTo(this);
    g_mainWindow = this;
}

MainWindow::~MainWindow() = default;

void MainWindow::describeForAccessibility()
{
    for (int i = 0; i < Protocol::kKeyCount; ++i) {
        const QString name = keyName(i);
        keyButtons[i]->setAccessibleName(name + QStringLiteral(" key"));
        keyButtons[i]->setAccessibleDescription(ledState(false));
        keyButtons[i]->setToolTip(
            QStringLiteral("%1 (computer key %2)").arg(name, QKeySequence(PanelKeyboard::shortcutOf(i)).toString()));
    }
    ui->pushButton->setAccessibleName(QStringLiteral("Exit"));
    ui->label->setAccessibleName(QStringLiteral("Drag bar"));
    ui->labelImmagineSfondo->setAccessibleName(QStringLiteral("Front panel"));
    ui->labelAmpA->setAccessibleName(QStringLiteral("Amplifier A LED"));
    ui->labelAmpA->setAccessibleDescription(ledState(true));
    ui->labelAmpB->setAccessibleName(QStringLiteral("Amplifier B LED"));
    ui->labelAmpB->setAccessibleDescription(ledState(false));
    ui->labelBank->setAccessibleName(QStringLiteral("Bank display"));
    ui->labelNumber->setAccessibleName(QStringLiteral("Number display"));
    ui->labelName->setAccessibleName(QStringLiteral("Memory name display"));
    ui->labelConnection->setAccessibleName(QStringLiteral("Connection state"));
}

void MainWindow::displayBank(const char* text, int highlighted)
{
    ui->labelBank->setStyleSheet(highlighted ? DisplayStyle::kLight : DisplayStyle::kDark);
    ui->labelBank->setText(fromDeviceText(text));
    ui->labelBank->setAccessibleDescription(ui->labelBank->text());
}

void MainWindow::displayNumber(const char* text)
{
    ui->labelNumber->setText(fromDeviceText(text));
    ui->labelNumber->setAccessibleDescription(ui->labelNumber->text());
}

void MainWindow::displayName(const char* text)
{
    ui->labelName->setText(fromDeviceText(text));
    ui->labelName->setAccessibleDescription(ui->labelName->text());
}

void MainWindow::showDeviceLost(const QString& portName)
{
    // The name is cut to fit its line: a long one would wrap out of the box.
    QLabel* const box = ui->labelConnection;
    box->ensurePolished();
    const QString waiting = tr("Waiting for %1 to come back");
    const QFontMetrics metrics = box->fontMetrics();
    const int room = box->contentsRect().width() - metrics.horizontalAdvance(waiting.arg(QString()));
    box->setText(tr("DEVICE DISCONNECTED") + QLatin1Char('\n')
                 + waiting.arg(metrics.elidedText(portName, Qt::ElideMiddle, room)));
    box->show();
}

void MainWindow::showDeviceFound()
{
    ui->labelConnection->hide();
}

void MainWindow::setKeysEnabled(bool enabled)
{
    for (QPushButton* const key : keyButtons)
        key->setEnabled(enabled);
    ui->pushButton->setEnabled(enabled);
}

void MainWindow::showMidiSystemStopped()
{
    ui->labelConnection->setText(tr("MIDI SYSTEM STOPPED\nStart it again, then Zandorium Uploader"));
    ui->labelConnection->show();
}

void MainWindow::setLed(int index, bool on)
{
    if (index < 0)
        return;
    if (index < Protocol::kKeyCount) {
        keyButtons[index]->setIcon(on ? (index < Protocol::kLoopKeyCount ? iconLoopOn : iconSwitchOn) : iconOff);
        keyButtons[index]->setAccessibleDescription(ledState(on));
        return;
    }
    QLabel* const amp = index == Protocol::kLedAmpB ? ui->labelAmpB : ui->labelAmpA;
    amp->setPixmap(QPixmap(on ? Artwork::kLedOn : Artwork::kLedOff));
    amp->setAccessibleDescription(ledState(on));
}

void MainWindow::ledOn(int index)
{
    setLed(index, true);
}

void MainWindow::ledOff(int index)
{
    setLed(index, false);
}

void MainWindow::allLoopLedsOn()
{
    for (int i = 0; i < Protocol::kLoopKeyCount; ++i)
        ledOn(i);
}

void MainWindow::allLoopLedsOff()
{
    for (int i = 0; i < Protocol::kLoopKeyCount; ++i)
        ledOff(i);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (!keyboard.keyPressed(event))
        QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (!keyboard.keyReleased(event))
        QMainWindow::keyReleaseEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        keyboard.releaseAll();
        dragBar.cancel();
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    dragBar.press(event, ui->label);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    dragBar.release(event, ui->label);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    dragBar.move(event);
}

void MainWindow::holdKey(int keyIndex, HeldBy by)
{
    // A key let go on the keyboard just before the click is not still held.
    if (by == HeldBy::Mouse)
        keyboard.settle();
    Holders& holders = keyHolders[keyIndex];
    const bool wasHeld = holders.mouse || holders.keys > 0;
    if (by == HeldBy::Mouse) {
        holders.mouse = true;
    } else if (keyButtons[keyIndex]->isEnabled()) {  // not while a backup or restore holds the keys
        ++holders.keys;
    }
    if (!wasHeld && (holders.mouse || holders.keys > 0))
        CommandSender::sendKeyPress(keyIndex);
}

void MainWindow::letGoKey(int keyIndex, HeldBy by)
{
    Holders& holders = keyHolders[keyIndex];
    const bool wasHeld = holders.mouse || holders.keys > 0;
    if (by == HeldBy::Mouse)
        holders.mouse = false;
    else if (holders.keys > 0)
        --holders.keys;
    if (wasHeld && !holders.mouse && holders.keys == 0)
        CommandSender::sendKeyRelease(keyIndex);
}

void MainWindow::letGoAllKeys()
{
    keyboard.releaseAll();
    for (int key = 0; key < Protocol::kKeyCount; ++key) {
        if (!keyHolders[key].mouse)
            continue;
        keyButtons[key]->setDown(false);
        letGoKey(key, HeldBy::Mouse);
    }
}

void MainWindow::showMenu(const QPoint& position)
{
    letGoAllKeys();
    showWindowMenu(*this, mapToGlobal(position));
}

void MainWindow::on_pushButton_clicked()
{
    // The device would keep a key held from the keyboard pressed.
    keyboard.releaseAll();
    QCoreApplication::quit();
}

void MainWindow::on_pushButton1_pressed() { holdKey(0, HeldBy::Mouse); }
void MainWindow::on_pushButton1_released() { letGoKey(0, HeldBy::Mouse); }
void MainWindow::on_pushButton2_pressed() { holdKey(1, HeldBy::Mouse); }
void MainWindow::on_pushButton2_released() { letGoKey(1, HeldBy::Mouse); }
void MainWindow::on_pushButton3_pressed() { holdKey(2, HeldBy::Mouse); }
void MainWindow::on_pushButton3_released() { letGoKey(2, HeldBy::Mouse); }
void MainWindow::on_pushButton4_pressed() { holdKey(3, HeldBy::Mouse); }
void MainWindow::on_pushButton4_released() { letGoKey(3, HeldBy::Mouse); }
void MainWindow::on_pushButton5_pressed() { holdKey(4, HeldBy::Mouse); }
void MainWindow::on_pushButton5_released() { letGoKey(4, HeldBy::Mouse); }
void MainWindow::on_pushButton6_pressed() { holdKey(5, HeldBy::Mouse); }
void MainWindow::on_pushButton6_released() { letGoKey(5, HeldBy::Mouse); }
void MainWindow::on_pushButton7_pressed() { holdKey(6, HeldBy::Mouse); }
void MainWindow::on_pushButton7_released() { letGoKey(6, HeldBy::Mouse); }
void MainWindow::on_pushButton8_pressed() { holdKey(7, HeldBy::Mouse); }
void MainWindow::on_pushButton8_released() { letGoKey(7, HeldBy::Mouse); }
void MainWindow::on_pushButton9_pressed() { holdKey(8, HeldBy::Mouse); }
void MainWindow::on_pushButton9_released() { letGoKey(8, HeldBy::Mouse); }
void MainWindow::on_pushButton10_pressed() { holdKey(9, HeldBy::Mouse); }
void MainWindow::on_pushButton10_released() { letGoKey(9, HeldBy::Mouse); }
void MainWindow::on_pushButtonSW1_pressed() { holdKey(Protocol::kKeySw1, HeldBy::Mouse); }
void MainWindow::on_pushButtonSW1_released() { letGoKey(Protocol::kKeySw1, HeldBy::Mouse); }
void MainWindow::on_pushButtonSW2_pressed() { holdKey(Protocol::kKeySw2, HeldBy::Mouse); }
void MainWindow::on_pushButtonSW2_released() { letGoKey(Protocol::kKeySw2, HeldBy::Mouse); }
void MainWindow::on_pushButtonMenu_pressed() { holdKey(Protocol::kKeyMenu, HeldBy::Mouse); }
void MainWindow::on_pushButtonMenu_released() { letGoKey(Protocol::kKeyMenu, HeldBy::Mouse); }
void MainWindow::on_pushButtonTap_pressed() { holdKey(Protocol::kKeyTap, HeldBy::Mouse); }
void MainWindow::on_pushButtonTap_released() { letGoKey(Protocol::kKeyTap, HeldBy::Mouse); }
