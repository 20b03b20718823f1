#pragma once
// The editor dialog for the current memory and the device settings. Built
// hidden at start-up and opened when the device asks for it. GUI thread only.

#include "protocol/protocol.h"

#include <QDialog>
#include <QIcon>

#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace Ui {
class EditWindow;
}

class EditWindow : public QDialog
{
    Q_OBJECT

public:
    explicit EditWindow(QWidget* parent = nullptr);
    ~EditWindow() override;

    // The hub writes reported values straight into these widgets.
    const Ui::EditWindow& widgets() const { return *ui; }

    // Icons from the hub's effect states, 1 meaning on.
    void showEffectStatus();
    // 16384 (and, for the bank, any negative value) is the no-memory state.
    // Both forward their text to the front panel through the hub.
    void showBank(int bank);
    void showNumber(int number);
    // The completion picture, for two seconds.
    void showDone();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    static void fillChannelCombo(QComboBox* combo);

    std::unique_ptr<Ui::EditWindow> ui;
    int doneTimerId = 0;
    std::array<QPushButton*, Protocol::kEffectCount> effectButtons{};
    std::array<QLabel*, Protocol::kEffectCount> effectLabels{};
    QIcon iconLoopOn;
    QIcon iconSwitchOn;
    QIcon iconOff;
    std::array<int, Protocol::kEffectCount> effectShown{};
};
