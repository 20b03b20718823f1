// The hub's part in backing the device's memory up to a file and restoring it.

#include "core/minicore.h"

#include "backup/backuplist.h"
#include "backup/safetycopies.h"
#include "midi/delay.h"
#include "midi/trace.h"
#include "protocol/commandsender.h"
#include "ui/dialogtextok.h"
#include "ui/editwindow.h"
#include "ui_editwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>

namespace {

// The device needs this long per block, acknowledged or not.
constexpr int kBlockPacingMs = 100;
constexpr int kPanelClose = 0;
constexpr int kBackupEnded = 0;
constexpr int kRestoreEnded = 1;
// Beside the chosen file; not ".mem", so the restore's file dialog never shows it.
constexpr char kUnrestorableSuffix[] = ".unrestorable";

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

void MiniCore::startBackup()
{
    backup.start();
    backupWatchdog_.start(backupFirstBlockLimitMs);
    // Said once the caller has sent the request, which is dropped, and shown
    // its panel.
    if (deviceGone_)
        QTimer::singleShot(0, this, [this] {
            endBackup(QStringLiteral("The device is not connected, so it cannot be backed up.\n\n"
                                     "No file was written. Connect it again: the front panel shows when it is back."));
        });
}

void MiniCore::setFilePath(const QString& name)
{
    filePath = name;
}

void MiniCore::appendBackupBlock(const unsigned char* block, std::size_t length, bool damaged)
{
    if (damaged) {
        const int number = backup.blocksStored() + 1;
        if (backup.abandon())
            emit openSignalBackupMessage(
                QStringLiteral("Block %1 of the backup came damaged: another MIDI message was mixed into it "
                               "on the way.\n\nThe backup was stopped and no file was written. Back up again.")
                    .arg(number));
        return;
    }
    const BackupCollector::Appended appended = backup.appendBackupBlock(block, length);
    switch (appended.outcome) {
    case BackupCollector::Outcome::Stored:
        // Every block is a sign of life for the watchdog, figure or not.
        emit openSignalProgressBarPleaseWait(appended.progress);
        break;
    case BackupCollector::Outcome::Overflow:
        emit openSignalBackupMessage(
            QStringLiteral("The device sent more than 2,097,152 bytes of memory data.\n\n"
                           "The backup was stopped and no file was written."));
        break;
    case BackupCollector::Outcome::Ignored:
        break;
    }
}

void MiniCore::writeBackupFile()
{
    // Written on the GUI thread: under JACK this thread runs in the server's
    // process cycle, which must not wait on a disk.
    if (const std::optional<QByteArray> collected = backup.finish())
        emit openSignalBackupCollected(*collected);
}

void MiniCore::openSlotBackupCollected(const QByteArray& image)
{
    const QString problem = saveBackup(image);
    if (safety_.running) {
        safety_.problem = problem;
        safety_.done = true;
        return;
    }
    if (problem.isEmpty()) {
        BackupList::remember(filePath);
        emit OpenSignalPleaseWait(kBackupEnded, kPanelClose);
    } else
        openSlotBackupMessage(problem);
}

QString MiniCore::saveBackup(const QByteArray& image) const
{
    const QString path = filePath;
    // An empty file would pass for a backup and could replace a good one.
    if (image.isEmpty()) {
        if (const int withoutFirst = backup.blocksWithoutFirst())
            return QStringLiteral("The device sent %1 blocks of its memory, but not the first one, which holds the "
                                  "memory's header: without it the memory cannot be read.\n\nNo file was written. "
                                  "Back up again.")
                .arg(withoutFirst);
        return QStringLiteral("The device sent no memory data.\n\nNo file was written.");
    }
    QString error;
    const QString problem = MemoryFile::checkRestoreFile(image);
    if (problem.isEmpty()) {
        const bool earlier = QFileInfo(path).isFile();
        if (!MemoryFile::saveFile(path, image, error))
            return QStringLiteral("The backup could not be saved to\n%1\n%2%3")
                .arg(shownPath(path), error,
                     earlier ? QStringLiteral("\n\nAn earlier file of that name is unchanged.") : QString());
        return {};
    }
    // What a restore would refuse never takes the place of a file, and is kept
    // under a name that no restore offers.
    const QString kept = path + QLatin1String(kUnrestorableSuffix);
    const QString earlier = QFile::exists(path)
                                ? QStringLiteral("The earlier file\n%1\nis unchanged.").arg(shownPath(path))
                                : QStringLiteral("Nothing was written to\n%1").arg(shownPath(path));
    const QString keeping = MemoryFile::saveFile(kept, image, error)
                                ? QStringLiteral("What the device sent was kept as\n%1").arg(shownPath(kept))
                                : QStringLiteral("What the device sent could not be kept either:\n%1").arg(error);
    return QStringLiteral("The backup cannot be restored:\n%1\n\n%2\n\n%3").arg(problem, earlier, keeping);
}

void MiniCore::openSlotBackupMessage(const QString& text)
{
    backupWatchdog_.stop();
    if (safety_.running) {
        safety_.problem = text;
        safety_.done = true;
        return;
    }
    DialogTextOk::showMessage(text);
    editWindow->endPleaseWait();
}

void MiniCore::endBackup(const QString& text)
{
    if (backup.abandon())
        openSlotBackupMessage(text);
}

void MiniCore::giveUpBackup()
{
    if (backup.blocksStored() == 0)
        endBackup(QStringLiteral("The device did not answer the backup request within %1 s.\n\n"
                                 "No file was written. Is the device connected, and waiting for nothing "
                                 "on its own panel?")
                      .arg(backupFirstBlockLimitMs / 1000));
    else
        endBackup(QStringLiteral("The device stopped sending its memory.\n\n"
                                 "The backup was stopped and no file was written."));
}

void MiniCore::cancelOperation()
{
    if (sendingBlocks_) {
        restoreCancelled_ = true;
        return;
    }
    // What the device still sends of this stream is dropped by the collector.
    if (!backup.abandon())
        return;
    backupWatchdog_.stop();
    Trace::note(QStringLiteral("Backup cancelled"));
    if (safety_.running) {
        safety_.cancelled = safety_.done = true;
        return;
    }
    editWindow->endPleaseWait();
}

void MiniCore::deviceLost()
{
    deviceGone_ = true;
    endBackup(QStringLiteral("The device was disconnected during the backup.\n\n"
                             "The backup was stopped and no file was written."));
}

bool MiniCore::restoreFromFile(const QString& name)
{
    restoring_ = true;
    const bool restored = checkAndSendRestore(name);
    restoring_ = false;
    emit OpenSignalPleaseWait(kRestoreEnded, kPanelClose);
    return restored;
}

bool MiniCore::checkAndSendRestore(const QString& name)
{
    safety_.path.clear();
    setFilePath(name);
    QByteArray contents;
    QString problem;
    if (MemoryFile::readRestoreFile(filePath, contents, problem))
        problem = MemoryFile::checkRestoreFile(contents);
    if (!problem.isEmpty())
        return refuseRestore(QStringLiteral("This file cannot be restored:\n%1\n%2\n\nNothing was sent to the device.")
                                 .arg(shownPath(filePath), problem));
    if (systemGone_)
        return refuseRestore(QStringLiteral("The MIDI system has stopped, so nothing can be restored.\n\n"
                                            "Nothing was sent to the device. Start the MIDI system again, "
                                            "then restart Zandorium Uploader."));
    if (deviceGone_)
        return refuseRestore(QStringLiteral("The device is not connected, so nothing can be restored.\n\n"
                                            "Nothing was sent to the device. Connect it again: "
                                            "the front panel shows when it is back."));
    restoreBuffer = contents;
    fileHeader = MemoryFile::readFileHeader(restoreBuffer);

    if (!versionsReported) {
        CommandSender::sendStartupRequest();
        return refuseRestore(QStringLiteral("The device has not reported its data version yet,\n"
                                            "so the file cannot be checked against it.\n\n"
                                            "It has been asked again: try once more in a moment.\n"
                                            "Nothing was sent to the device."));
    }
    // Only the major and the third numbers decide, each on its own.
    const VersionNumbers device = dataVersion.get();
    if (fileHeader.version.major > device.major || fileHeader.version.third > device.third)
        return refuseRestore(QStringLiteral("Incompatible version.\n\nFile data version ") + fileHeader.versionString
                             + QStringLiteral("\nMemory data version ") + dataVersionString.get());
    if (!makeSafetyCopy())
        return false;
    BackupList::remember(filePath);
    return sendRestoreBlocks();
}

bool MiniCore::makeSafetyCopy()
{
    const QString restorePath = filePath;
    const QString copyPath = SafetyCopies::newPath();
    QString problem = QStringLiteral("The folder for safety copies could not be made:\n%1")
                          .arg(shownPath(SafetyCopies::folderPath()));
    if (!copyPath.isEmpty()) {
        editWindow->widgets().labelPleaseWait->setText(QStringLiteral("Safety copy in progress ..."));
        safety_ = SafetyBackup{true, false, false, {}, {}};
        startBackup();
        setFilePath(copyPath);
        CommandSender::sendBackupRequest();
        // The watchdog, or the device's loss, ends a backup that stalls.
        while (!safety_.done)
            delayMs(kBlockPacingMs);
        safety_.running = false;
        problem = safety_.problem;
        setFilePath(restorePath);
        if (safety_.cancelled)
            return false;
    }
    if (deviceGone_)
        return refuseRestore(QStringLiteral("The device was disconnected before the restore began.\n\n"
                                            "Nothing of the file was sent. Restore it again once the device is back."));
    if (problem.isEmpty()) {
        safety_.path = copyPath;
        SafetyCopies::prune(copyPath, restorePath);
        emit BackupList::Notifier::instance().changed();
        Trace::note(QStringLiteral("Safety copy of the device's memory: %1").arg(shownPath(copyPath)));
        editWindow->widgets().labelPleaseWait->setText(QStringLiteral("Restore un progress ..."));
        editWindow->widgets().progressBarPleaseWait->setValue(0);
        return true;
    }
    Trace::note(QStringLiteral("No safety copy: %1").arg(QString(problem).replace('\n', ' ')));
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Restore"),
                         QStringLiteral("No safety copy of the device's memory could be made:\n%1\n\n"
                                        "Restore without it? Every memory of the device will be replaced, "
                                        "and what it holds now cannot be got back.")
                             .arg(problem),
                         QMessageBox::Yes | QMessageBox::No);
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes)
        return false;
    editWindow->widgets().labelPleaseWait->setText(QStringLiteral("Restore un progress ..."));
    return true;
}

QString MiniCore::safetyCopyNote() const
{
    if (safety_.path.isEmpty())
        return {};
    return QStringLiteral("\n\nThe device's memory from before the restore is in\n%1\nRestore that file to undo.")
        .arg(shownPath(safety_.path));
}

bool MiniCore::sendRestoreBlocks()
{
    // A checked file ends each block with its only F7.
    const int blockCount = restoreBuffer.count(static_cast<char>(Protocol::kSysExEnd));
    QProgressBar* const bar = editWindow->widgets().progressBarPleaseWait;
    MemoryFile::SendBuffer sendBuffer{};
    int readPosition = 0;
    restoreCompleted_ = false;
    restoreCancelled_ = false;
    sendingBlocks_ = true;
    const auto sent = qScopeGuard([this] { sendingBlocks_ = false; });
    for (int block = 1; readPosition < restoreBuffer.size(); ++block) {
        readPosition = MemoryFile::nextBlock(restoreBuffer, readPosition, sendBuffer);
        bar->setValue(MemoryFile::progressFigure(MemoryFile::blockPosition(sendBuffer.data()), fileHeader.total()));
        // Cleared before sending, so a quick acknowledgement is not lost.
        restoreAck = 0;
        CommandSender::sendRawFrame(sendBuffer.data(), sendBuffer.size());
        const bool acknowledged = awaitAcknowledge();
        if (systemGone_) {
            systemStopSaid_ = true;
            return refuseRestore(QStringLiteral("The MIDI system stopped during the restore, at block %1 of %2, so "
                                                "nothing more reaches the device.\n\n"
                                                "The restore was stopped. Start the MIDI system again, restart "
                                                "Zandorium Uploader, and restore the file again before using the device.")
                                     .arg(block)
                                     .arg(blockCount)
                                 + safetyCopyNote());
        }
        if (deviceGone_)
            return refuseRestore(QStringLiteral("The device was disconnected during the restore, at block %1 of %2.\n\n"
                                                "The restore was stopped and nothing more was sent.\n"
                                                "Restore the file again once the device is back.")
                                     .arg(block)
                                     .arg(blockCount)
                                 + safetyCopyNote());
        if (!acknowledged)
            return refuseRestore(QStringLiteral("The device did not acknowledge block %1 of %2.\n\n"
                                                "The restore was stopped and nothing more was sent.\n"
                                                "Restore the file again before using the device.")
                                     .arg(block)
                                     .arg(blockCount)
                                 + safetyCopyNote());
        restoreAck = 0;
        if (restoreCancelled_ && readPosition < restoreBuffer.size())
            return refuseRestore(QStringLiteral("The restore was cancelled after block %1 of %2.\n\n"
                                                "The restore was stopped and nothing more was sent.\n"
                                                "Restore the file again before using the device.")
                                     .arg(block)
                                     .arg(blockCount)
                                 + safetyCopyNote());
    }
    reportRestoreEnd(blockCount);
    return true;
}

void MiniCore::reportRestoreEnd(int blockCount)
{
    QElapsedTimer waited;
    waited.start();
    while (!restoreCompleted_ && waited.elapsed() < restoreCompleteLimitMs && !deviceGone_ && !systemGone_)
        delayMs(kBlockPacingMs);
    if (restoreCompleted_) {
        dialogText = QStringLiteral("The restore is done: the device acknowledged %1 of\n%2\n"
                                    "and reported its memory restored.")
                         .arg(blockCount == 1 ? QStringLiteral("the only block")
                                              : QStringLiteral("all %1 blocks").arg(blockCount))
                         .arg(shownPath(filePath));
    } else {
        dialogText = QStringLiteral("The device acknowledged all %1 blocks of\n%2\nbut did not report the restore "
                                    "complete within %3 s, so the result could not be confirmed.\n\n"
                                    "Check a few memories on the device, or back it up and compare the two files.")
                         .arg(blockCount)
                         .arg(shownPath(filePath))
                         .arg(restoreCompleteLimitMs / 1000)
                     + safetyCopyNote();
    }
    emit openSignaleTExtDialogOk();
}

bool MiniCore::awaitAcknowledge()
{
    QElapsedTimer waited;
    waited.start();
    do {
        delayMs(kBlockPacingMs);
        if (restoreAck == 1)
            return true;
    } while (waited.elapsed() < acknowledgeLimitMs && !deviceGone_ && !systemGone_);
    return false;
}

bool MiniCore::refuseRestore(const QString& text)
{
    dialogText = text;
    emit openSignaleTExtDialogOk();
    return false;
}
