#pragma once
// The editor dialog for the current memory and the device settings. Built
// hidden at start-up and opened when the device asks for it. Every user change
// is sent at once; what the device reports is written in by the hub, and the
// handlers compare with the hub's fields so that reports are not sent back.
// GUI thread only.

#include "protocol/protocol.h"
#include "ui/dragbar.h"

#include <QDialog>
#include <QIcon>
#include <QString>

#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

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
    // The progress panel of a backup or restore. While it shows, nothing the
    // user does may send a frame: every control here and the front panel's
    // keys are disabled, so neither operation can be started again either.
    void showPleaseWait(const QString& operation);
    void endPleaseWait();
    // Why a restore cannot start now (the editor closed, an operation under
    // way), or an empty string.
    QString whyNoRestore() const;
    // Restores the file at path as the Restore button does, checks and safety
    // copy included, when it can start.
    void restoreFile(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // A drag begun when the editor is left would never end.
    void changeEvent(QEvent* event) override;
    // Swallows every key, Escape included: only the device or the close
    // control ends the editor.
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void on_checkBoxPedal1OnOff_clicked();
    void on_sliderPedal1Val_sliderMoved(int position);
    void on_sliderPedal1Min_sliderMoved(int position);
    void on_sliderPedal1Max_sliderMoved(int position);
    void on_spinBoxPedal1MIDIcc_valueChanged(int arg1);
    void on_checkBoxPedal2OnOff_clicked();
    void on_sliderPedal2Val_sliderMoved(int position);
    void on_sliderPedal2Min_sliderMoved(int position);
    void on_sliderPedal2Max_sliderMoved(int position);
    void on_spinBoxPedal2MIDIcc_valueChanged(int arg1);
    void on_pushButtonSetNome_clicked();
    void on_radioButtonA_clicked();
    void on_radioButtonB_clicked();
    void on_radioButtonAB_clicked();
    void on_checkBoxBuffer2_clicked();
    void on_checkBoxSwitch3_clicked();
    void on_radioButtonLatch_clicked();
    void on_radioButton250_clicked();
    void on_radioButton500_clicked();
    void on_radioButton1000_clicked();
    void on_checkBoxMIDIThru_clicked();
    void on_comboBoxMIDIch_currentIndexChanged(int index);
    void on_comboBoxMIDIchPC_currentIndexChanged(int index);
    void on_spinBoxPcTx_valueChanged(int arg1);
    void on_spinBoxTAPCC_valueChanged(int arg1);
    void on_spinBoxTAPNota_valueChanged(int arg1);
    void on_comboBoxTAPMIDIch_currentIndexChanged(int index);
    void on_radioButtonNOTE_clicked();
    void on_radioButtonCC_clicked();
    void on_pushButtonSelectMem_clicked();
    void on_pushButtonWriteMem_clicked();
    void on_pushButtonRestore_clicked();
    void on_pushButtonBackup_clicked();
    void on_pushButtonCancel_clicked();
    void on_pushButton1_clicked();
    void on_pushButton2_clicked();
    void on_pushButton3_clicked();
    void on_pushButton4_clicked();
    void on_pushButton5_clicked();
    void on_pushButton6_clicked();
    void on_pushButton7_clicked();
    void on_pushButton8_clicked();
    void on_pushButton9_clicked();
    void on_pushButton10_clicked();
    void on_pushButtonSW1_clicked();
    void on_pushButtonSW2_clicked();
    void on_pushButtonSW3_clicked();
    void on_pushButtonSetNomeDevice_clicked();
    void on_checkBoxWirelessOnOff_clicked();
    void on_comboBoxExtendedPCMIDIch_currentIndexChanged(int index);

    // The editor is modal, so it needs a way out besides the device.
    void on_pushButtonClose_clicked();
    // Keys, the wheel and clicks on the groove move a slider without a drag;
    // those moves are sent too, or the editor would show a value the device
    // does not have.
    void on_sliderPedal1Val_actionTriggered(int action);
    void on_sliderPedal1Min_actionTriggered(int action);
    void on_sliderPedal1Max_actionTriggered(int action);
    void on_sliderPedal2Val_actionTriggered(int action);
    void on_sliderPedal2Min_actionTriggered(int action);
    void on_sliderPedal2Max_actionTriggered(int action);

private:
    void describeForAccessibility();
    void setControlsEnabled(bool enabled);
    // Asks whether the existing file at path may be replaced; no by default.
    static bool confirmReplace(const QString& path);
    static void fillChannelCombo(QComboBox* combo);
    void sendPedalSwitch(int pedal) const;
    static void sendSliderStep(const QSlider* slider, int action, int pedal, Protocol::Command which);
    void sendProgramChange() const;
    void sendTapTempo() const;
    void selectAmp(int amp);
    void selectButtonMode(int mode);
    void toggleEffect(int effect);
    void placeEffectControls();

    std::unique_ptr<Ui::EditWindow> ui;
    DragBar dragBar{this};
    int doneTimerId = 0;
    std::array<QPushButton*, Protocol::kEffectCount> effectButtons{};
    std::array<QLabel*, Protocol::kEffectCount> effectLabels{};
    QIcon iconLoopOn;
    QIcon iconSwitchOn;
    QIcon iconOff;
    std::array<int, Protocol::kEffectCount> effectShown{};
    QString backupFileName;
    quint64 lastReturnRelease = 0;  // the time of the last Return let go in a name box
};
