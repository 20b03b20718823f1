// Which ports the editor opens: name similarity, the chosen input among
// duplicates, and the output paired with it.

#include "midi/midiconnection.h"
#include "midi/portmatching.h"

#include <QtTest>

class PortMatchingTest : public QObject
{
    Q_OBJECT

private slots:
    void similarity_data();
    void similarity();
    void findPort_data();
    void findPort();
    void outputChoice_data();
    void outputChoice();
};

void PortMatchingTest::similarity_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("score");
    QTest::newRow("in and out") << "MIDI IN" << "MIDI OUT" << 66;
    QTest::newRow("equal") << "Zandorium MIDI 1" << "Zandorium MIDI 1" << 100;
    QTest::newRow("both empty") << "" << "" << 0;
    QTest::newRow("one empty") << "MIDI" << "" << 0;
    QTest::newRow("case matters") << "midi" << "MIDI" << 0;
    QTest::newRow("no shifting") << "XMIDI" << "MIDI" << 0;
    QTest::newRow("prefix") << "USB" << "USB MIDI" << 54;
    // UTF-16 code units: the accented letter counts once and matches itself.
    QTest::newRow("non-ASCII") << QString::fromUtf8("Pédale") << QString::fromUtf8("Pédalo") << 83;
}

void PortMatchingTest::similarity()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, score);
    QCOMPARE(MidiConnection::nameSimilarity(a, b), score);
    QCOMPARE(MidiConnection::nameSimilarity(b, a), score);
}

void PortMatchingTest::findPort_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::newRow("found") << QStringList{"A", "B", "C"} << "B" << 1;
    QTest::newRow("last of duplicates") << QStringList{"Dev", "Other", "Dev", "Tail"} << "Dev" << 2;
    QTest::newRow("exact only") << QStringList{"dev", "Dev "} << "Dev" << -1;
    QTest::newRow("empty list") << QStringList{} << "Dev" << -1;
}

void PortMatchingTest::findPort()
{
    QFETCH(QStringList, names);
    QFETCH(QString, name);
    QFETCH(int, index);
    g_midiConnection.portNames = names;
    QCOMPARE(g_midiConnection.findPort(name), index);
}

void PortMatchingTest::outputChoice_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<int>("chosen");
    QTest::newRow("most similar")
        << "Zandorium:MIDI 1 in" << QStringList{"Synth:out", "Zandorium:MIDI 1 out", "Through"} << 1;
    QTest::newRow("tie goes to the first") << "ABCD" << QStringList{"ABXX", "ABYY"} << 0;
    QTest::newRow("duplicates") << "Dev" << QStringList{"Other", "Dev", "Dev"} << 1;
    QTest::newRow("no outputs") << "Dev" << QStringList{} << 0;
    QTest::newRow("nothing alike") << "Dev" << QStringList{"xyz", "uvw"} << 0;
}

void PortMatchingTest::outputChoice()
{
    QFETCH(QString, input);
    QFETCH(QStringList, outputs);
    QFETCH(int, chosen);
    QCOMPARE(PortMatching::bestOutputIndex(input, outputs), chosen);
}

QTEST_GUILESS_MAIN(PortMatchingTest)
#include "tst_portmatching.moc"
