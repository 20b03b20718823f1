#include "core/minicore.h"

#include "app/globals.h"
#include "protocol/encoding.h"
#include "ui/dialogtextok.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"
#include "ui/memoryselect.h"
#include "ui_editwindow.h"

#include <QSignalBlocker>

#include <utility>

namespace {

// Report categories of openSignalChangePedal: the command codes that carry them.
constexpr int kCategoryValue = static_cast<int>(Protocol::Command::PedalValue);
constexpr int kCategoryMax = static_cast<int>(Protocol::Command::PedalMax);
constexpr int kCategoryMin = static_cast<int>(Protocol::Command::PedalMin);
constexpr int kCategorySwitch = static_cast<int>(Protocol::Command::PedalSwitch);

// The device closes the memory select dialog with 1 when it took the choice.
constexpr int kMemorySelectAccepted = 1;

struct PedalWidgets
{
    QSlider* value;
    QSlider* min;
    QSlider* max;
    QCheckBox* onOff;
    QSpinBox* cc;
};

PedalWidgets pedalWidgets(const Ui::EditWindow& form, int pedal)
{
    if (pedal == 0)
        return {form.sliderPedal1Val, form.sliderPedal1Min, form.sliderPedal1Max, form.checkBoxPedal1OnOff,
                form.spinBoxPedal1MIDIcc};
    return {form.sliderPedal2Val, form.sliderPedal2Min, form.sliderPedal2Max, form.checkBoxPedal2OnOff,
            form.spinBoxPedal2MIDIcc};
}

// The CC spin box sends on every change, so it is set with its signals blocked.
void showPedalSwitch(const PedalWidgets& widgets, const PedalRecord& record)
{
    widgets.onOff->setChecked(record.onOff != 0);
    const QSignalBlocker blocker(widgets.cc);
    widgets.cc->setValue(record.cc);
}

// A reported value is shown without running the widget's change handler,
// which would take it for the user's and send it back. The handler's guard
// (the value equals the hub's) is not enough when reports come faster than
// the GUI shows them: the hub already holds a later report, every earlier one
// looks new and is sent, and a unit that reports what it receives answers
// each with another report, without end.
template <class Widget>
void showReported(Widget* widget, void (Widget::*set)(int), int value)
{
    const QSignalBlocker blocker(widget);
    (widget->*set)(value);
}

// A slider the user holds follows the hand; reports of the values it sends
// would otherwise pull it back while it is dragged.
void showSliderValue(QSlider* slider, int value)
{
    if (!slider->isSliderDown())
        slider->setValue(value);
}

}  // namespace

MiniCore::MiniCore(EditWindow* window) : QObject(window), editWindow(window)
{
    backupWatchdog_.setSingleShot(true);
    connect(&backupWatchdog_, &QTimer::timeout, this, &MiniCore::giveUpBackup);
}

void MiniCore::openSlotEditWindow(int value)
{
    if (value != 1) {
        editWindow->close();
        return;
    }
    // A second request while the editor runs must not nest another loop.
    if (editWindow->isVisible()) {
        editWindow->raise();
        editWindow->activateWindow();
        return;
    }
    editWindow->show();
    editWindow->exec();
}

void MiniCore::openSlotChangePedal(int PedalNum, int category)
{
    if (!Protocol::isPedalIndex(PedalNum))
        return;
    const PedalWidgets widgets = pedalWidgets(editWindow->widgets(), PedalNum);
    const PedalRecord& record = pedals[PedalNum];
    switch (category) {
    case kCategoryValue:
        showSliderValue(widgets.value, record.value);
        break;
    case kCategoryMax:
        showSliderValue(widgets.max, record.max);
        break;
    case kCategoryMin:
        showSliderValue(widgets.min, record.min);
        break;
    case kCategorySwitch:
        showPedalSwitch(widgets, record);
        break;
    default:
        break;
    }
}

void MiniCore::openSlotChangeAmp(int AmpType)
{
    const Ui::EditWindow& form = editWindow->widgets();
    QRadioButton* const buttons[] = {form.radioButtonA, form.radioButtonB, form.radioButtonAB};
    if (AmpType < 0 || AmpType >= static_cast<int>(std::size(buttons)))
        return;
    // The three share one group box, so only the checked one needs setting.
    buttons[AmpType]->setChecked(true);
}

void MiniCore::openSlotBuffer2OnOff(int OnOff)
{
    editWindow->widgets().checkBoxBuffer2->setChecked(OnOff == 1);
}

void MiniCore::openSlotSwitch3OnOff(int OnOff)
{
    editWindow->widgets().checkBoxSwitch3->setChecked(OnOff == 1);
}

void MiniCore::openSlotButtonMode(int ButtonMode)
{
    const Ui::EditWindow& form = editWindow->widgets();
    form.radioButtonLatch->setChecked(ButtonMode == 0);
    form.radioButton250->setChecked(ButtonMode == 1);
    form.radioButton500->setChecked(ButtonMode == 2);
    form.radioButton1000->setChecked(ButtonMode == 3);
}

void MiniCore::openSlotMIDIThru(int OnOff)
{
    editWindow->widgets().checkBoxMIDIThru->setChecked(OnOff == 1);
}

void MiniCore::openSlotMIDITxRx(int MIDIchannel)
{
    showReported(editWindow->widgets().comboBoxMIDIch, &QComboBox::setCurrentIndex, MIDIchannel);
}

void MiniCore::openSlotMIDIchPC(int MIDIchannel)
{
    showReported(editWindow->widgets().comboBoxMIDIchPC, &QComboBox::setCurrentIndex, MIDIchannel);
}

void MiniCore::openSlotPCnum(int PcNum)
{
    showReported(editWindow->widgets().spinBoxPcTx, &QSpinBox::setValue, PcNum + 1);
}

void MiniCore::openSlotTAPNoteCc(int NoteCC)
{
    const Ui::EditWindow& form = editWindow->widgets();
    form.radioButtonCC->setChecked(NoteCC == 0);
    form.radioButtonNOTE->setChecked(NoteCC == 1);
}

void MiniCore::openSlotTAPNota(int Nota)
{
    showReported(editWindow->widgets().spinBoxTAPNota, &QSpinBox::setValue, Nota);
}

void MiniCore::openSlotTAPCC(int CC)
{
    showReported(editWindow->widgets().spinBoxTAPCC, &QSpinBox::setValue, CC);
}

void MiniCore::openSlotTAPMidi(int MIDIch)
{
    showReported(editWindow->widgets().comboBoxTAPMIDIch, &QComboBox::setCurrentIndex, MIDIch);
}

void MiniCore::openOpenMemorySelectWindow(int b)
{
    // A kept dialog keeps its marks; only the mode changes.
    if (g_memorySelect) {
        g_memorySelect->setMode(b);
        g_memorySelect->show();
        return;
    }
    g_memorySelect = new MemorySelect(b);
    g_memorySelect->setModal(true);
    if (restoring_)
        g_memorySelect->show();
    else
        g_memorySelect->exec();
}

void MiniCore::openSlotSetBank(int Bank, int from)
{
    if (from == kFromDevice && g_memorySelect)
        g_memorySelect->showDeviceBank(Bank);
    editWindow->showBank(Bank);
}

void MiniCore::openSlotSetNumber(int Number, int from)
{
    if (from == kFromDevice && g_memorySelect)
        g_memorySelect->showDeviceNumber(Number);
    editWindow->showNumber(Number);
}

void MiniCore::openSlotSetName()
{
    TextField<kMemoryNameCapacity> name = memoryName.get();
    editWindow->widgets().plainTextEditNome->setPlainText(QString::fromUtf8(name.data()));
    emit SignalDisplayName(name.data());
}

void MiniCore::openSlotcloseMemorySelect(int ok)
{
    if (!g_memorySelect)
        return;
    MemorySelect* const dialog = std::exchange(g_memorySelect, nullptr);
    if (ok == kMemorySelectAccepted) {
        bank = dialog->selectedBank();
        number = dialog->selectedNumber();
        memoryIndex = Encoding::memoryIndexOf(dialog->selectedBank(), dialog->selectedNumber());
    }
    dialog->close();
    // Later, not now: the request may arrive while one of the dialog's own
    // handlers is still running.
    dialog->deleteLater();
}

void MiniCore::openSlotSetBankWrite(int Bank)
{
    if (g_memorySelect)
        g_memorySelect->showWriteBank(Bank);
}

void MiniCore::openSlotSetNumberWrite(int Number)
{
    if (g_memorySelect)
        g_memorySelect->showWriteNumber(Number);
}

void MiniCore::OpenSlotPleaseWait(int /*n*/, int OpenClose)
{
    if (OpenClose != 0)
        return;
    backupWatchdog_.stop();
    editWindow->endPleaseWait();
}

void MiniCore::openSlotSetVersion()
{
    const Ui::EditWindow& form = editWindow->widgets();
    form.labelFirmwareVer->setText(QStringLiteral("Firmware version ") + firmwareVersionString.get());
    form.labelDataVer->setText(QStringLiteral("Data version ") + dataVersionString.get());
}

void MiniCore::openSlotTExtDialogOk()
{
    DialogTextOk::showMessage(dialogText);
}

void MiniCore::openSlotSetEffectStatus()
{
    editWindow->showEffectStatus();
}

void MiniCore::openSlotProgressBarPleaseWait(int p)
{
    if (backupWatchdog_.isActive())
        backupWatchdog_.start(backupSilenceLimitMs);
    if (p != BackupCollector::Appended::kNoProgress)
        editWindow->widgets().progressBarPleaseWait->setValue(p);
}

void MiniCore::openSlotSetDevName()
{
    editWindow->widgets().plainTextEditDeviceName->setPlainText(QString::fromUtf8(deviceName.get().data()));
}

void MiniCore::openSlotWirelessOnOff(int OnOff)
{
    editWindow->widgets().checkBoxWirelessOnOff->setChecked(OnOff != 0);
}

void MiniCore::openSlotExtPCMIDIch(int MIDIch)
{
    showReported(editWindow->widgets().comboBoxExtendedPCMIDIch, &QComboBox::setCurrentIndex, MIDIch);
}

void MiniCore::openSlotComplete()
{
    if (restoring_)
        restoreCompleted_ = true;
    editWindow->showDone();
    if (g_memorySelect)
        g_memorySelect->showDone();
}

void MiniCore::openSlotSetCheckedCC(int PedNum)
{
    if (!Protocol::isPedalIndex(PedNum))
        return;
    showPedalSwitch(pedalWidgets(editWindow->widgets(), PedNum), pedals[PedNum]);
}

void MiniCore::openSlotSetAnalogVal(int PedNUm)
{
    if (!Protocol::isPedalIndex(PedNUm))
        return;
    const PedalWidgets widgets = pedalWidgets(editWindow->widgets(), PedNUm);
    const PedalRecord& record = pedals[PedNUm];
    showSliderValue(widgets.value, record.value);
    showSliderValue(widgets.min, record.min);
    showSliderValue(widgets.max, record.max);
}

void MiniCore::SlotDisplayBank(char* b, int nr)
{
    if (g_mainWindow)
        g_mainWindow->displayBank(b, nr);
}

void MiniCore::SlotDisplayNumber(char* b)
{
    if (g_mainWindow)
        g_mainWindow->displayNumber(b);
}

void MiniCore::SlotDisplayName(char* b)
{
    if (g_mainWindow)
        g_mainWindow->displayName(b);
}
