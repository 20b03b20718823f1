// Backup files on their own: the whole-file check that stands between a file
// and the device, reading the header and cutting the blocks, the progress
// figure, and reading and saving files.

#include "backup/memoryfile.h"
#include "simulator/devicestate.h"
#include "simulator/memoryimage.h"
#include "support/memoryblocks.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

class MemoryFileTest : public QObject
{
    Q_OBJECT

private slots:
    void check_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("problem");  // a part of the message; empty: accepted
        const QByteArray good = threeBlockFile();
        const QByteArray second = memoryBlock(40, QByteArray(30, 'x'));
        QTest::newRow("three blocks") << good << QString();
        QTest::newRow("one block") << firstBlock(9, "1.0.3") << QString();
        QTest::newRow("19-byte version") << firstBlock(9, "123456789.12345.789") << QString();
        QTest::newRow("200-byte block") << firstBlock(217, "1.0.3") + memoryBlock(28, QByteArray(189, 'z')) << QString();
        QTest::newRow("version with a letter") << firstBlock(9, "2.1.4b") << QString();
        QTest::newRow("empty") << QByteArray() << "empty";
        QTest::newRow("over 2 MiB") << good + QByteArray(2097152, 'x') << "more than the 2,097,152";
        QTest::newRow("cut in a block") << good.left(good.size() - 5) << "last byte is not F7";
        QTest::newRow("201-byte block") << firstBlock(217, "1.0.3") + memoryBlock(28, QByteArray(190, 'z'))
                                        << "Block 2 (from byte 39) is 201 bytes long";
        QTest::newRow("other header") << QByteArray(good).replace(0, 2, QByteArray::fromHex("F07F")) << "Block 1";
        QTest::newRow("other command") << good + QByteArray::fromHex("F07E1007021F00F7") << "not a memory data block";
        QTest::newRow("no position") << good + QByteArray::fromHex("F07E1007021E00F7") << "not a memory data block";
        QTest::newRow("garbage between blocks") << firstBlock(9, "1.0.3") + "zz" + second << "Block 2";
        QTest::newRow("8-bit byte") << good.left(50) + '\x80' + good.mid(51) << "not 7-bit, at byte 50";
        QTest::newRow("first not at 0") << second + good << "not at position 0";
        QTest::newRow("no header") << memoryBlock(0, "short") << "too short to hold the memory header";
        QTest::newRow("total 0") << firstBlock(0, "1.0.3") << "memory size of 0";
        QTest::newRow("20-byte version") << firstBlock(9, "123456789.123456.789") << "20 bytes long, more than 19";
        QTest::newRow("version past block") << firstBlock(9, "1.0.3", "").left(34) + "\xF7" << "runs past the end";
        QTest::newRow("one dot") << firstBlock(9, "1.3") << "\"1.3\" is not three numbers";
        // Read as 1.0.0 before: its blocks reached a device that should have refused them.
        QTest::newRow("NUL in the version") << firstBlock(9, QByteArray("1\0.9.9", 6)) << "\"1\\x00.9.9\" is not three";
        for (const char* version : {"1..3", "1.2.3.4", "a.b.c", "1.0.3 ", "+1.0.3", "1a.0.3", "2.1.4bc"})
            QTest::newRow(version) << firstBlock(9, version) << "not three numbers";

        // The blocks together, on the simulated unit's whole memory (281
        // blocks of 128 and the like), in each layout a device may cut it.
        const auto memories = Sim::seededState().memories;
        const QByteArray whole = Sim::dumpBlocks(Sim::buildDump(memories, "1.0.3")).join();
        // Every memory the simulated unit can send passes, whatever its size.
        for (const int size : {0, 127, 128, 129, 256, 38612, 15087 * 128})
            QTest::addRow("simulated %d", size) << Sim::dumpBlocks(Sim::buildDump(memories, "1.0.3", size)).join() << QString();
        using Kind = Sim::BlockLayout::Kind;
        const std::pair<const char*, Sim::BlockLayout> layouts[] = {
            {"equal", {Kind::Equal, 0}},          {"equal, first longer", {Kind::Equal, 150}},
            {"bytes", {Kind::Bytes, 0}},          {"bytes, first shorter", {Kind::Bytes, 65}},
            {"packed", {Kind::Packed, 0}},        {"packed, first odd", {Kind::Packed, 57}}};
        for (const auto& [name, layout] : layouts) {
            const QList<QByteArray> blocks = Sim::dumpBlocks(Sim::buildDump(memories, "1.0.3"), layout);
            const QByteArray file = blocks.join();
            QList<QByteArray> missing = blocks;
            missing.removeAt(140);
            QList<QByteArray> swapped = blocks;
            swapped.swapItemsAt(10, 11);
            QList<QByteArray> cut = blocks;
            cut[101].chop(11);
            cut[101].append('\xF7');
            QList<QByteArray> lastCut = blocks;
            const int lastContent = lastCut.last().size() - 11;
            lastCut.last().chop(1 + std::max(2, lastContent / 2));
            lastCut.last().append('\xF7');
            QTest::addRow("%s: whole", name) << file << QString();
            QTest::addRow("%s: a block missing", name) << missing.join() << "Block 141 (from byte * was due: a block is missing";
            QTest::addRow("%s: two swapped", name) << swapped.join() << "Block 11 (from byte * was due";
            QTest::addRow("%s: two joined", name) << file + file << "(from byte * starts the memory again";
            QTest::addRow("%s: a middle block cut", name) << cut.join() << "Block 103 (from byte * was due";
            QTest::addRow("%s: cut at a block", name) << blocks.mid(0, 100).join() << "holds only part of it";
            QTest::addRow("%s: the last block cut", name) << lastCut.join() << "too few to reach the end";
        }
        QTest::newRow("first block alone") << whole.left(whole.indexOf('\xF7') + 1) << "only block holds 128 bytes of a memory of";
        QTest::newRow("a block twice") << whole.left(278) + whole.mid(139) << "position 128, not after the block before it (128)";
        QTest::newRow("a step no unit explains") << firstBlock(5000, "1.0.3") + memoryBlock(4000, QByteArray(189, 'z'))
                                                 << "Block 2 (from byte 39) is at position 4000, further than";
        QTest::newRow("a block at the end") << good + memoryBlock(185, QByteArray(30, 'z')) << "position 185, past the end";
        QTest::newRow("a block past the end") << whole + memoryBlock(281 * 128, QByteArray(10, 'x'))
                                              << "Block 282 (from byte 38996) is at position 35968, past the end";
    }

    void check()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, problem);
        const QString found = MemoryFile::checkRestoreFile(file);
        // The parts between "*" stand in the message in that order.
        int from = 0;
        for (const QString& part : problem.split('*')) {
            from = found.indexOf(part, from);
            QVERIFY2(from >= 0, qPrintable(found));
        }
        QVERIFY2(problem.isEmpty() == found.isEmpty(), qPrintable(found));
    }

    // Blocks go out in file order, each exactly as stored, with the filling
    // behind its F7.
    void headerAndBlocks()
    {
        const QList<QByteArray> blocks{firstBlock(37, "10.0.07", "rest"), memoryBlock(31, "mid"), memoryBlock(34, "end")};
        const QByteArray file = blocks.join();
        QCOMPARE(MemoryFile::checkRestoreFile(file), QString());
        const MemoryFile::FileHeader header = MemoryFile::readFileHeader(file);
        QCOMPARE(header.numbers, (std::array<int, 5>{0, 520, 69, 37, 1}));
        QVERIFY((header.version == VersionNumbers{10, 0, 7}));
        MemoryFile::SendBuffer buffer{};
        int readPosition = 0;
        for (const QByteArray& block : blocks) {
            readPosition = MemoryFile::nextBlock(file, readPosition, buffer);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer.data()), block.size()), block);
            QVERIFY(std::all_of(buffer.begin() + block.size(), buffer.end(), [](unsigned char b) { return b == 0xFF; }));
        }
        QCOMPARE(readPosition, file.size());
        QCOMPARE(MemoryFile::blockPosition(buffer.data()), 34);
    }

    // Wide enough for a 28-bit position times 100; never past 100, and 0 without a total.
    void progress()
    {
        const int rows[][3] = {{0, 35905, 0},         {500, 1000, 50},   {339, 1000, 33},
                               {268435455, 268435455, 100}, {2000, 1000, 100}, {50, 0, 0}};
        for (const auto& [position, total, figure] : rows)
            QCOMPARE(MemoryFile::progressFigure(position, total), figure);
    }

    void readFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("problem");
        QTest::newRow("backup") << "good.mem" << QString();
        QTest::newRow("missing") << "missing.mem" << "does not exist";
        QTest::newRow("folder") << "folder.mem" << "not a file";
        QTest::newRow("too large") << "huge.mem" << "3000000 bytes";
    }

    void readFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        QFile huge(dir.filePath("huge.mem"));
        QFile good(dir.filePath("good.mem"));
        QVERIFY(QDir(dir.path()).mkdir("folder.mem") && huge.open(QIODevice::WriteOnly) && huge.resize(3000000));
        QVERIFY(good.open(QIODevice::WriteOnly) && good.write(threeBlockFile()) > 0 && good.flush());
        QString error;
        QByteArray contents;
        QCOMPARE(MemoryFile::readRestoreFile(dir.filePath(name), contents, error), problem.isEmpty());
        QVERIFY2(problem.isEmpty() ? contents == threeBlockFile() : error.contains(problem), qPrintable(error));
    }

    // A write that fails part way (here: the process may not grow files that
    // large) must leave the earlier backup of that name as it was.
    void failedSaveKeepsEarlierFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("bank.mem");
        QString error;
        QVERIFY(MemoryFile::saveFile(path, threeBlockFile(), error));
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const rlimit small{4096, saved.rlim_max};
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const bool written = MemoryFile::saveFile(path, QByteArray(100000, 'x'), error);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        // The system's cause, not Qt's "Unknown error".
        QVERIFY(!written);
        QCOMPARE(error, QString::fromLocal8Bit(std::strerror(EFBIG)) + '.');
        QVERIFY(!MemoryFile::saveFile(dir.filePath("none/bank.mem"), threeBlockFile(), error));
        QCOMPARE(error, QString::fromLocal8Bit(std::strerror(ENOENT)) + '.');
        QByteArray kept;
        QVERIFY(MemoryFile::readRestoreFile(path, kept, error) && kept == threeBlockFile());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"bank.mem"});
    }
};

QTEST_APPLESS_MAIN(MemoryFileTest)
#include "tst_memoryfile.moc"
