// Which ports the editor opens: name similarity, the chosen input among
// duplicates, the output paired with it (never one of the editor's own), and
// a port found again after ALSA renumbered it.

#include "midi/midiconnection.h"
#include "midi/portmatching.h"

#include <QtTest>

class PortMatchingTest : public QObject
{
    Q_OBJECT

private slots:
    void similarity_data()
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

    void similarity()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, score);
        QCOMPARE(MidiConnection::nameSimilarity(a, b), score);
        QCOMPARE(MidiConnection::nameSimilarity(b, a), score);
    }

    void findPort_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("found") << QStringList{"A", "B", "C"} << "B" << 1;
        QTest::newRow("last of duplicates") << QStringList{"Dev", "Other", "Dev", "Tail"} << "Dev" << 2;
        QTest::newRow("exact only") << QStringList{"dev", "Dev "} << "Dev" << -1;
        QTest::newRow("empty list") << QStringList{} << "Dev" << -1;
    }

    void findPort()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, name);
        QFETCH(int, index);
        g_midiConnection.portNames = names;
        QCOMPARE(g_midiConnection.findPort(name), index);
    }

    void outputChoice_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<int>("chosen");
        QTest::newRow("most similar")
            << "Zandorium:MIDI 1 in" << QStringList{"Synth:out", "Zandorium:MIDI 1 out", "Through"} << 1;
        QTest::newRow("tie goes to the first") << "ABCD" << QStringList{"ABXX", "ABYY"} << 0;
        QTest::newRow("duplicates") << "Dev" << QStringList{"Other", "Dev", "Dev"} << 1;
        QTest::newRow("nothing alike") << "Dev" << QStringList{"xyz", "uvw"} << 0;
        QTest::newRow("no outputs") << "Dev" << QStringList{} << -1;
        // The editor's own input port is a destination too, and named after the
        // chosen port, so it would be the best match.
        QTest::newRow("own input under JACK")
            << "Unit:MIDI 1" << QStringList{"RtMidi Input Client:Unit:MIDI 1", "Unit-01:MIDI 1"} << 1;
        QTest::newRow("own input alone") << "Unit:MIDI 1" << QStringList{"RtMidi Input Client:Unit:MIDI 1"} << -1;
        QTest::newRow("a second editor's ports")
            << "Unit" << QStringList{"RtMidi Input Client-01:Unit", "RtMidi Output Client-02:Unit"} << -1;
        QTest::newRow("own input under ALSA")
            << "Unit:Unit MIDI 1 24:0"
            << QStringList{"RtMidi Input Client:Unit MIDI 1 24:0 128:0", "Unit:Unit MIDI 1 24:0"} << 1;
        QTest::newRow("a device named like the client")
            << "RtMidi Input Clientele:out" << QStringList{"RtMidi Input Clientele:in"} << 0;
    }

    void outputChoice()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, outputs);
        QFETCH(int, chosen);
        QCOMPARE(PortMatching::bestOutputIndex(input, outputs), chosen);
    }

    void foundAgain_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("same name") << QStringList{"A:x", "Unit:MIDI 1"} << "Unit:MIDI 1" << 1;
        QTest::newRow("ALSA numbered it anew")
            << QStringList{"Midi Through:Port-0 14:0", "Unit:Unit MIDI 1 28:0"} << "Unit:Unit MIDI 1 24:0" << 1;
        QTest::newRow("stored without numbers") << QStringList{"Unit:Unit MIDI 1 28:0"} << "Unit:Unit MIDI 1" << 0;
        QTest::newRow("a number in the name is kept") << QStringList{"Unit:Unit MIDI 2 24:0"} << "Unit:Unit MIDI 1 24:0"
                                                      << -1;
        QTest::newRow("gone") << QStringList{"Other:MIDI 1 20:0"} << "Unit:MIDI 1 24:0" << -1;
        // Back before JACK had removed the client that went: "-01" became "-03".
        QTest::newRow("JACK numbered the client anew") << QStringList{"Unit-03:MIDI 1"} << "Unit-01:MIDI 1" << 0;
        QTest::newRow("JACK's number, not the port's") << QStringList{"Unit:MIDI-01 1"} << "Unit:MIDI-02 1" << -1;
    }

    void foundAgain()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, name);
        QFETCH(int, index);
        QCOMPARE(PortMatching::findStable(names, name), index);
    }
};

QTEST_GUILESS_MAIN(PortMatchingTest)
#include "tst_portmatching.moc"
