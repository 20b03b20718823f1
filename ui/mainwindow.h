#pragma once
// The frameless front panel: fourteen keys that press and release the device's
// keys, and the LEDs and displays the device reports back. GUI thread only.

#include "protocol/protocol.h"
#include "ui/dragbar.h"
#include "ui/panelkeyboard.h"

#include <QIcon>
#include <QMainWindow>

#include <array>
#include <memory>

class QPushButton;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Texts are zero-terminated UTF-8; a null text shows as empty.
    void displayBank(const char* text, int highlighted);
    void displayNumber(const char* text);
    void displayName(const char* text);

    // The device's ports have gone: says so on the panel, with the name of the
    // port it waits for, until showDeviceFound.
    void showDeviceLost(const QString& portName);
    void showDeviceFound();
    // For good: only a new start connects again.
    void showMidiSystemStopped();
    // The fourteen keys and Exit, which would end the program halfway
    // through a restore.
    void setKeysEnabled(bool enabled);

    // LED index: 0-13 the keys, 14 amp B, 15 and above amp A. Negative
    // indices are ignored. Invokable, so the decoder can queue them from the
    // MIDI input thread.
    Q_INVOKABLE void ledOn(int index);
    Q_INVOKABLE void ledOff(int index);
    Q_INVOKABLE void allLoopLedsOn();
    Q_INVOKABLE void allLoopLedsOff();

protected:
    // The panel's keys from the computer keyboard: held as long as the
    // computer key is, auto-repeat ignored.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // A key held or a drag begun when the panel is left would never end.
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private slots:
    void on_pushButton_clicked();
    void on_pushButton1_pressed();
    void on_pushButton1_released();
    void on_pushButton2_pressed();
    void on_pushButton2_released();
    void on_pushButton3_pressed();
    void on_pushButton3_released();
    void on_pushButton4_pressed();
    void on_pushButton4_released();
    void on_pushButton5_pressed();
    void on_pushButton5_released();
    void on_pushButton6_pressed();
    void on_pushButton6_released();
    void on_pushButton7_pressed();
    void on_pushButton7_released();
    void on_pushButton8_pressed();
    void on_pushButton8_released();
    void on_pushButton9_pressed();
    void on_pushButton9_released();
    void on_pushButton10_pressed();
    void on_pushButton10_released();
    void on_pushButtonSW1_pressed();
    void on_pushButtonSW1_released();
    void on_pushButtonSW2_pressed();
    void on_pushButtonSW2_released();
    void on_pushButtonMenu_pressed();
    void on_pushButtonMenu_released();
    void on_pushButtonTap_pressed();
    void on_pushButtonTap_released();

private:
    void setLed(int index, bool on);
    void describeForAccessibility();
    // The mouse and the keyboard (two keys for each digit) may hold the same
    // key: the device sees one press when the first takes it and one release
    // when the last lets go.
    enum class HeldBy { Mouse, Keyboard };
    struct Holders
    {
        bool mouse = false;
        int keys = 0;
    };
    void holdKey(int keyIndex, HeldBy by);
    void letGoKey(int keyIndex, HeldBy by);
    // Before a popup takes the mouse and the keyboard, whose releases it would swallow.
    void letGoAllKeys();
    void showMenu(const QPoint& position);

    std::unique_ptr<Ui::MainWindow> ui;
    QIcon iconLoopOn;
    QIcon iconSwitchOn;
    QIcon iconOff;
    std::array<QPushButton*, Protocol::kKeyCount> keyButtons{};
    std::array<Holders, Protocol::kKeyCount> keyHolders{};
    PanelKeyboard keyboard;
    DragBar dragBar{this};
};
