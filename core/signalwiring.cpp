#include "core/signalwiring.h"

#include "core/minicore.h"
#include "protocol/framedecoder.h"

SignalWiring::SignalWiring(MainWindow* window, MiniCore* miniCore) : mainWindow(window), hub(miniCore)
{
    connectHub();
}

void SignalWiring::decodeFrame(const unsigned char* frame, std::size_t length, bool damaged)
{
    FrameDecoder(mainWindow, hub).decode(frame, length, damaged);
}

// Automatic connections: a signal raised by the decoder on the input thread is
// queued to the GUI thread, one raised on the GUI thread runs its slot at once.
void SignalWiring::connectHub()
{
    const auto wire = [this](auto signal, auto slot) { QObject::connect(hub, signal, hub, slot, Qt::AutoConnection); };
    wire(&MiniCore::openSignalEditWindow, &MiniCore::openSlotEditWindow);
    wire(&MiniCore::openSignalChangePedal, &MiniCore::openSlotChangePedal);
    wire(&MiniCore::openSignalChangeAmp, &MiniCore::openSlotChangeAmp);
    wire(&MiniCore::openSignalBuffer2OnOff, &MiniCore::openSlotBuffer2OnOff);
    wire(&MiniCore::openSignalSwitch3OnOff, &MiniCore::openSlotSwitch3OnOff);
    wire(&MiniCore::openSignalButtonMode, &MiniCore::openSlotButtonMode);
    wire(&MiniCore::openSignalMIDIThru, &MiniCore::openSlotMIDIThru);
    wire(&MiniCore::openSignalMIDITxRx, &MiniCore::openSlotMIDITxRx);
    wire(&MiniCore::openSignalMIDIchPC, &MiniCore::openSlotMIDIchPC);
    wire(&MiniCore::openSignalPCnum, &MiniCore::openSlotPCnum);
    wire(&MiniCore::openSignalTAPCC, &MiniCore::openSlotTAPCC);
    wire(&MiniCore::openSignalTAPMidi, &MiniCore::openSlotTAPMidi);
    wire(&MiniCore::openSignalTAPNota, &MiniCore::openSlotTAPNota);
    wire(&MiniCore::openSignalTAPNoteCc, &MiniCore::openSlotTAPNoteCc);
    wire(&MiniCore::openSignalOpenMemorySelectWindow, &MiniCore::openOpenMemorySelectWindow);
    wire(&MiniCore::openSignalSetBank, &MiniCore::openSlotSetBank);
    wire(&MiniCore::openSignalSetNumber, &MiniCore::openSlotSetNumber);
    wire(&MiniCore::openSignalSetName, &MiniCore::openSlotSetName);
    wire(&MiniCore::openSignalcloseMemorySelect, &MiniCore::openSlotcloseMemorySelect);
    wire(&MiniCore::openSignalSetBankWrite, &MiniCore::openSlotSetBankWrite);
    wire(&MiniCore::openSignalSetNumberWrite, &MiniCore::openSlotSetNumberWrite);
    wire(&MiniCore::OpenSignalPleaseWait, &MiniCore::OpenSlotPleaseWait);
    wire(&MiniCore::openSignalSetVersion, &MiniCore::openSlotSetVersion);
    wire(&MiniCore::openSignaleTExtDialogOk, &MiniCore::openSlotTExtDialogOk);
    wire(&MiniCore::openSignalSetEffectStatus, &MiniCore::openSlotSetEffectStatus);
    wire(&MiniCore::openSignalProgressBarPleaseWait, &MiniCore::openSlotProgressBarPleaseWait);
    wire(&MiniCore::openSignalSetDevName, &MiniCore::openSlotSetDevName);
    wire(&MiniCore::openSignalWirelessOnOff, &MiniCore::openSlotWirelessOnOff);
    wire(&MiniCore::openSignalExtPCMIDIch, &MiniCore::openSlotExtPCMIDIch);
    wire(&MiniCore::openSignalComplete, &MiniCore::openSlotComplete);
    wire(&MiniCore::openSignalSetCheckedCC, &MiniCore::openSlotSetCheckedCC);
    wire(&MiniCore::openSignalSetAnalogVal, &MiniCore::openSlotSetAnalogVal);
    wire(&MiniCore::openSignalBackupMessage, &MiniCore::openSlotBackupMessage);
    wire(&MiniCore::openSignalBackupCollected, &MiniCore::openSlotBackupCollected);
    wire(&MiniCore::SignalDisplayBank, &MiniCore::SlotDisplayBank);
    wire(&MiniCore::SignalDisplayNumber, &MiniCore::SlotDisplayNumber);
    wire(&MiniCore::SignalDisplayName, &MiniCore::SlotDisplayName);
}
