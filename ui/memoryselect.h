#pragma once
// The dialog in which a memory is picked by bank letter and number, to recall
// it (mode 0) or as the target of a write (mode 1). Every click is told to the
// device at once; the device moves the marks, confirms and closes the dialog
// through the hub. GUI thread only.

#include "protocol/protocol.h"

#include <QDialog>
#include <QPoint>

#include <array>
#include <memory>

class QLabel;

namespace Ui {
class MemorySelect;
}

class MemorySelect : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kSelectMode = 0;
    static constexpr int kWriteMode = 1;

    explicit MemorySelect(int mode, QWidget* parent = nullptr);
    ~MemorySelect() override;

    // A kept dialog opened again: buttons and title for the new mode, marks
    // left as they are.
    void setMode(int mode);

    int selectedBank() const { return selectedBank_; }
    int selectedNumber() const { return selectedNumber_; }

    // What the device reports. A bank or number it has no label for is
    // ignored.
    void showDeviceBank(int bank);
    // The device's current memory: marked and confirmed.
    void showDeviceNumber(int number);
    // The bank chosen for writing blinks until its number is chosen.
    void showWriteBank(int bank);
    void showWriteNumber(int number);
    // The completion picture, for four ticks.
    void showDone();

protected:
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // A click counts where the button is let go.
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Swallows every key, Escape included: Close or the device ends the
    // dialog.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void on_pushButtonCancel_clicked();
    void on_pushButtonOK_clicked();

private:
    QLabel* addChoiceLabel(const QString& text, const QPoint& position, const char* style);
    void layOutButtons(int mode);
    void markBank(int bank);
    void markNumber(int number);
    void confirm();
    void storeSelectionInHub() const;
    bool writesOnClick() const { return mode_ != kSelectMode; }
    void bankClicked(int bank);
    void numberClicked(int number);

    std::unique_ptr<Ui::MemorySelect> ui;
    QPoint clickPosition;
    std::array<QLabel*, Protocol::kBankCount> bankLabels{};
    std::array<QLabel*, Protocol::kNumbersPerBank> numberLabels{};
    int selectedBank_ = 0;
    int selectedNumber_ = 0;
    int mode_ = kSelectMode;
    int timerId = 0;
    int blink = 0;
    int confirmedBank = -1;
    int doneCountdown = -1;
};
