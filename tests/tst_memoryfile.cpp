// Backup files on their own: the name rule, the whole-file check that stands
// between a file and the device, reading the header and cutting the blocks,
// the progress figure, and reading and saving files.

#include "backup/memoryfile.h"
#include "simulator/devicestate.h"
#include "simulator/memoryimage.h"
#include "support/memoryblocks.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

class MemoryFileTest : public QObject
{
    Q_OBJECT

private slots:
    void extension_data();
    void extension();
    void check_data();
    void check();
    void simulatedBackups_data();
    void simulatedBackups();
    void headerAndBlocks();
    void progress_data();
    void progress();
    void readFile_data();
    void readFile();
    void failedSaveKeepsEarlierFile();
};

void MemoryFileTest::extension_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");
    QTest::newRow("bare") << "bank1" << "bank1.mem";
    QTest::newRow("upper case") << "bank1.MEM" << "bank1.MEM.mem";
    QTest::newRow("already") << "bank1.mem" << "bank1.mem";
    QTest::newRow("folder named .mem") << "a.mem/x" << "a.mem/x.mem";
}

void MemoryFileTest::extension()
{
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    QCOMPARE(MemoryFile::ensureMemExtension(chosen), saved);
}

void MemoryFileTest::check_data()
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
    QTest::newRow("byte after the last F7") << good + 'x' << "last byte is not F7";
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
    QTest::newRow("version past block") << firstBlock(9, "1.0.3", "").left(34) + QByteArray::fromHex("F7")
                                        << "runs past the end";
    QTest::newRow("one dot") << firstBlock(9, "1.3") << "\"1.3\" is not three numbers";
    QTest::newRow("empty number") << firstBlock(9, "1..3") << "not three numbers";
    QTest::newRow("four numbers") << firstBlock(9, "1.2.3.4") << "not three numbers";
    QTest::newRow("no digits") << firstBlock(9, "a.b.c") << "not three numbers";
    // Read as 1.0.0 before: its blocks reached a device that should have refused them.
    QTest::newRow("NUL in the version") << firstBlock(9, QByteArray("1\0.9.9", 6)) << "\"1\\x00.9.9\" is not three";
    QTest::newRow("space in the version") << firstBlock(9, "1.0.3 ") << "not three numbers";
    QTest::newRow("sign in the version") << firstBlock(9, "+1.0.3") << "not three numbers";
    QTest::newRow("letter in the major") << firstBlock(9, "1a.0.3") << "not three numbers";
    QTest::newRow("two letters at the end") << firstBlock(9, "2.1.4bc") << "not three numbers";

    // The blocks together, on the simulated unit's whole memory (281 blocks).
    const QList<QByteArray> blocks = Sim::dumpBlocks(Sim::buildDump(Sim::seededState().memories, "1.0.3"));
    const QByteArray whole = blocks.join();
    QList<QByteArray> swapped = blocks;
    swapped.swapItemsAt(10, 11);
    QList<QByteArray> missing = blocks;
    missing.removeAt(140);
    QTest::newRow("whole memory") << whole << QString();
    QTest::newRow("cut at a block") << blocks.mid(0, 100).join() << "holds only part of it";
    QTest::newRow("last block missing") << blocks.mid(0, blocks.size() - 1).join() << "holds only part of it";
    QTest::newRow("first block alone") << blocks.first() << "only block holds 128 bytes of a memory of";
    QTest::newRow("a block missing") << missing.join() << "Block 141 (from byte 19460) is at position 18048 where 17920 was due";
    QTest::newRow("two blocks swapped") << swapped.join() << "Block 11 (from byte 1390) is at position 1408 where 1280 was due";
    QTest::newRow("two backups joined") << whole + whole
                                        << QString("Block 282 (from byte %1) starts the memory again").arg(whole.size());
    QTest::newRow("a block twice") << whole.left(139 * 2) + whole.mid(139) << "Block 3 (from byte 278) is at position 128";
    // Accepted by the check before, refused by the unit partway, or never
    // reported complete.
    QTest::newRow("a block past the end")
        << whole + memoryBlock(blocks.size() * 128, QByteArray(10, 'x')) << "Block 282 (from byte 38996) is at position 35968, past the end";
    QTest::newRow("a middle block cut")
        << blocks.mid(0, 101).join() + blocks.at(101).left(129) + "\xF7" + blocks.mid(102).join()
        << "Block 102 (from byte 14039) holds 119 bytes where the blocks before it hold 128.";
    QTest::newRow("the last block cut") << whole.left(whole.size() - 11) + "\xF7" << "too few to reach the end";
}

void MemoryFileTest::check()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, problem);
    const QString found = MemoryFile::checkRestoreFile(file);
    if (problem.isEmpty())
        QCOMPARE(found, QString());
    else
        QVERIFY2(found.contains(problem), qPrintable(found));
}

// Every memory the simulated unit can send passes, whatever its size.
void MemoryFileTest::simulatedBackups_data()
{
    QTest::addColumn<int>("dumpSize");
    for (const int size : {0, 127, 128, 129, 256, 38612, 15087 * 128})
        QTest::newRow(qPrintable(QString::number(size))) << size;
}

void MemoryFileTest::simulatedBackups()
{
    QFETCH(int, dumpSize);
    const QByteArray dump = Sim::buildDump(Sim::seededState().memories, "1.0.3", dumpSize);
    QCOMPARE(MemoryFile::checkRestoreFile(Sim::dumpBlocks(dump).join()), QString());
}

// Blocks go out in file order, each exactly as stored, with the filling
// behind its F7.
void MemoryFileTest::headerAndBlocks()
{
    const QByteArray blocks[] = {firstBlock(300, "10.0.07", "rest"), memoryBlock(100, "middle"),
                                 memoryBlock(200, "ending")};
    const QByteArray file = blocks[0] + blocks[1] + blocks[2];
    QCOMPARE(MemoryFile::checkRestoreFile(file), QString());

    const MemoryFile::FileHeader header = MemoryFile::readFileHeader(file);
    QCOMPARE(header.numbers, (std::array<int, 5>{0, 520, 69, 300, 1}));
    QCOMPARE(header.total(), 300);
    QCOMPARE(header.versionText, QByteArray("10.0.07"));
    QCOMPARE(header.versionString, QString("10.0.07"));
    QVERIFY((header.version == VersionNumbers{10, 0, 7}));

    MemoryFile::SendBuffer buffer{};
    int readPosition = 0;
    for (const QByteArray& block : blocks) {
        readPosition = MemoryFile::nextBlock(file, readPosition, buffer);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer.data()), block.size()), block);
        QVERIFY(std::all_of(buffer.begin() + block.size(), buffer.end(), [](unsigned char b) { return b == 0xFF; }));
    }
    QCOMPARE(readPosition, file.size());
    QCOMPARE(MemoryFile::blockPosition(buffer.data()), 200);
}

void MemoryFileTest::progress_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("figure");
    QTest::newRow("first block") << 0 << 35905 << 0;
    QTest::newRow("half") << 500 << 1000 << 50;
    QTest::newRow("33.9 %") << 339 << 1000 << 33;
    QTest::newRow("largest position") << 268435455 << 268435455 << 100;
    QTest::newRow("past the total") << 2000 << 1000 << 100;
    QTest::newRow("no total") << 50 << 0 << 0;
}

void MemoryFileTest::progress()
{
    QFETCH(int, position);
    QFETCH(int, total);
    QFETCH(int, figure);
    QCOMPARE(MemoryFile::progressFigure(position, total), figure);
}

void MemoryFileTest::readFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("problem");
    QTest::newRow("backup") << "good.mem" << qint64(threeBlockFile().size()) << QString();
    QTest::newRow("missing") << "missing.mem" << qint64(-1) << "does not exist";
    QTest::newRow("folder") << "folder.mem" << qint64(-1) << "not a file";
    QTest::newRow("too large") << "huge.mem" << qint64(3000000) << "3000000 bytes";
}

void MemoryFileTest::readFile()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder.mem"));
    QFile huge(dir.filePath("huge.mem"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(3000000));
    huge.close();
    QFile good(dir.filePath("good.mem"));
    QVERIFY(good.open(QIODevice::WriteOnly) && good.write(threeBlockFile()) > 0);
    good.close();

    QString error;
    QCOMPARE(MemoryFile::fileSize(dir.filePath(name), error), size);
    QByteArray contents;
    QCOMPARE(MemoryFile::readRestoreFile(dir.filePath(name), contents, error), problem.isEmpty());
    if (problem.isEmpty())
        QCOMPARE(contents, threeBlockFile());
    else
        QVERIFY2(error.contains(problem), qPrintable(error));
}

// A write that fails part way (here: the process may not grow files that
// large) must leave the earlier backup of that name as it was.
void MemoryFileTest::failedSaveKeepsEarlierFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bank.mem");
    QString error;
    QVERIFY(MemoryFile::saveFile(path, threeBlockFile(), error));

    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool saved2 = MemoryFile::saveFile(path, QByteArray(100000, 'x'), error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!saved2);
    QVERIFY(!error.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), threeBlockFile());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"bank.mem"});
}

QTEST_APPLESS_MAIN(MemoryFileTest)
#include "tst_memoryfile.moc"
