#include "ui/mainwindow.h"

#include "app/globals.h"
#include "midi/portmatching.h"
#include "protocol/commandsender.h"
#include "protocol/protocol.h"
#include "resources/artwork.h"
#include "ui/displaystyle.h"
#include "ui/dragbar.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace {

QString fromDeviceText(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    Artwork::registerResources();
    ui->setupUi(this);
    // An empty menu bar would push the drag bar below the rows that drag.
    ui->menuBar->hide();

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);

    iconLoopOn = QIcon(Artwork::kSwitchOnRed);
    iconSwitchOn = QIcon(Artwork::kSwitchOn);
    iconOff = QIcon(Artwork::kSwitchOff);

    keyButtons = {ui->pushButton1, ui->pushButton2,   ui->pushButton3,   ui->pushButton4,
                  ui->pushButton5, ui->pushButton6,   ui->pushButton7,   ui->pushButton8,
                  ui->pushButton9, ui->pushButton10,  ui->pushButtonSW1, ui->pushButtonSW2,
                  ui->pushButtonMenu, ui->pushButtonTap};

    ui->labelVersion->setText(QStringLiteral("Editor version: 1.0.2"));
    displayBank("S", 0);
    displayNumber("B");
    displayName("Fernwick Zandorium");

    g_mainWindow = this;
}

MainWindow::~MainWindow() = default;

void MainWindow::displayBank(const char* text, int highlighted)
{
    ui->labelBank->setStyleSheet(highlighted ? DisplayStyle::kLight : DisplayStyle::kDark);
    ui->labelBank->setText(fromDeviceText(text));
}

void MainWindow::displayNumber(const char* text)
{
    ui->labelNumber->setText(fromDeviceText(text));
}

void MainWindow::displayName(const char* text)
{
    ui->labelName->setText(fromDeviceText(text));
}

void MainWindow::showDeviceLost(const QString& portName)
{
    ui->labelConnection->setText(
        tr("DEVICE DISCONNECTED\nWaiting for %1 to come back").arg(PortMatching::stableName(portName)));
    ui->labelConnection->show();
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
    if (index < Protocol::kLoopKeyCount)
        keyButtons[index]->setIcon(on ? iconLoopOn : iconOff);
    else if (index < Protocol::kKeyCount)
        keyButtons[index]->setIcon(on ? iconSwitchOn : iconOff);
    else
        (index == Protocol::kLedAmpB ? ui->labelAmpB : ui->labelAmpA)
            ->setPixmap(QPixmap(on ? Artwork::kLedOn : Artwork::kLedOff));
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

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    DragBar::grab(pressOffset, event->pos(), ui->label, true);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    DragBar::grab(pressOffset, event->pos(), ui->label, false);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    DragBar::drag(this, pressOffset, event);
}

void MainWindow::on_pushButton_clicked()
{
    QCoreApplication::quit();
}

void MainWindow::on_pushButton1_pressed() { CommandSender::sendKeyPress(0); }
void MainWindow::on_pushButton1_released() { CommandSender::sendKeyRelease(0); }
void MainWindow::on_pushButton2_pressed() { CommandSender::sendKeyPress(1); }
void MainWindow::on_pushButton2_released() { CommandSender::sendKeyRelease(1); }
void MainWindow::on_pushButton3_pressed() { CommandSender::sendKeyPress(2); }
void MainWindow::on_pushButton3_released() { CommandSender::sendKeyRelease(2); }
void MainWindow::on_pushButton4_pressed() { CommandSender::sendKeyPress(3); }
void MainWindow::on_pushButton4_released() { CommandSender::sendKeyRelease(3); }
void MainWindow::on_pushButton5_pressed() { CommandSender::sendKeyPress(4); }
void MainWindow::on_pushButton5_released() { CommandSender::sendKeyRelease(4); }
void MainWindow::on_pushButton6_pressed() { CommandSender::sendKeyPress(5); }
void MainWindow::on_pushButton6_released() { CommandSender::sendKeyRelease(5); }
void MainWindow::on_pushButton7_pressed() { CommandSender::sendKeyPress(6); }
void MainWindow::on_pushButton7_released() { CommandSender::sendKeyRelease(6); }
void MainWindow::on_pushButton8_pressed() { CommandSender::sendKeyPress(7); }
void MainWindow::on_pushButton8_released() { CommandSender::sendKeyRelease(7); }
void MainWindow::on_pushButton9_pressed() { CommandSender::sendKeyPress(8); }
void MainWindow::on_pushButton9_released() { CommandSender::sendKeyRelease(8); }
void MainWindow::on_pushButton10_pressed() { CommandSender::sendKeyPress(9); }
void MainWindow::on_pushButton10_released() { CommandSender::sendKeyRelease(9); }
void MainWindow::on_pushButtonSW1_pressed() { CommandSender::sendKeyPress(Protocol::kKeySw1); }
void MainWindow::on_pushButtonSW1_released() { CommandSender::sendKeyRelease(Protocol::kKeySw1); }
void MainWindow::on_pushButtonSW2_pressed() { CommandSender::sendKeyPress(Protocol::kKeySw2); }
void MainWindow::on_pushButtonSW2_released() { CommandSender::sendKeyRelease(Protocol::kKeySw2); }
void MainWindow::on_pushButtonMenu_pressed() { CommandSender::sendKeyPress(Protocol::kKeyMenu); }
void MainWindow::on_pushButtonMenu_released() { CommandSender::sendKeyRelease(Protocol::kKeyMenu); }
void MainWindow::on_pushButtonTap_pressed() { CommandSender::sendKeyPress(Protocol::kKeyTap); }
void MainWindow::on_pushButtonTap_released() { CommandSender::sendKeyRelease(Protocol::kKeyTap); }
