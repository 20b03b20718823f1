// Version texts read into three numbers, the way the device's and a backup
// file's versions are compared.

#include "backup/version.h"

#include <QtTest>

Q_DECLARE_METATYPE(VersionNumbers)

class VersionTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void VersionTest::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<VersionNumbers>("expected");

    QTest::newRow("plain") << QByteArray("1.2.3") << VersionNumbers{1, 2, 3};
    QTest::newRow("leading zero") << QByteArray("10.0.07") << VersionNumbers{10, 0, 7};
    QTest::newRow("trailing letter") << QByteArray("2.1.4b") << VersionNumbers{2, 1, 4};
    QTest::newRow("empty") << QByteArray("") << VersionNumbers{};
    QTest::newRow("one dot") << QByteArray("3.9") << VersionNumbers{3, 9, 0};
    QTest::newRow("no digits") << QByteArray("x.y.z") << VersionNumbers{};
    QTest::newRow("four numbers") << QByteArray("1.2.3.4") << VersionNumbers{1, 2, 3};
    QTest::newRow("sign and space") << QByteArray(" 7.+2.-3") << VersionNumbers{7, 2, -3};
    QTest::newRow("too large") << QByteArray("99999999999999.1.1") << VersionNumbers{INT_MAX, 1, 1};
    QTest::newRow("only first 21 characters") << QByteArray("000000000000000000001234.5.6")
                                              << VersionNumbers{1, 5, 6};
}

void VersionTest::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(VersionNumbers, expected);
    const VersionNumbers parsed = parseVersion(text.constData());
    QCOMPARE(parsed.major, expected.major);
    QCOMPARE(parsed.minor, expected.minor);
    QCOMPARE(parsed.third, expected.third);
}

QTEST_APPLESS_MAIN(VersionTest)
#include "tst_version.moc"
