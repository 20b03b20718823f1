// Backup and restore through the editor's buttons, the real hub and decoder:
// the file dialogs, what is sent and written, the progress panel, and every
// way an operation can end early, each with its message.

#include "app/globals.h"
#include "backup/backuplist.h"
#include "backup/memoryfile.h"
#include "backup/safetycopies.h"
#include "core/minicore.h"
#include "midi/midiconnection.h"
#include "simulator/memoryimage.h"
#include "simulator/simulateddevice.h"
#include "support/hubharness.h"
#include "support/memoryblocks.h"
#include "support/tracecapture.h"
#include "ui/backupswindow.h"
#include "ui/dialogtextok.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"
#include "ui/memoryselect.h"
#include "ui_editwindow.h"

#include <QtTest>
#include <QtWidgets>

#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>

namespace {

using Frames = QList<QByteArray>;
const QByteArray kEnd = deviceFrame("1F 00");
const QByteArray kBackupRequest = deviceFrame("1D 00");
const QByteArray kCancel = "the user cancels";  // in a stream: the progress panel's Cancel clicked there
const QString kCannot = "The backup cannot be restored:\n";
// The device's memory as the safety copies of these tests find it.
const QByteArray kSafetyCopyStream = firstBlock(9, "1.2.3", "now");

// Plays the user: answers the file dialog with path (empty: cancels it) and every
// question Yes or No, reads and closes every message, and keeps what it saw.
class User : public QObject
{
public:
    QString path, question;
    QStringList dialog, messages;  // the file dialog's title, folder and filters
    QList<QUrl> places;            // its side bar
    bool yes = false, nonNative = false, noByDefault = true;
    User() { startTimer(10); }

protected:
    void timerEvent(QTimerEvent*) override
    {
        if (g_dialogTextOk && g_dialogTextOk->isVisible()) {
            messages.append(g_dialogTextOk->findChild<QLabel*>("label")->text());
            g_dialogTextOk->close();
        } else if (auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            question = box->text();
            noByDefault = noByDefault && box->defaultButton() == box->button(QMessageBox::No);
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        } else if (auto* const files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog = QStringList{files->windowTitle(), files->directory().absolutePath()} + files->nameFilters();
            nonNative = files->testOption(QFileDialog::DontUseNativeDialog) && !files->parent();
            places = files->sidebarUrls();
            // As typed into the name box.
            files->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            path.isEmpty() ? files->reject() : static_cast<QDialog*>(files)->accept();
        }
    }
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray versionReply(const QByteArray& data)
{
    return QByteArray::fromHex("F07E10070222") + number28(5) + "1.4.2" + number28(data.size()) + data + "\xF7";
}

struct Restore
{
    QByteArray file;
    QByteArray deviceVersion;  // empty: never reported
    int acks;                  // -1: every block
    int lostAt;                // the block whose sending loses the device; 0: none, -1: gone before
    int sentBlocks;
    QString message;      // its beginning; empty: none
    QString withoutCopy = {};  // the user's answer to going on without a safety copy; empty: the device makes one
    bool confirms = true;      // the device reports the whole restore complete
    bool systemStops = false;  // what goes at lostAt is the MIDI system, not the device
    int cancelAt = 0;          // the block after whose sending the user cancels, and says Yes; -1 the safety copy
    bool fromList = false;     // chosen in the backups window rather than through the Restore button
};

}  // namespace

Q_DECLARE_METATYPE(Restore)

class BackupTest : public QObject
{
    Q_OBJECT

    bool panelShown() const { return ui().groupBoxPleaseWait->isVisibleTo(&harness->editWindow()); }
    bool buttonsEnabled() const { return ui().pushButtonBackup->isEnabled() && ui().pushButtonRestore->isEnabled(); }
    const Ui::EditWindow& ui() const { return harness->editWindow().widgets(); }
    // Plays the device: every frame the editor sends goes to answer, in order.
    std::unique_ptr<QTimer> device(std::function<void(const QByteArray&)> answer) const
    {
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [this, answer, seen = 0]() mutable {
            for (const Frames sent = trace->sentFrames(); seen < sent.size(); ++seen)
                answer(sent.at(seen));
        });
        timer->start(5);
        return timer;
    }
    void startBackup(const QString& path) const
    {
        harness->hub().startBackup();
        harness->hub().setFilePath(path);
        harness->editWindow().showPleaseWait("Backup un progress ...");
    }

    // The backups window's entry for path, or null.
    static QTreeWidgetItem* listed(const QString& path)
    {
        const auto* const tree = BackupsWindow::open().findChild<QTreeWidget*>("treeWidgetBackups");
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            if (tree->topLevelItem(i)->data(1, Qt::UserRole).toString() == QFileInfo(path).absoluteFilePath())
                return tree->topLevelItem(i);
        }
        return nullptr;
    }
    static void chooseInBackupsWindow(const QString& path, const char* button)
    {
        BackupsWindow& window = BackupsWindow::open();
        auto* const tree = window.findChild<QTreeWidget*>("treeWidgetBackups");
        tree->setCurrentItem(listed(path));
        QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TraceCapture> trace;
    std::unique_ptr<HubHarness> harness;
    std::unique_ptr<User> user;
    QList<int> bars;
    QList<QUrl> opened;  // by the desktop, for the program

public slots:
    void openUrl(const QUrl& url) { opened.append(url); }

private slots:
    void cleanup() { user.reset(), harness.reset(), trace.reset(), dir.reset(); }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        trace = std::make_unique<TraceCapture>();
        harness = std::make_unique<HubHarness>();
        user = std::make_unique<User>();
        bars.clear();
        connect(&harness->hub(), &MiniCore::openSignalProgressBarPleaseWait, this, [this](int p) { bars.append(p); });
        harness->editWindow().show();
        QDir::setCurrent(dir->path());
    }

    void backupButton_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing");  // a file there before; empty: none
        QTest::addColumn<QString>("replace");   // the answer to the question; empty: none asked
        QTest::addColumn<QString>("saved");     // empty: nothing sent
        QTest::newRow("cancelled") << "" << "" << "" << "";
        // The question names the file really written, never the name as typed.
        QTest::newRow("replaced") << "bank1" << "bank1.mem" << "yes" << "bank1.mem";
        QTest::newRow("kept") << "bank1.mem" << "bank1.mem" << "no" << "";
        QTest::newRow("upper case over a file") << "x.MEM" << "x.MEM.mem" << "no" << "";
        QTest::newRow("dotted name over a file") << "setlist.v2" << "setlist.v2.mem" << "no" << "";
        QTest::newRow("folder named .mem") << "f.mem/bank" << "f.mem/bank.mem" << "no" << "";
        QTest::newRow("no file name") << "none/" << "" << "" << "";
        QTest::newRow("folder missing") << "none/bank" << "" << "" << "";
        QTest::newRow("typed name exists, not the file") << "setlist.v2" << "setlist.v2" << "" << "setlist.v2.mem";
    }

    void backupButton()
    {
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(QString, replace);
        QFETCH(QString, saved);
        const QByteArray earlier("an earlier backup");
        if (!existing.isEmpty())
            QVERIFY(QDir(dir->path()).mkpath(QFileInfo(existing).path()) && writeFile(dir->filePath(existing), earlier));
        user->yes = replace == "yes";
        user->path = typed.isEmpty() ? typed : dir->filePath(typed);
        QTest::mouseClick(ui().pushButtonBackup, Qt::LeftButton);

        QVERIFY(user->noByDefault);  // as for every question that risks data
        QCOMPARE(user->question.section('\n', 0, 0),
                 replace.isEmpty() ? "" : QDir::toNativeSeparators(dir->filePath(existing)) + " already exists.");
        if (!existing.isEmpty())
            QCOMPARE(readAll(dir->filePath(existing)), earlier);
        QCOMPARE(user->dialog, (QStringList{"Save to file", QDir(dir->path()).absolutePath(), "Zandorium memory files (*.mem)"}));
        QVERIFY(user->nonNative && user->places.contains(QUrl::fromLocalFile(SafetyCopies::folderPath())));
        QCOMPARE(trace->sentFrames(), saved.isEmpty() ? Frames() : Frames{kBackupRequest});
        QCOMPARE(panelShown(), !saved.isEmpty());
        QCOMPARE(ui().pushButtonBackup->isEnabled() + ui().pushButtonRestore->isEnabled(), saved.isEmpty() ? 2 : 0);
        if (saved.isEmpty())
            return;
        QCOMPARE(harness->hub().filePath, dir->filePath(saved));
        QCOMPARE(ui().progressBarPleaseWait->value(), 0);
        QCOMPARE(QFile::exists(dir->filePath(saved)), saved == existing);
    }

    // The simulated unit's whole memory, as it streams it, lands in the file
    // byte for byte and in order.
    void backupFromDevice()
    {
        QElapsedTimer clock;
        clock.start();
        Sim::SimulatedDevice device(Sim::seededState(), Sim::Options{}, &HubHarness::deliver);
        const auto unit = this->device([&](const QByteArray& frame) { device.receive(frame, clock.elapsed()); });
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { device.advanceTo(clock.elapsed()); });
        tick.start(2);
        user->path = dir->filePath("whole");
        QTest::mouseClick(ui().pushButtonBackup, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!panelShown(), 10000);

        const Frames blocks = Sim::dumpBlocks(Sim::buildDump(Sim::seededState().memories, "1.0.3"));
        QCOMPARE(readAll(dir->filePath("whole.mem")), blocks.join());
        QCOMPARE(bars.size(), blocks.size());
    }

    void backupEnds_data()
    {
        QTest::addColumn<QString>("file");   // a.mem holds a good backup before; empty: no backup started, a.mem named
        QTest::addColumn<Frames>("frames");  // all the device sends; an empty one: its ports go
        QTest::addColumn<QList<int>>("expectedBars");  // the first three; -1: a block stored without a figure
        QTest::addColumn<QString>("message");          // a part of it; empty: none
        using Bars = QList<int>;
        const QByteArray first = firstBlock(9, "1.0.3");  // a memory of 9 bytes, all in the first block
        // Three blocks of 28 bytes, a memory of 84.
        const QByteArray opening = firstBlock(84, "1.0.3");
        const QByteArray second = memoryBlock(28, QByteArray(28, 'x'));
        Frames flood{first};
        for (int i = 0; i <= 2097152 / 200; ++i)
            flood.append(memoryBlock(0, QByteArray(189, 'z')));
        QTest::newRow("one block") << "new.mem" << Frames{first, kEnd} << Bars{0} << "";
        QTest::newRow("three over a file")
            << "a.mem" << Frames{opening, second, memoryBlock(56, QByteArray(28, 'y')), kEnd} << Bars{0, 33, 66} << "";
        QTest::newRow("never answers") << "a.mem" << Frames{} << Bars{} << "The device did not answer the backup request within";
        QTest::newRow("stops sending") << "a.mem" << Frames{opening, second} << Bars{0, 33} << "stopped sending its memory";
        QTest::newRow("no block") << "a.mem" << Frames{kEnd} << Bars{} << "The device sent no memory data.";
        QTest::newRow("over 2 MiB") << "a.mem" << flood + Frames{kEnd} << Bars{0, 0, 0} << "more than 2,097,152 bytes";
        QTest::newRow("folder missing") << "none/a.mem" << Frames{first, kEnd} << Bars{0}
                                        << QString("could not be saved to\n<dir>/none/a.mem\n") + strerror(ENOENT);
        QTest::newRow("not started") << "" << Frames{first, kEnd} << Bars{} << "";
        QTest::newRow("stream from mid-way") << "a.mem" << Frames{memoryBlock(40, "x"), memoryBlock(80, "y"), kEnd} << Bars{}
                                             << "The device sent 2 blocks of its memory, but not the first one";
        // The data bytes of B0 07 64 inside the block would be saved as memory.
        QTest::newRow("channel message inside a block")
            << "a.mem" << Frames{opening, QByteArray(second).insert(11, "\xB0\x07\x64"), kEnd} << Bars{0}
            << "Block 2 of the backup came damaged";
        // What was collected is dropped, and what arrives after is not collected.
        QTest::newRow("device disconnected") << "a.mem" << Frames{first, QByteArray(), second, kEnd} << Bars{0}
                                             << "The device was disconnected during the backup.";
        QTest::newRow("total 0") << "a.mem" << Frames{firstBlock(0, "1.0.3"), memoryBlock(5, "x"), kEnd} << Bars{-1, -1}
                                 << kCannot + "The first block gives a memory size of 0.";
        QTest::newRow("version 1.0") << "a.mem" << Frames{firstBlock(9, "1.0"), kEnd} << Bars{0}
                                     << kCannot + "The data version \"1.0\" is not three numbers";
        QTest::newRow("block lost in transport")
            << "a.mem"
            << Frames{firstBlock(160, "1.0.3", QByteArray(15, 'r')), memoryBlock(40, QByteArray(40, 'x')),
                      memoryBlock(120, QByteArray(40, 'z')), kEnd}
            << Bars{0, 25, 75} << kCannot + "Block 3 (from byte 102) is at position 120 where 80 was due";
        // Nothing written, the earlier file kept, and the rest never collected.
        QTest::newRow("cancelled after two blocks")
            << "a.mem" << Frames{opening, second, kCancel, memoryBlock(56, QByteArray(28, 'y')), kEnd} << Bars{0, 33}
            << "";
        QTest::newRow("no earlier file") << "new.mem" << Frames{firstBlock(9, "1.0"), kEnd} << Bars{0}
                                         << kCannot + "The data version \"1.0\" is not three numbers";
    }

    // The device's frames come on a thread of their own, as RtMidi delivers them.
    void backupEnds()
    {
        QFETCH(QString, file);
        QFETCH(Frames, frames);
        QFETCH(QList<int>, expectedBars);
        QFETCH(QString, message);
        message.replace("<dir>", dir->path());  // made for each test
        harness->hub().backupFirstBlockLimitMs = harness->hub().backupSilenceLimitMs = 300;
        const QString path = dir->filePath(file.isEmpty() ? "a.mem" : file);
        const QByteArray good = threeBlockFile();
        QVERIFY(writeFile(dir->filePath("a.mem"), good));
        const bool earlier = QFile::exists(path);
        harness->hub().setFilePath(path);
        if (!file.isEmpty())
            startBackup(path);
        const int lost = frames.indexOf(QByteArray());
        const int cancelled = frames.indexOf(kCancel);
        const int cut = std::max(lost, cancelled);
        std::thread([&] {
            for (const QByteArray& frame : Frames{versionReply("1.0.3")} + frames.mid(0, cut))
                HubHarness::deliver(frame);
        }).join();
        if (lost >= 0)
            harness->hub().deviceLost();
        if (cancelled >= 0)
            QTest::mouseClick(ui().pushButtonCancel, Qt::LeftButton);
        for (const QByteArray& frame : cut < 0 ? Frames() : frames.mid(cut + 1))
            HubHarness::deliver(frame);
        QTest::qWait(50);
        QTRY_COMPARE(user->messages.size(), message.isEmpty() ? 0 : 1);
        // The end of a stream given up, coming late after all.
        HubHarness::deliver(kEnd);

        QCOMPARE(bars.mid(0, 3), expectedBars);
        const bool written = !file.isEmpty() && message.isEmpty() && cancelled < 0;
        const QByteArray stream = frames.mid(0, frames.indexOf(kEnd)).join();
        QCOMPARE(readAll(path), written ? stream : earlier ? good : QByteArray());
        QCOMPARE(QFile::exists(path), written || earlier);
        const QString shown = user->messages.value(0);
        QVERIFY2(shown.contains(message), qPrintable(shown));
        QCOMPARE(shown.contains("An earlier file"), earlier && shown.contains("could not be saved"));
        // What a restore would refuse never takes a file's place: it is kept
        // beside it, under a name no restore offers, and the message names both.
        if (message.startsWith(kCannot)) {
            QCOMPARE(readAll(path + ".unrestorable"), stream);
            QVERIFY2(shown.startsWith(kCannot) && shown.contains(QDir::toNativeSeparators(path) + "\n")
                         && shown.contains(QDir::toNativeSeparators(path + ".unrestorable")),
                     qPrintable(shown));
        }
        QCOMPARE(ui().labelDataVer->text(), QString("Data version 1.0.3"));
        QVERIFY(!panelShown() && buttonsEnabled());
        // What is left of this stream never enters the next backup.
        startBackup(dir->filePath("b.mem"));
        for (const QByteArray& frame : Frames{memoryBlock(500, "x"), firstBlock(9, "1.0.3"), kEnd})
            HubHarness::deliver(frame);
        QTRY_VERIFY(!panelShown());
        QCOMPARE(readAll(dir->filePath("b.mem")), firstBlock(9, "1.0.3"));
    }

    // The device may take its time before the first block, but not between
    // blocks, each of which restarts the wait.
    void backupSlowToStart()
    {
        harness->hub().backupFirstBlockLimitMs = 700;
        harness->hub().backupSilenceLimitMs = 300;
        const Frames stream{firstBlock(84, "1.0.3"), memoryBlock(28, QByteArray(28, 'x')),
                            memoryBlock(56, QByteArray(28, 'y')), kEnd};
        startBackup(dir->filePath("a.mem"));
        for (const QByteArray& frame : stream) {
            QTest::qWait(frame == stream.first() ? 400 : 150);  // the end after the first wait's limit
            HubHarness::deliver(frame);
        }
        QTRY_VERIFY(!panelShown());
        QCOMPARE(readAll(dir->filePath("a.mem")), stream.mid(0, 3).join());
    }

    // A clock once a year ahead: the copies it dated rank behind today's, and
    // neither a restore's copy, nor the one before it, nor the copy being
    // restored is one removed.
    void safetyCopiesAfterTheClockWasAhead()
    {
        QVERIFY(QDir(SafetyCopies::folderPath()).removeRecursively());
        const QDir folder(SafetyCopies::folder());
        const QDateTime ahead = QDateTime::currentDateTime().addYears(1);
        for (int i = 0; i < SafetyCopies::kKept; ++i) {
            const QDateTime dated = ahead.addSecs(i);
            QFile copy(folder.filePath(dated.toString("'before-restore-'yyyy-MM-dd'_'HH-mm-ss'.mem'")));
            QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write("ahead") == 5 && copy.flush());
            QVERIFY(copy.setFileTime(dated, QFileDevice::FileModificationTime));
        }
        // The oldest of them is the one being restored, to undo with.
        QStringList made{folder.filePath(ahead.toString("'before-restore-'yyyy-MM-dd'_'HH-mm-ss'.mem'"))};
        for (int restore = 0; restore < 2; ++restore) {
            made.append(SafetyCopies::newPath());
            QVERIFY(writeFile(made.last(), "now"));
            SafetyCopies::prune(made.last(), made.first());
        }
        const QStringList kept = folder.entryList({"before-restore-*.mem"}, QDir::Files);
        QCOMPARE(kept.size(), SafetyCopies::kKept);
        for (const QString& path : made)
            QVERIFY2(kept.contains(QFileInfo(path).fileName()), qPrintable(path));
    }

    // Newest first, each as a restore would judge it; only a safety copy can
    // be deleted, and only once the user says so.
    void backupsWindow()
    {
        QVERIFY(QDir(SafetyCopies::folderPath()).removeRecursively());
        const Frames stream{firstBlock(56, "1.0.3"), memoryBlock(28, QByteArray(28, 'x')), kEnd};
        startBackup(dir->filePath("a.mem"));
        for (const QByteArray& frame : stream)
            HubHarness::deliver(frame);
        QTRY_VERIFY(!panelShown());
        const QString copy = SafetyCopies::newPath(), damaged = dir->filePath("b.mem");
        QVERIFY(writeFile(damaged, stream.first()));
        BackupList::remember(damaged);
        QVERIFY(writeFile(damaged, stream.first().chopped(1)) && writeFile(copy, kSafetyCopyStream));
        for (const auto& [path, age] : {std::pair{copy, 60}, std::pair{damaged, 120}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite)
                    && file.setFileTime(QDateTime::currentDateTime().addSecs(-age), QFileDevice::FileModificationTime));
        }
        BackupsWindow::open();
        QStringList rows;
        for (const QString& path : {dir->filePath("a.mem"), copy, damaged}) {
            const QTreeWidgetItem* const item = listed(path);
            QVERIFY2(item, qPrintable(path));
            QCOMPARE(item->text(2), QLocale().formattedDataSize(QFileInfo(path).size()));
            rows.append(QStringList{item->text(1), item->text(3), item->text(4), item->text(5)}.join('|'));
        }
        QCOMPARE(rows, (QStringList{QDir::toNativeSeparators(dir->filePath("a.mem")) + "|2|1.0.3|Passes",
                                    "Safety copy: " + QFileInfo(copy).fileName() + "|1|1.2.3|Passes",
                                    QDir::toNativeSeparators(damaged) + "|1||"
                                        + MemoryFile::checkRestoreFile(stream.first().chopped(1))}));
        const auto* const tree = BackupsWindow::open().findChild<QTreeWidget*>("treeWidgetBackups");
        QVERIFY(tree->indexOfTopLevelItem(listed(dir->filePath("a.mem"))) < tree->indexOfTopLevelItem(listed(copy))
                && tree->indexOfTopLevelItem(listed(copy)) < tree->indexOfTopLevelItem(listed(damaged)));

        QDesktopServices::setUrlHandler("file", this, "openUrl");
        chooseInBackupsWindow(damaged, "pushButtonShowInFolder");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(dir->path())});
        auto* const remove = BackupsWindow::open().findChild<QPushButton*>("pushButtonDelete");
        chooseInBackupsWindow(damaged, "pushButtonDelete");
        QVERIFY(!remove->isEnabled() && user->question.isEmpty());
        for (const bool yes : {false, true}) {
            user->yes = yes;
            user->question.clear();
            chooseInBackupsWindow(copy, "pushButtonDelete");
            QTRY_VERIFY(user->question.startsWith("Delete the safety copy\n"));
            QVERIFY(user->noByDefault);
            QTRY_COMPARE(QFile::exists(copy), !yes);
            QCOMPARE(listed(copy) != nullptr, !yes);
        }
    }

    void restore_data()
    {
        QTest::addColumn<Restore>("r");
        const QByteArray good = threeBlockFile("1.2.3");
        const QByteArray v("1.2.3");
        const QString incompatible("Incompatible version.\n\nFile data version %1\nMemory data version %2");
        const QString gone("The device was disconnected during the restore, at block %1 of 3.");
        const QString done("The restore is done: the device acknowledged ");
        QTest::newRow("same version") << Restore{good, v, -1, 0, 3, done + "all 3 blocks of\n<dir>/r.mem\nand reported"};
        QTest::newRow("one block") << Restore{firstBlock(9, "1.2.3"), v, -1, 0, 1, done + "the only block of"};
        QTest::newRow("minor not compared") << Restore{threeBlockFile("1.9.3"), v, -1, 0, 3, done};
        // Every block acknowledged is not the device's word that it took them.
        QTest::newRow("never confirmed")
            << Restore{good, v, -1, 0, 3, "The device acknowledged all 3 blocks of\n<dir>/r.mem\nbut did not report", {}, false};
        QTest::newRow("newer major") << Restore{threeBlockFile("2.0.0"), "1.5.5", -1, 0, 0, incompatible.arg("2.0.0", "1.5.5")};
        QTest::newRow("newer third") << Restore{threeBlockFile("1.0.4"), "1.9.3", -1, 0, 0, incompatible.arg("1.0.4", "1.9.3")};
        QTest::newRow("third alone") << Restore{threeBlockFile("1.0.5"), "2.0.3", -1, 0, 0, incompatible.arg("1.0.5", "2.0.3")};
        QTest::newRow("versions unknown") << Restore{good, "", -1, 0, 0, "The device has not reported"};
        QTest::newRow("bad file") << Restore{good + "x", v, -1, 0, 0, "This file cannot be restored:\n<dir>/r.mem\nThe file does not end"};
        QTest::newRow("no acknowledgement") << Restore{good, v, 0, 0, 1, "The device did not acknowledge block 1 of 3."};
        QTest::newRow("second unanswered") << Restore{good, v, 1, 0, 2, "The device did not acknowledge block 2 of 3."};
        QTest::newRow("device gone at the second") << Restore{good, v, 1, 2, 2, gone.arg(2)};
        QTest::newRow("device gone at the first") << Restore{good, v, 0, 1, 1, gone.arg(1)};
        QTest::newRow("device gone before") << Restore{good, v, -1, -1, 0, "The device is not connected, so nothing can"};
        QTest::newRow("MIDI system stops at the second")
            << Restore{good, v, 1, 2, 2, "The MIDI system stopped during the restore, at block 2 of 3", {}, true, true};
        QTest::newRow("cancelled at the second")
            << Restore{good, v, -1, 0, 2, "The restore was cancelled after block 2 of 3.", {}, true, false, 2};
        QTest::newRow("cancelled in the safety copy") << Restore{good, v, -1, 0, 0, "", {}, true, false, -1};
        QTest::newRow("no copy, the user stops") << Restore{good, v, -1, 0, 0, "", "no"};
        QTest::newRow("no copy, the user goes on") << Restore{good, v, -1, 0, 3, done, "yes"};
        QTest::newRow("from the backups list") << Restore{good, v, -1, 0, 3, done, {}, true, false, 0, true};
        QTest::newRow("bad file from the backups list")
            << Restore{good + "x", v, -1, 0, 0, "This file cannot be restored:\n<dir>/r.mem\nThe file does not end", {}, true, false, 0, true};
    }

    void restore()
    {
        QFETCH(Restore, r);
        QVERIFY(writeFile(dir->filePath("r.mem"), r.file));
        if (!r.deviceVersion.isEmpty())
            HubHarness::deliver(versionReply(r.deviceVersion));
        harness->hub().acknowledgeLimitMs = 400;
        harness->hub().restoreCompleteLimitMs = 300;
        harness->hub().backupFirstBlockLimitMs = 300;
        // An acknowledgement from before the restore must not count for its first block.
        harness->hub().restoreAck = 1;
        // More safety copies than are kept, older than any new one, and named as
        // if taken later (a clock set back): a new copy must stay all the same.
        QVERIFY(QDir(SafetyCopies::folderPath()).removeRecursively());
        const QDir folder(SafetyCopies::folder());
        for (int i = 0; i < SafetyCopies::kKept + 5; ++i) {
            QFile old(folder.filePath(QString("before-restore-2099-01-01_00-00-%1.mem").arg(i, 2, 10, QChar('0'))));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3 && old.flush());
            QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(60 * (i - 100)), QFileDevice::FileModificationTime));
        }
        QList<int> barsAtSend;
        auto* const key = harness->mainWindow().findChild<QPushButton*>("pushButton3");
        qint64 firstBlockAt = -1;
        QElapsedTimer elapsed;
        const Frames copy = r.withoutCopy.isEmpty() ? Frames{kSafetyCopyStream, kEnd} : Frames();  // the safety copy's stream
        const auto unit = device([&](const QByteArray& frame) {
            // The copy's blocks then come all the same: dropped.
            if (frame == kBackupRequest && r.cancelAt < 0)
                QTest::mouseClick(ui().pushButtonCancel, Qt::LeftButton);
            for (const QByteArray& reply : frame == kBackupRequest ? copy : Frames())
                HubHarness::deliver(reply);
            if (frame.mid(5, 1) != "\x1E")  // a memory block
                return;
            barsAtSend.append(ui().progressBarPleaseWait->value());
            if (barsAtSend.size() == 1) {
                firstBlockAt = elapsed.elapsed();
                // A user going on meanwhile: nothing of it may reach the device.
                QVERIFY(!ui().checkBoxBuffer2->isEnabled() && !ui().pushButtonSelectMem->isEnabled() && !key->isEnabled()
                        && !ui().pushButtonClose->isEnabled() && g_midiConnection.holdingOtherFrames());
                QTest::mouseClick(ui().checkBoxBuffer2, Qt::LeftButton);
                QTest::mouseClick(ui().pushButtonWriteMem, Qt::LeftButton);
                QTest::mouseClick(key, Qt::LeftButton);
                // A dialog the device opens meanwhile must not hold the restore.
                HubHarness::deliver(deviceFrame("1A 00"));
            }
            if (barsAtSend.size() == r.cancelAt) {
                user->yes = true;
                QTest::mouseClick(ui().pushButtonCancel, Qt::LeftButton);
            }
            if (barsAtSend.size() == r.lostAt)
                r.systemStops ? harness->hub().midiSystemStopped() : harness->hub().deviceLost();
            else if (r.acks < 0 || r.acks-- > 0)
                HubHarness::deliver(deviceFrame("23 00"));
            if (r.confirms && barsAtSend.size() == r.file.count('\xF7'))
                HubHarness::deliver(deviceFrame("28 00"));
        });
        if (r.lostAt < 0)
            harness->hub().deviceLost();
        user->path = dir->filePath("r.mem");
        user->yes = r.withoutCopy == "yes" || r.fromList;
        if (r.fromList)
            BackupList::remember(user->path);
        elapsed.start();
        r.fromList ? chooseInBackupsWindow(user->path, "pushButtonRestore")
                   : QTest::mouseClick(ui().pushButtonRestore, Qt::LeftButton);
        const qint64 took = elapsed.elapsed();

        QVERIFY(r.fromList ? user->dialog.isEmpty() : user->dialog.value(0) == "Select file" && user->nonNative);
        QVERIFY(r.fromList || user->places.contains(QUrl::fromLocalFile(SafetyCopies::folderPath())));
        // Remembered once the device began to take it.
        QCOMPARE(listed(user->path) != nullptr, r.sentBlocks > 0 || r.fromList);
        QCOMPARE(user->messages.size(), r.message.isEmpty() ? 0 : 1);
        const QString shown = user->messages.value(0);
        QVERIFY2(r.message.isEmpty() || shown.startsWith(QString(r.message).replace("<dir>", dir->path())), qPrintable(shown));
        // A file that passed every check is preceded by a safety copy; without
        // one, the restore goes on only when the user says so.
        const bool requested = r.sentBlocks > 0 || r.withoutCopy == "no" || r.cancelAt < 0;
        const bool copied = requested && r.withoutCopy.isEmpty() && r.cancelAt >= 0;
        const Frames sent = trace->sentFrames();
        const int before = int(r.deviceVersion.isEmpty()) + int(requested);
        const QByteArray blocks = sent.mid(before).join();
        QVERIFY(r.file.startsWith(blocks) && blocks.count('\xF7') == r.sentBlocks);
        QCOMPARE(sent.value(0).mid(5, 1) == "\x09", r.deviceVersion.isEmpty());
        QCOMPARE(sent.value(before - 1) == kBackupRequest, requested);
        QVERIFY(user->noByDefault);
        QCOMPARE(user->question.contains("did not answer the backup request") && user->question.contains("Restore without it?"),
                 !r.withoutCopy.isEmpty());
        QCOMPARE(user->question == "The device will be left with part of the file. Stop the restore?", r.cancelAt > 0);
        const QStringList kept = folder.entryList({"before-restore-*.mem"}, QDir::Files, QDir::Time);
        QCOMPARE(kept.size(), copied ? SafetyCopies::kKept : SafetyCopies::kKept + 5);
        if (copied) {
            QCOMPARE(readAll(folder.filePath(kept.first())), kSafetyCopyStream);
            QVERIFY(!kept.contains("before-restore-2099-01-01_00-00-05.mem"));
            QVERIFY(kept.contains("before-restore-2099-01-01_00-00-06.mem"));
            const QString note = trace->lines().filter("# Safety copy of the device's memory: ").value(0);
            QVERIFY2(note.endsWith(QDir::toNativeSeparators(folder.filePath(kept.first()))), qPrintable(note));
            // Every message but the one that says the restore is done.
            QCOMPARE(shown.endsWith("\nRestore that file to undo."), !shown.startsWith("The restore is done"));
        }
        QCOMPARE(g_memorySelect && g_memorySelect->isVisible(), r.sentBlocks > 0);
        HubHarness::deliver(deviceFrame("1B 00"));
        QVERIFY(ui().checkBoxBuffer2->isEnabled() && key->isEnabled() && !g_midiConnection.holdingOtherFrames());
        QVERIFY(!panelShown() && buttonsEnabled());
        if (r.lostAt > 0)
            QVERIFY2(took - firstBlockAt < harness->hub().acknowledgeLimitMs, "stopped at once, not at the time-out");
        if (r.sentBlocks == 3) {
            QCOMPARE(barsAtSend, (QList<int>{0, 35, 67}));
            QVERIFY2(took - firstBlockAt >= 200, "each block takes at least 100 ms");
        }
    }
};

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
