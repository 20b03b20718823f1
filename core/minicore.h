#pragma once
// The hub between the device protocol and the windows: it mirrors the device's
// state and carries each reported change, as a signal, to the windows.
// Lives on the GUI thread. The decoder on RtMidi's input thread stores a field
// and then raises its signal, which reaches the slot queued; every field that
// both threads touch is atomic or guarded by a lock.

#include "backup/backupcollector.h"
#include "backup/memoryfile.h"
#include "backup/version.h"
#include "core/hubfields.h"
#include "protocol/protocol.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <atomic>
#include <cstddef>

class EditWindow;

class MiniCore : public QObject
{
    Q_OBJECT

public:
    static constexpr std::size_t kMemoryNameCapacity = 40;
    static constexpr std::size_t kDeviceNameCapacity = 20;
    static constexpr std::size_t kVersionTextCapacity = 100;

    // The "from" of openSlotSetBank and openSlotSetNumber: only a change the
    // device reported moves the memory select dialog's marks.
    static constexpr int kFromDevice = 0;
    static constexpr int kFromEditor = 1;

    explicit MiniCore(EditWindow* editWindow);

    // Backup (core/backuprestore.cpp). startBackup and setFilePath run on the
    // GUI thread before the request leaves; the device's blocks and its end
    // message reach appendBackupBlock and writeBackupFile on the input thread,
    // which pass what they collect to the GUI thread by signal.
    void startBackup();
    void setFilePath(const QString& name);
    // A damaged block (another message was mixed into it) ends the backup.
    void appendBackupBlock(const unsigned char* block, std::size_t length, bool damaged = false);
    // Hands what was collected to openSignalBackupCollected; nothing when no
    // backup runs.
    void writeBackupFile();

    // Restore, on the GUI thread: checks the file whole, then sends it block by
    // block, each after the device acknowledged the one before. Keeps the
    // event loop running meanwhile. Hides the progress panel when it returns;
    // true when every block was acknowledged.
    bool restoreFromFile(const QString& name);
    // True while a restore (its safety copy included) waits on the device.
    // What opens meanwhile must not nest an event loop: the restore's waits
    // run inside the current one, and would stop until it was closed.
    bool restoring() const { return restoring_; }

    // The progress panel's Cancel, GUI thread. A backup ends at once and
    // writes nothing, and a safety copy too, its restore then not begun; a
    // restore stops before its next block.
    void cancelOperation();
    // True while a restore sends the file's blocks: cancelling then leaves the
    // device with part of the file.
    bool sendingRestoreBlocks() const { return sendingBlocks_; }

    // The device's ports have gone: a backup under way ends with a message at
    // once, a restore at its next wait for an acknowledgement. GUI thread.
    void deviceLost();
    void deviceFound() { deviceGone_ = false; }
    // The MIDI system has stopped under the ports: a restore under way stops
    // at its next wait and says so. GUI thread.
    void midiSystemStopped() { systemGone_ = true; }
    // True once a restore's message has told the user of the stop.
    bool midiSystemStopSaid() const { return systemStopSaid_; }

    // Limits on the device's silence; GUI thread only. The first block may
    // take longer: a device can ask for confirmation on its own panel.
    int backupFirstBlockLimitMs = 30000;
    int backupSilenceLimitMs = 5000;
    int acknowledgeLimitMs = 5000;
    // How long after the last acknowledgement the device may take to report
    // the restore complete, before the editor says it could not confirm it.
    int restoreCompleteLimitMs = 3000;

    EditWindow* const editWindow;

    std::array<PedalRecord, Protocol::kPedalCount> pedals;
    // Last set by the editor only.
    int ampType = 0;
    int buffer2OnOff = 0;
    int switch3OnOff = 0;
    int buttonMode = 0;
    int midiThru = 0;
    // Channels in the form the editor's lists show: 0 "Off", k channel k.
    std::atomic<int> midiChannel{0};
    std::atomic<int> pcMidiChannel{0};
    std::atomic<int> pcNumber{1};  // as shown, 1-128
    std::atomic<int> tapMidiChannel{0};
    std::atomic<int> tapNoteCc{0};  // 0 CC, 1 note
    std::atomic<int> tapNote{0};
    std::atomic<int> tapCc{0};
    // -1 until the device reports its current memory.
    std::atomic<int> bank{-1};
    std::atomic<int> number{-1};
    std::atomic<int> memoryIndex{-1};
    Guarded<TextField<kMemoryNameCapacity>> memoryName;
    Guarded<TextField<kVersionTextCapacity>> firmwareVersionText;
    Guarded<TextField<kVersionTextCapacity>> dataVersionText;
    Guarded<VersionNumbers> firmwareVersion;
    Guarded<VersionNumbers> dataVersion;
    Guarded<QString> dataVersionString;
    Guarded<QString> firmwareVersionString;
    // Set once the device has reported its versions: a restore needs them.
    std::atomic<bool> versionsReported{false};
    BackupCollector backup;
    // GUI thread only: the file of the last backup or restore, and the
    // contents of the last restore.
    QString filePath;
    QByteArray restoreBuffer;
    MemoryFile::FileHeader fileHeader;
    QString dialogText;  // GUI thread only
    // Set by the device's acknowledgement, polled and cleared by a restore.
    std::atomic<int> restoreAck{0};
    std::array<std::atomic<int>, Protocol::kEffectCount> effectStatus{};
    Guarded<TextField<kDeviceNameCapacity>> deviceName;
    int wirelessOnOff = 0;
    std::atomic<int> extPcMidiChannel{0};

signals:
    void openSignalEditWindow(int OpenClose);
    void openSignalChangePedal(int PedalNum, int category);
    void openSignalChangeAmp(int AmpType);
    void openSignalBuffer2OnOff(int OnOff);
    void openSignalSwitch3OnOff(int OnOff);
    void openSignalButtonMode(int ButtonMode);
    void openSignalMIDIThru(int OnOff);
    void openSignalMIDITxRx(int MIDIchannel);
    void openSignalMIDIchPC(int MIDIchannel);
    void openSignalPCnum(int PcNum);
    void openSignalTAPNoteCc(int NoteCC);
    void openSignalTAPNota(int Nota);
    void openSignalTAPCC(int CC);
    void openSignalTAPMidi(int MIDIch);
    void openSignalOpenMemorySelectWindow(int b);
    void openSignalSetBank(int Bank, int from);
    void openSignalSetNumber(int Number, int from);
    void openSignalSetName();
    void openSignalcloseMemorySelect(int ok);
    void openSignalSetBankWrite(int Bank);
    void openSignalSetNumberWrite(int Number);
    void OpenSignalPleaseWait(int n, int OpenClose);
    void openSignalSetVersion();
    void openSignaleTExtDialogOk();
    void openSignalSetEffectStatus();
    void openSignalProgressBarPleaseWait(int p);
    void openSignalSetDevName();
    void openSignalWirelessOnOff(int OnOff);
    void openSignalExtPCMIDIch(int MIDIch);
    void openSignalComplete();
    void openSignalSetCheckedCC(int PedNum);
    void openSignalSetAnalogVal(int PedNum);
    // A backup that ended otherwise than with a good file: what happened.
    void openSignalBackupMessage(const QString& text);
    // Everything a backup collected, to be saved to its file.
    void openSignalBackupCollected(const QByteArray& image);
    // The text lives only during the emission: GUI thread only, never queued.
    void SignalDisplayBank(char* b, int nr);
    void SignalDisplayNumber(char* b);
    void SignalDisplayName(char* n);

public slots:
    void openSlotEditWindow(int value);
    void openSlotChangePedal(int PedalNum, int category);
    void openSlotChangeAmp(int AmpType);
    void openSlotBuffer2OnOff(int OnOff);
    void openSlotSwitch3OnOff(int OnOff);
    void openSlotButtonMode(int ButtonMode);
    void openSlotMIDIThru(int OnOff);
    void openSlotMIDITxRx(int MIDIchannel);
    void openSlotMIDIchPC(int MIDIchannel);
    void openSlotPCnum(int PcNum);
    void openSlotTAPNoteCc(int NoteCC);
    void openSlotTAPNota(int Nota);
    void openSlotTAPCC(int CC);
    void openSlotTAPMidi(int MIDIch);
    void openOpenMemorySelectWindow(int b);
    void openSlotSetBank(int Bank, int from);
    void openSlotSetNumber(int Number, int from);
    void openSlotSetName();
    void openSlotcloseMemorySelect(int ok);
    void openSlotSetBankWrite(int Bank);
    void openSlotSetNumberWrite(int Number);
    void OpenSlotPleaseWait(int n, int OpenClose);
    void openSlotSetVersion();
    void openSlotTExtDialogOk();
    void openSlotSetEffectStatus();
    void openSlotProgressBarPleaseWait(int p);
    void openSlotSetDevName();
    void openSlotWirelessOnOff(int OnOff);
    void openSlotExtPCMIDIch(int MIDIch);
    void openSlotComplete();
    void openSlotSetCheckedCC(int PedNum);
    void openSlotSetAnalogVal(int PedNUm);
    void openSlotBackupMessage(const QString& text);
    // Saves the file; hides the panel, or says why the backup is not good.
    void openSlotBackupCollected(const QByteArray& image);
    void SlotDisplayBank(char* b, int nr);
    void SlotDisplayNumber(char* b);
    void SlotDisplayName(char* b);

private:
    // Ends a backup under way with the message; nothing when none runs.
    void endBackup(const QString& text);
    void giveUpBackup();
    // Why the saved backup is not good, or nothing.
    QString saveBackup(const QByteArray& image) const;
    bool checkAndSendRestore(const QString& name);
    // Backs the device up into a new safety copy, waiting as the restore does;
    // true when the restore may go on (the copy made, or the user chose to go
    // on without it).
    bool makeSafetyCopy();
    bool sendRestoreBlocks();
    bool awaitAcknowledge();
    // Waits for the device's word that the restore is complete and tells the
    // user what is known.
    void reportRestoreEnd(int blockCount);
    // The safety copy's part in a restore's messages; empty without one.
    QString safetyCopyNote() const;
    // Shows text and returns false once the user has read it.
    bool refuseRestore(const QString& text);

    // Runs while a backup waits for the device; each block restarts it.
    QTimer backupWatchdog_;
    bool deviceGone_ = false;
    bool systemGone_ = false;
    bool systemStopSaid_ = false;
    bool restoring_ = false;
    bool restoreCompleted_ = false;  // the device reported it since the blocks began
    bool sendingBlocks_ = false;
    bool restoreCancelled_ = false;  // asked during the blocks; acted on before the next
    // A backup taken as a restore's safety copy reports here, not to the user.
    struct SafetyBackup
    {
        bool running = false;
        bool done = false;
        bool cancelled = false;
        QString problem;  // empty when the copy was saved
        QString path;     // of the copy made for the current restore
    } safety_;
};
