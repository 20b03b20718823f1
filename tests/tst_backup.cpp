// Backup and restore through the editor's buttons, the real hub and decoder:
// the file dialogs, what is sent and written, the progress panel, and every
// way an operation can end early, each with its message.

#include "app/globals.h"
#include "backup/memoryfile.h"
#include "backup/safetycopies.h"
#include "midi/midiconnection.h"
#include "core/minicore.h"
#include "simulator/memoryimage.h"
#include "simulator/simulateddevice.h"
#include "support/hubharness.h"
#include "support/memoryblocks.h"
#include "support/tracecapture.h"
#include "ui/dialogtextok.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"
#include "ui/memoryselect.h"
#include "ui_editwindow.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <thread>

namespace {

constexpr int kBackupRequestCommand = 0x1D;
constexpr int kBlockCommand = 0x1E;
// The device's memory as the safety copies of these tests find it.
const QByteArray kSafetyCopyStream = firstBlock(9, "1.2.3", "now");

// Answers the next file dialog with path, or cancels it when path is empty;
// keeps what the dialog looked like.
struct FileDialogAnswer
{
    QString caption;
    QString directory;
    QStringList filters;
    bool nonNative = false;

    explicit FileDialogAnswer(const QString& path)
    {
        QTimer::singleShot(20, [this, path] { answer(path); });
    }

    void answer(const QString& path)
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(20, [this, path] { answer(path); });
            return;
        }
        caption = dialog->windowTitle();
        directory = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog) && !dialog->parent();
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            // As typed into the name box.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        }
    }
};

// Answers every question the program asks, Yes or No; keeps the last text
// and whether No was the default, as it must be for a question that risks data.
class QuestionAnswer : public QObject
{
public:
    QString text;
    bool noByDefault = true;
    explicit QuestionAnswer(bool yes) : yes_(yes) { startTimer(20); }

protected:
    void timerEvent(QTimerEvent*) override
    {
        auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        noByDefault = noByDefault && box->defaultButton() == box->button(QMessageBox::No);
        box->button(yes_ ? QMessageBox::Yes : QMessageBox::No)->click();
    }

private:
    bool yes_;
};

// Reads and closes every message the program shows.
class MessageReader : public QObject
{
public:
    QStringList texts;
    MessageReader() { startTimer(10); }

protected:
    void timerEvent(QTimerEvent*) override
    {
        if (!g_dialogTextOk || !g_dialogTextOk->isVisible())
            return;
        texts.append(g_dialogTextOk->findChild<QLabel*>("label")->text());
        g_dialogTextOk->close();
    }
};

// Plays the device: every frame the editor sends goes to answer, in order.
class Responder : public QObject
{
public:
    Responder(const TraceCapture& trace, std::function<void(const QByteArray&)> answer)
        : trace_(trace), answer_(std::move(answer))
    {
        startTimer(5);
    }

protected:
    void timerEvent(QTimerEvent*) override
    {
        const QList<QByteArray> sent = trace_.sentFrames();
        for (; seen_ < sent.size(); ++seen_)
            answer_(sent.at(seen_));
    }

private:
    const TraceCapture& trace_;
    std::function<void(const QByteArray&)> answer_;
    int seen_ = 0;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray versionReply(const QByteArray& data)
{
    return QByteArray::fromHex("F07E10070222") + number28(5) + "1.4.2" + number28(data.size()) + data
           + QByteArray::fromHex("F7");
}

QList<QByteArray> framesWithCommand(const QList<QByteArray>& frames, int command)
{
    QList<QByteArray> found;
    for (const QByteArray& frame : frames) {
        if (frame.size() > 5 && static_cast<unsigned char>(frame.at(5)) == command)
            found.append(frame);
    }
    return found;
}

QList<QByteArray> blocksOf(const QByteArray& file)
{
    QList<QByteArray> blocks;
    for (int start = 0; start < file.size();) {
        const int end = file.indexOf('\xF7', start) + 1;
        if (end == 0)
            break;
        blocks.append(file.mid(start, end - start));
        start = end;
    }
    return blocks;
}

}  // namespace

class BackupTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void backupButton_data();
    void backupButton();
    void backupFromDevice();
    void backupEnds_data();
    void backupEnds();
    void unrestorableBackupKeepsGoodFile_data();
    void unrestorableBackupKeepsGoodFile();
    void backupSilence();
    void backupFirstWait_data();
    void backupFirstWait();
    void fromInputThread();
    void restore_data();
    void restore();
    void safetyCopy_data();
    void safetyCopy();

private:
    bool panelShown() const { return ui().groupBoxPleaseWait->isVisibleTo(&harness->editWindow()); }
    bool buttonsEnabled() const { return ui().pushButtonBackup->isEnabled() && ui().pushButtonRestore->isEnabled(); }
    const Ui::EditWindow& ui() const { return harness->editWindow().widgets(); }
    void startBackup(const QString& path) const;
    // Plays the device's part in a safety copy: a memory of one block.
    static bool answerSafetyCopy(const QByteArray& frame);
    static QString newestSafetyCopy();

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TraceCapture> trace;
    std::unique_ptr<HubHarness> harness;
    std::unique_ptr<MessageReader> messages;
    QList<int> bars;
};

void BackupTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    trace = std::make_unique<TraceCapture>();
    harness = std::make_unique<HubHarness>();
    messages = std::make_unique<MessageReader>();
    bars.clear();
    connect(&harness->hub(), &MiniCore::openSignalProgressBarPleaseWait, this, [this](int p) {
        if (p >= 0)
            bars.append(p);
    });
    harness->editWindow().show();
    QDir::setCurrent(dir->path());
}

void BackupTest::cleanup()
{
    messages.reset();
    harness.reset();
    trace.reset();
    dir.reset();
}

bool BackupTest::answerSafetyCopy(const QByteArray& frame)
{
    if (framesWithCommand({frame}, kBackupRequestCommand).isEmpty())
        return false;
    HubHarness::deliver(kSafetyCopyStream);
    HubHarness::deliver(deviceFrame("1F 00"));
    return true;
}

QString BackupTest::newestSafetyCopy()
{
    const QDir folder(SafetyCopies::folder());
    const QStringList copies = folder.entryList({"before-restore-*.mem"}, QDir::Files, QDir::Time);
    return copies.isEmpty() ? QString() : folder.filePath(copies.first());
}

void BackupTest::startBackup(const QString& path) const
{
    harness->hub().startBackup();
    harness->hub().setFilePath(path);
    harness->editWindow().showPleaseWait("Backup un progress ...");
}

void BackupTest::backupButton_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("existing");  // a file there before; empty: none
    QTest::addColumn<QString>("replace");   // the answer to the question; empty: none asked
    QTest::addColumn<QString>("saved");     // empty: nothing sent
    QTest::newRow("cancelled") << "" << "" << "" << "";
    QTest::newRow("bare name") << "bank1" << "" << "" << "bank1.mem";
    QTest::newRow("upper case") << "bank1.MEM" << "" << "" << "bank1.MEM.mem";
    QTest::newRow("with extension") << "bank1.mem" << "" << "" << "bank1.mem";
    // The question names the file really written, never the name as typed.
    QTest::newRow("replaced") << "bank1" << "bank1.mem" << "yes" << "bank1.mem";
    QTest::newRow("kept") << "bank1.mem" << "bank1.mem" << "no" << "";
    QTest::newRow("upper case over a file") << "x.MEM" << "x.MEM.mem" << "no" << "";
    QTest::newRow("dotted name over a file") << "setlist.v2" << "setlist.v2.mem" << "no" << "";
    QTest::newRow("folder with a dot") << "s.d/bank" << "s.d/bank.mem" << "no" << "";
    QTest::newRow("typed name exists, not the file") << "setlist.v2" << "setlist.v2" << "" << "setlist.v2.mem";
}

void BackupTest::backupButton()
{
    QFETCH(QString, typed);
    QFETCH(QString, existing);
    QFETCH(QString, replace);
    QFETCH(QString, saved);
    const QByteArray earlier("an earlier backup");
    if (!existing.isEmpty()) {
        QDir(dir->path()).mkpath(QFileInfo(existing).path());
        QFile file(dir->filePath(existing));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    }
    const QuestionAnswer answer(replace == QLatin1String("yes"));
    const QString& question = answer.text;
    const FileDialogAnswer dialog(typed.isEmpty() ? typed : dir->filePath(typed));
    QTest::mouseClick(ui().pushButtonBackup, Qt::LeftButton);

    QVERIFY(answer.noByDefault);
    if (replace.isEmpty())
        QCOMPARE(question, QString());
    else
        QVERIFY2(question.startsWith(QDir::toNativeSeparators(dir->filePath(existing)) + " already exists."),
                 qPrintable(question));
    if (!existing.isEmpty())
        QCOMPARE(readAll(dir->filePath(existing)), earlier);

    QCOMPARE(dialog.caption, QString("Save to file"));
    QCOMPARE(dialog.directory, QDir(dir->path()).absolutePath());
    QCOMPARE(dialog.filters, QStringList{"Zandorium memory files (*.mem)"});
    QVERIFY(dialog.nonNative);
    if (saved.isEmpty()) {
        QVERIFY(trace->sentFrames().isEmpty());
        QVERIFY(!panelShown());
        QVERIFY(buttonsEnabled());
        return;
    }
    QCOMPARE(trace->sentFrames(), QList<QByteArray>{deviceFrame("1D 00")});
    QCOMPARE(harness->hub().filePath, dir->filePath(saved));
    QVERIFY(panelShown());
    QCOMPARE(ui().labelPleaseWait->text(), QString("Backup un progress ..."));
    QCOMPARE(ui().progressBarPleaseWait->value(), 0);
    QVERIFY(!ui().pushButtonBackup->isEnabled() && !ui().pushButtonRestore->isEnabled());
    QCOMPARE(QFile::exists(dir->filePath(saved)), saved == existing);
}

// The simulated unit's whole memory, as it streams it, lands in the file
// byte for byte and in order.
void BackupTest::backupFromDevice()
{
    QElapsedTimer clock;
    clock.start();
    Sim::SimulatedDevice device(Sim::seededState(), Sim::Options{}, &HubHarness::deliver);
    const Responder unit(*trace, [&](const QByteArray& frame) { device.receive(frame, clock.elapsed()); });
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { device.advanceTo(clock.elapsed()); });
    tick.start(2);

    const FileDialogAnswer dialog(dir->filePath("whole"));
    QTest::mouseClick(ui().pushButtonBackup, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!panelShown(), 10000);

    const QList<QByteArray> blocks = Sim::dumpBlocks(Sim::buildDump(Sim::seededState().memories, "1.0.3"));
    QCOMPARE(blocksOf(readAll(dir->filePath("whole.mem"))), blocks);
    QCOMPARE(bars.size(), blocks.size());
    QCOMPARE(bars.first(), 0);
    QVERIFY(buttonsEnabled());
    QCOMPARE(messages->texts, QStringList());
}

void BackupTest::backupEnds_data()
{
    QTest::addColumn<bool>("started");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<QByteArray>>("frames");  // an empty one: the device's ports go
    QTest::addColumn<QList<int>>("expectedBars");
    QTest::addColumn<QString>("message");  // a part of it; empty: none

    const QByteArray end = deviceFrame("1F 00");
    // A memory of 9 bytes, all in the first block.
    const QByteArray first = firstBlock(9, "1.0.3");
    QTest::newRow("one block") << true << "a.mem" << QList<QByteArray>{first, end} << QList<int>{0} << "";
    QTest::newRow("progress") << true << "a.mem"
                              << QList<QByteArray>{firstBlock(1500, "1.0.3"), memoryBlock(500, "x"),
                                                   memoryBlock(1000, "y"), end}
                              << QList<int>{0, 33, 66} << "";
    QTest::newRow("total 0") << true << "a.mem" << QList<QByteArray>{firstBlock(0, "1.0.3"), memoryBlock(5, "x"), end}
                             << QList<int>{} << "The backup cannot be restored:\nThe first block gives a memory size of 0.";
    QTest::newRow("no block") << true << "a.mem" << QList<QByteArray>{end} << QList<int>{}
                              << "The device sent no memory data.";
    QList<QByteArray> flood{first};
    for (int i = 0; i <= 2097152 / 200; ++i)
        flood.append(memoryBlock(0, QByteArray(189, 'z')));
    flood.append(end);
    QTest::newRow("over 2 MiB") << true << "a.mem" << flood << QList<int>{0, 0, 0} << "more than 2,097,152 bytes";
    QTest::newRow("folder missing") << true << "none/a.mem" << QList<QByteArray>{first, end} << QList<int>{0}
                                    << "could not be saved to";
    QTest::newRow("not started") << false << "a.mem" << QList<QByteArray>{first, end} << QList<int>{} << "";
    QTest::newRow("stream from mid-way") << true << "a.mem"
                                         << QList<QByteArray>{memoryBlock(40, "x"), memoryBlock(80, "y"), end}
                                         << QList<int>{} << "The device sent no memory data.";
    // The data bytes of B0 07 64 inside the block would be saved as memory.
    QTest::newRow("channel message inside a block")
        << true << "a.mem"
        << QList<QByteArray>{firstBlock(1500, "1.0.3"), memoryBlock(500, "x").insert(11, "\xB0\x07\x64"), end}
        << QList<int>{0} << "Block 2 of the backup came damaged";
    // What was collected is dropped, and what arrives after is not collected.
    QTest::newRow("device disconnected") << true << "a.mem"
                                         << QList<QByteArray>{first, QByteArray(), memoryBlock(500, "x"), end}
                                         << QList<int>{0} << "The device was disconnected during the backup.";
}

void BackupTest::backupEnds()
{
    QFETCH(bool, started);
    QFETCH(QString, file);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QList<int>, expectedBars);
    QFETCH(QString, message);
    harness->hub().setFilePath(dir->filePath(file));
    if (started)
        startBackup(dir->filePath(file));
    HubSignalLog log(harness->hub());
    for (const QByteArray& frame : frames) {
        if (frame.isEmpty())
            harness->hub().deviceLost();
        else
            HubHarness::deliver(frame);
    }
    QTest::qWait(50);

    QCOMPARE(bars.mid(0, 3), expectedBars);
    const bool written = started && message.isEmpty();
    QCOMPARE(QFile::exists(dir->filePath(file)), written);
    if (written && message.isEmpty())
        QCOMPARE(readAll(dir->filePath(file)), frames.mid(0, frames.size() - 1).join());
    QCOMPARE(messages->texts.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(messages->texts.first().contains(message), qPrintable(messages->texts.first()));
    if (!started)
        QCOMPARE(log.names, QStringList());
    QVERIFY(!panelShown());
    QVERIFY(buttonsEnabled());
}

void BackupTest::unrestorableBackupKeepsGoodFile_data()
{
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("earlier");  // a good file of that name before
    const QByteArray end = deviceFrame("1F 00");
    QTest::newRow("version 1.0") << QList<QByteArray>{firstBlock(9, "1.0"), end} << "\"1.0\" is not three numbers"
                                 << true;
    QTest::newRow("block lost in transport")
        << QList<QByteArray>{firstBlock(160, "1.0.3"), memoryBlock(40, "x"), memoryBlock(120, "z"), end}
        << "Block 3 (from byte 51) is at position 120 where 80 was due" << true;
    QTest::newRow("no earlier file") << QList<QByteArray>{firstBlock(9, "1.0"), end} << "not three numbers" << false;
}

// A backup a restore would refuse never replaces a file: it is kept beside
// it, and the message names both.
void BackupTest::unrestorableBackupKeepsGoodFile()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QString, reason);
    QFETCH(bool, earlier);
    const QString path = dir->filePath("set.mem");
    const QByteArray good = threeBlockFile();
    QString error;
    if (earlier)
        QVERIFY(MemoryFile::saveFile(path, good, error));
    startBackup(path);
    for (const QByteArray& frame : frames)
        HubHarness::deliver(frame);
    QTRY_COMPARE(messages->texts.size(), 1);

    QCOMPARE(QFile::exists(path), earlier);
    if (earlier)
        QCOMPARE(readAll(path), good);
    QCOMPARE(readAll(path + ".unrestorable"), frames.mid(0, frames.size() - 1).join());
    const QString message = messages->texts.first();
    QVERIFY2(message.startsWith("The backup cannot be restored:\n") && message.contains(reason), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(path) + "\n"), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(path + ".unrestorable")), qPrintable(message));
    QVERIFY(!panelShown());
}

// A device may take its time before the first block, but not between
// blocks; what is left of a stream given up never enters the next backup.
void BackupTest::backupFirstWait_data()
{
    QTest::addColumn<int>("firstAfterMs");  // -1: never
    QTest::addColumn<QString>("message");
    QTest::newRow("slow to start") << 400 << "";
    QTest::newRow("never answers") << -1 << "The device did not answer the backup request within";
}

void BackupTest::backupFirstWait()
{
    QFETCH(int, firstAfterMs);
    QFETCH(QString, message);
    harness->hub().backupFirstBlockLimitMs = 700;
    harness->hub().backupSilenceLimitMs = 200;
    const QList<QByteArray> stream{firstBlock(1500, "1.0.3"), memoryBlock(500, "x"), memoryBlock(1000, "y")};
    startBackup(dir->filePath("a.mem"));
    if (firstAfterMs >= 0) {
        QTest::qWait(firstAfterMs);
        for (const QByteArray& block : stream) {
            HubHarness::deliver(block);
            QTest::qWait(100);
        }
        HubHarness::deliver(deviceFrame("1F 00"));
    }
    QTRY_VERIFY(!panelShown());
    QCOMPARE(messages->texts.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QVERIFY2(messages->texts.first().startsWith(message), qPrintable(messages->texts.first()));
        QVERIFY(!QFile::exists(dir->filePath("a.mem")));
        // The stream given up arrives late, then the next backup's own.
        startBackup(dir->filePath("b.mem"));
        for (const QByteArray& block : stream.mid(1) + stream)
            HubHarness::deliver(block);
        HubHarness::deliver(deviceFrame("1F 00"));
        QTRY_VERIFY(!panelShown());
    }
    QCOMPARE(readAll(dir->filePath(message.isEmpty() ? "a.mem" : "b.mem")), stream.join());
}

// A device that stops sending leaves no panel hanging and no file behind,
// even if its end message comes after all.
void BackupTest::backupSilence()
{
    harness->hub().backupSilenceLimitMs = 300;
    startBackup(dir->filePath("a.mem"));
    HubHarness::deliver(firstBlock(1000, "1.0.3"));
    QTest::qWait(200);
    HubHarness::deliver(memoryBlock(500, "x"));
    QTest::qWait(200);
    QVERIFY(panelShown());
    QTRY_COMPARE(messages->texts.size(), 1);
    QCOMPARE(messages->texts.first(),
             QString("The device stopped sending its memory.\n\nThe backup was stopped and no file was written."));
    QVERIFY(!panelShown());
    HubHarness::deliver(deviceFrame("1F 00"));
    QVERIFY(!QFile::exists(dir->filePath("a.mem")));
}

// As RtMidi delivers: the device's frames on a thread of their own, while a
// backup was started and the versions are read on the GUI thread.
void BackupTest::fromInputThread()
{
    const QList<QByteArray> blocks{firstBlock(300, "1.0.3"), memoryBlock(100, "x"), memoryBlock(200, "y")};
    startBackup(dir->filePath("t.mem"));
    std::thread input([&] {
        HubHarness::deliver(versionReply("1.0.3"));
        for (const QByteArray& block : blocks)
            HubHarness::deliver(block);
        HubHarness::deliver(deviceFrame("1F 00"));
    });
    QTRY_VERIFY(!panelShown());
    input.join();
    QCOMPARE(readAll(dir->filePath("t.mem")), blocks.join());
    QCOMPARE(bars, (QList<int>{0, 33, 66}));
    QCOMPARE(ui().labelDataVer->text(), QString("Data version 1.0.3"));
    QVERIFY(harness->hub().versionsReported);
    QCOMPARE(harness->hub().dataVersionString.get(), QString("1.0.3"));
}

void BackupTest::restore_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("deviceVersion");  // empty: never reported
    QTest::addColumn<int>("acks");                  // -1: every block
    QTest::addColumn<int>("lostAt");                // the block whose sending loses the device; 0: none, -1: gone before
    QTest::addColumn<int>("sentBlocks");
    QTest::addColumn<QString>("message");  // its beginning; empty: none

    const QByteArray good = threeBlockFile("1.2.3");
    QTest::newRow("same version") << good << QByteArray("1.2.3") << -1 << 0 << 3 << "";
    QTest::newRow("one block") << firstBlock(9, "1.2.3") << QByteArray("1.2.3") << -1 << 0 << 1 << "";
    QTest::newRow("minor not compared") << threeBlockFile("1.9.3") << QByteArray("1.2.3") << -1 << 0 << 3 << "";
    QTest::newRow("newer major") << threeBlockFile("2.0.0") << QByteArray("1.5.5") << -1 << 0 << 0
                                 << "Incompatible version.\n\nFile data version 2.0.0\nMemory data version 1.5.5";
    QTest::newRow("newer third") << threeBlockFile("1.0.4") << QByteArray("1.9.3") << -1 << 0 << 0
                                 << "Incompatible version.\n\nFile data version 1.0.4\nMemory data version 1.9.3";
    QTest::newRow("third alone") << threeBlockFile("1.0.5") << QByteArray("2.0.3") << -1 << 0 << 0
                                 << "Incompatible version.\n\nFile data version 1.0.5\nMemory data version 2.0.3";
    QTest::newRow("versions unknown") << good << QByteArray() << -1 << 0 << 0 << "The device has not reported";
    QTest::newRow("bad file") << good + "x" << QByteArray("1.2.3") << -1 << 0 << 0
                              << "This file cannot be restored:\nThe file does not end with a complete block";
    QTest::newRow("no acknowledgement") << good << QByteArray("1.2.3") << 0 << 0 << 1
                                        << "The device did not acknowledge block 1 of 3.";
    QTest::newRow("second unanswered") << good << QByteArray("1.2.3") << 1 << 0 << 2
                                       << "The device did not acknowledge block 2 of 3.";
    QTest::newRow("device gone at the second") << good << QByteArray("1.2.3") << 1 << 2 << 2
                                               << "The device was disconnected during the restore, at block 2 of 3.";
    QTest::newRow("device gone at the first") << good << QByteArray("1.2.3") << 0 << 1 << 1
                                              << "The device was disconnected during the restore, at block 1 of 3.";
    QTest::newRow("device gone before") << good << QByteArray("1.2.3") << -1 << -1 << 0
                                        << "The device is not connected, so nothing can be restored.";
}

void BackupTest::restore()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, deviceVersion);
    QFETCH(int, acks);
    QFETCH(int, lostAt);
    QFETCH(int, sentBlocks);
    QFETCH(QString, message);
    const QString path = dir->filePath("r.mem");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    if (!deviceVersion.isEmpty())
        HubHarness::deliver(versionReply(deviceVersion));
    harness->hub().acknowledgeLimitMs = 400;
    // An acknowledgement from before the restore must not count for its first block.
    harness->hub().restoreAck = 1;
    QList<int> barsAtSend;
    auto* const key = harness->mainWindow().findChild<QPushButton*>("pushButton3");
    bool lockedDuring = false;
    qint64 firstBlockAt = -1;
    QElapsedTimer elapsed;
    const Responder device(*trace, [&](const QByteArray& frame) {
        if (answerSafetyCopy(frame) || framesWithCommand({frame}, kBlockCommand).isEmpty())
            return;
        barsAtSend.append(ui().progressBarPleaseWait->value());
        if (barsAtSend.size() == 1) {
            firstBlockAt = elapsed.elapsed();
            // A user going on meanwhile: nothing of it may reach the device.
            lockedDuring = !ui().checkBoxBuffer2->isEnabled() && !ui().pushButtonSelectMem->isEnabled()
                           && !key->isEnabled() && !ui().pushButtonClose->isEnabled()
                           && g_midiConnection.holdingOtherFrames();
            QTest::mouseClick(ui().checkBoxBuffer2, Qt::LeftButton);
            QTest::mouseClick(ui().pushButtonWriteMem, Qt::LeftButton);
            QTest::mouseClick(key, Qt::LeftButton);
            // A dialog the device opens meanwhile must not hold the restore.
            HubHarness::deliver(deviceFrame("1A 00"));
        }
        if (barsAtSend.size() == lostAt)
            harness->hub().deviceLost();
        else if (acks < 0 || acks-- > 0)
            HubHarness::deliver(deviceFrame("23 00"));
    });

    if (lostAt < 0)
        harness->hub().deviceLost();
    elapsed.start();
    const FileDialogAnswer dialog(path);
    QTest::mouseClick(ui().pushButtonRestore, Qt::LeftButton);
    QCOMPARE(dialog.caption, QString("Select file"));
    QVERIFY(dialog.nonNative);

    const QList<QByteArray> sent = framesWithCommand(trace->sentFrames(), kBlockCommand);
    QCOMPARE(sent, blocksOf(file).mid(0, sentBlocks));
    QCOMPARE(messages->texts.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(messages->texts.first().startsWith(message), qPrintable(messages->texts.first()));
    QCOMPARE(framesWithCommand(trace->sentFrames(), 0x09).size(), deviceVersion.isEmpty() ? 1 : 0);
    // A file that passed every check is preceded by a safety copy.
    const bool copied = sentBlocks > 0;
    QCOMPARE(framesWithCommand(trace->sentFrames(), kBackupRequestCommand).size(), copied ? 1 : 0);
    QCOMPARE(trace->sentFrames().size(), sentBlocks + (deviceVersion.isEmpty() ? 1 : 0) + (copied ? 1 : 0));
    if (copied) {
        QCOMPARE(readAll(newestSafetyCopy()), kSafetyCopyStream);
        if (!message.isEmpty())
            QVERIFY2(messages->texts.first().endsWith("\nRestore that file to undo."), qPrintable(messages->texts.first()));
    }
    QCOMPARE(lockedDuring, sentBlocks > 0);
    QCOMPARE(g_memorySelect && g_memorySelect->isVisible(), sentBlocks > 0);
    HubHarness::deliver(deviceFrame("1B 00"));
    QVERIFY(ui().checkBoxBuffer2->isEnabled() && key->isEnabled() && !g_midiConnection.holdingOtherFrames());
    QVERIFY(!panelShown());
    QVERIFY(buttonsEnabled());
    if (lostAt > 0)
        QVERIFY2(elapsed.elapsed() - firstBlockAt < harness->hub().acknowledgeLimitMs,
                 "stopped at once, not at the time-out");
    if (sentBlocks == 3 && message.isEmpty()) {
        QCOMPARE(barsAtSend, (QList<int>{0, 33, 66}));
        QVERIFY2(elapsed.elapsed() - firstBlockAt >= 200, "each block takes at least 100 ms");
    }
}

void BackupTest::safetyCopy_data()
{
    QTest::addColumn<bool>("deviceAnswers");
    QTest::addColumn<bool>("goOn");  // the answer to the question, when asked
    QTest::addColumn<int>("sentBlocks");
    QTest::newRow("copy made") << true << false << 3;
    QTest::newRow("no copy, the user stops") << false << false << 0;
    QTest::newRow("no copy, the user goes on") << false << true << 3;
}

// Before a restore replaces every memory, the device's memory is saved to a
// dated file; without it, the restore goes on only when the user says so.
void BackupTest::safetyCopy()
{
    QFETCH(bool, deviceAnswers);
    QFETCH(bool, goOn);
    QFETCH(int, sentBlocks);
    const QByteArray file = threeBlockFile("1.2.3");
    const QString path = dir->filePath("r.mem");
    QString error;
    QVERIFY(MemoryFile::saveFile(path, file, error));
    HubHarness::deliver(versionReply("1.2.3"));
    harness->hub().backupFirstBlockLimitMs = 300;
    // More than the kept number, older than any new one, and named as if
    // taken later (a clock set back): the new copy must stay all the same.
    const QString folder = SafetyCopies::folder();
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        QFile::remove(folder + "/" + name);
    for (int i = 0; i < SafetyCopies::kKept + 5; ++i) {
        QFile old(folder + QString("/before-restore-2099-01-01_00-00-%1.mem").arg(i, 2, 10, QChar('0')));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3 && old.flush());
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(60 * (i - 100)), QFileDevice::FileModificationTime));
    }
    const QuestionAnswer answer(goOn);
    const QString& question = answer.text;
    const Responder device(*trace, [&](const QByteArray& frame) {
        if (deviceAnswers && answerSafetyCopy(frame))
            return;
        if (!framesWithCommand({frame}, kBlockCommand).isEmpty())
            HubHarness::deliver(deviceFrame("23 00"));
    });
    const FileDialogAnswer dialog(path);
    QTest::mouseClick(ui().pushButtonRestore, Qt::LeftButton);

    QCOMPARE(framesWithCommand(trace->sentFrames(), kBlockCommand), blocksOf(file).mid(0, sentBlocks));
    QCOMPARE(question.isEmpty(), deviceAnswers);
    QVERIFY(answer.noByDefault);
    if (!deviceAnswers)
        QVERIFY2(question.contains("did not answer the backup request") && question.contains("Restore without it?"),
                 qPrintable(question));
    QCOMPARE(messages->texts, QStringList());
    QVERIFY(!panelShown());
    const QStringList kept = QDir(folder).entryList({"before-restore-*.mem"}, QDir::Files, QDir::Name);
    QCOMPARE(kept.size(), deviceAnswers ? SafetyCopies::kKept : SafetyCopies::kKept + 5);
    if (deviceAnswers) {
        QCOMPARE(readAll(newestSafetyCopy()), kSafetyCopyStream);
        QVERIFY(!kept.contains("before-restore-2099-01-01_00-00-05.mem"));
        QVERIFY(kept.contains("before-restore-2099-01-01_00-00-06.mem"));
        const QString note = trace->lines().filter("# Safety copy of the device's memory: ").value(0);
        QVERIFY2(note.endsWith(QDir::toNativeSeparators(newestSafetyCopy())), qPrintable(note));
    }
    for (const QString& name : kept)
        QFile::remove(folder + "/" + name);
}

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
