// Version texts read into three numbers, the way the device's and a backup
// file's versions are compared.

#include "backup/version.h"

#include <QtTest>

class VersionTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QVector<int>>("expected");  // major, minor, third
        QTest::newRow("plain") << QByteArray("1.2.3") << QVector<int>{1, 2, 3};
        QTest::newRow("leading zero") << QByteArray("10.0.07") << QVector<int>{10, 0, 7};
        QTest::newRow("trailing letter") << QByteArray("2.1.4b") << QVector<int>{2, 1, 4};
        QTest::newRow("empty") << QByteArray("") << QVector<int>{0, 0, 0};
        QTest::newRow("one dot, nothing read past its end") << QByteArray("3.9\0" "7", 5) << QVector<int>{3, 9, 0};
        QTest::newRow("no digits") << QByteArray("x.y.z") << QVector<int>{0, 0, 0};
        QTest::newRow("four numbers") << QByteArray("1.2.3.4") << QVector<int>{1, 2, 3};
        QTest::newRow("sign and space") << QByteArray(" 7.+2.-3") << QVector<int>{7, 2, -3};
        QTest::newRow("one past the largest") << QByteArray("2147483648.1.1") << QVector<int>{INT_MAX, 1, 1};
        QTest::newRow("only first 21 characters") << QByteArray("000000000000000000001234.5.6") << QVector<int>{1, 5, 6};
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QVector<int>, expected);
        const VersionNumbers parsed = parseVersion(text.constData());
        QCOMPARE((QVector<int>{parsed.major, parsed.minor, parsed.third}), expected);
    }
};

QTEST_APPLESS_MAIN(VersionTest)
#include "tst_version.moc"
