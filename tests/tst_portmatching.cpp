// Which ports the editor opens: name similarity, the chosen input among
// duplicates, the output paired with it (its own client's, never one of the
// editor's own), a port found again after ALSA or JACK renumbered it and never
// another unit of its name, and the port remembered across sessions.

#include "midi/midiconnection.h"
#include "midi/portmatching.h"

#include <QtTest>

#include <algorithm>
#include <iterator>

using Naming = PortMatching::Naming;
Q_DECLARE_METATYPE(PortMatching::Naming)

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
        QTest::addColumn<Naming>("naming");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<int>("rivals");
        const QString through = QStringLiteral("Midi Through:Midi Through Port-0 14:0");
        QTest::newRow("most similar") << Naming::Plain << "Zandorium:MIDI 1 in"
                                      << QStringList{"Synth:out", "Zandorium:MIDI 1 out", "Through"} << 1 << 0;
        QTest::newRow("tie goes to the first") << Naming::Plain << "ABCD" << QStringList{"ABXX", "ABYY"} << 0 << 0;
        QTest::newRow("duplicates") << Naming::Plain << "Dev" << QStringList{"Other", "Dev", "Dev"} << 1 << 0;
        QTest::newRow("nothing alike") << Naming::Plain << "Dev" << QStringList{"xyz", "uvw"} << 0 << 0;
        QTest::newRow("no outputs") << Naming::Alsa << "Dev:Dev 24:0" << QStringList{} << -1 << 0;
        // A USB interface's port is input and output at once.
        QTest::newRow("ALSA: the input's own port")
            << Naming::Alsa << "Zandorium:Zandorium MIDI 1 20:0"
            << QStringList{through, "Zandorium:Zandorium MIDI 1 20:0"} << 1 << 0;
        QTest::newRow("ALSA: never another client")
            << Naming::Alsa << "Talker:MIDI 1 130:0" << QStringList{through, "Synth:MIDI 1 131:0"} << -1 << 0;
        QTest::newRow("ALSA: two units of one name, the chosen one's")
            << Naming::Alsa << "Zandorium:Zandorium MIDI 1 24:0"
            << QStringList{"Zandorium:Zandorium MIDI 1 20:0", "Zandorium:Zandorium MIDI 1 24:0"} << 1 << 0;
        QTest::newRow("ALSA: the like port of a client of many")
            << Naming::Alsa << "Box:Box MIDI 2 24:1"
            << QStringList{"Box:Box MIDI 1 24:0", "Box:Box MIDI 2 24:1", "Box:Box MIDI 3 24:2"} << 1 << 0;
        QTest::newRow("ALSA: RtMidi's client for each direction")
            << Naming::Alsa << "Unit:Unit MIDI 1 130:0" << QStringList{through, "Unit:Unit MIDI 1 129:0"} << 1 << 0;
        QTest::newRow("ALSA: two programs of one name: no guess")
            << Naming::Alsa << "Unit:Unit MIDI 1 130:0"
            << QStringList{"Unit:Unit MIDI 1 129:0", through, "Unit:Unit MIDI 1 131:0"} << -1 << 2;
        QTest::newRow("ALSA: JACK's numbering is a name")
            << Naming::Alsa << "Unit-01:MIDI 1 130:0" << QStringList{"Unit:MIDI 1 129:0"} << -1 << 0;
        QTest::newRow("own input under ALSA")
            << Naming::Alsa << "Unit:Unit MIDI 1 24:0"
            << QStringList{"RtMidi Input Client:Unit MIDI 1 24:0 128:0", "Unit:Unit MIDI 1 24:0"} << 1 << 0;
        QTest::newRow("JACK: RtMidi's client for each direction")
            << Naming::Jack << "Zandorium-01:Zandorium MIDI 1"
            << QStringList{"RtMidi Input Client:Zandorium-01:Zandorium MIDI 1", "Zandorium:Zandorium MIDI 1"} << 1
            << 0;
        QTest::newRow("JACK: two units of one name: no guess")
            << Naming::Jack << "Zandorium-01:Zandorium MIDI 1"
            << QStringList{"Zandorium:Zandorium MIDI 1", "Zandorium-02:Zandorium MIDI 1"} << -1 << 2;
        QTest::newRow("JACK: a program named with a number")
            << Naming::Jack << "Unit-07-01:Zandorium MIDI 1" << QStringList{"Unit-08:Zandorium MIDI 1", "Unit-07:Zandorium MIDI 1"}
            << 1 << 0;
        QTest::newRow("ALSA: never the sequencer's own loop")
            << Naming::Alsa << through << QStringList{through, "Synth:MIDI 1 131:0"} << -1 << 0;
        QTest::newRow("JACK: a bridge's client")
            << Naming::Jack << "a2j:Unit [20] (capture): Unit MIDI 1"
            << QStringList{"a2j:Other [24] (playback): Other MIDI 1", "a2j:Unit [20] (playback): Unit MIDI 1"} << 1
            << 0;
        // The editor's own input port is a destination too, and named after the
        // chosen port, so it would be the best match.
        QTest::newRow("own input alone")
            << Naming::Jack << "Unit:MIDI 1" << QStringList{"RtMidi Input Client:Unit:MIDI 1"} << -1 << 0;
        QTest::newRow("a second editor's ports")
            << Naming::Plain << "Unit" << QStringList{"RtMidi Input Client-01:Unit", "RtMidi Output Client-02:Unit"}
            << -1 << 0;
        QTest::newRow("a device named like the client")
            << Naming::Plain << "RtMidi Input Clientele:out" << QStringList{"RtMidi Input Clientele:in"} << 0 << 0;
    }

    void outputChoice()
    {
        QFETCH(Naming, naming);
        QFETCH(QString, input);
        QFETCH(QStringList, outputs);
        QFETCH(int, chosen);
        QFETCH(int, rivals);
        const PortMatching::Match match = PortMatching::pairOutput(input, outputs, naming);
        QCOMPARE(match.index, chosen);
        QCOMPARE(match.rivals.size(), rivals);
    }

    // Within a session: among the ports of its stable name, those plugged in
    // where it was, else those that were no other unit's meanwhile; of them the
    // exact name, or the only one. "name|where" gives a port's location.
    void foundAgain_data()
    {
        QTest::addColumn<Naming>("naming");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("lost");
        QTest::addColumn<QStringList>("others");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("rivals");
        const QString unit20 = QStringLiteral("Zandorium:Zandorium MIDI 1 20:0");
        const QString unit24 = QStringLiteral("Zandorium:Zandorium MIDI 1 24:0");
        const QString unit28 = QStringLiteral("Zandorium:Zandorium MIDI 1 28:0");
        const QString socket1 = QStringLiteral("|at usb-1");
        const QString socket2 = QStringLiteral("|at usb-2");
        QTest::newRow("same name") << Naming::Alsa << QStringList{"A:x 14:0", unit20} << unit20 << QStringList{} << 1
                                   << 0;
        QTest::newRow("ALSA numbered it anew") << Naming::Alsa << QStringList{"Midi Through:Port-0 14:0", unit28}
                                               << unit24 << QStringList{} << 1 << 0;
        QTest::newRow("a number in the name is kept")
            << Naming::Alsa << QStringList{"Unit:Unit MIDI 2 24:0"} << "Unit:Unit MIDI 1 24:0" << QStringList{} << -1
            << 0;
        QTest::newRow("gone") << Naming::Alsa << QStringList{"Other:MIDI 1 20:0"} << unit24 << QStringList{} << -1
                              << 0;
        QTest::newRow("the other unit of the name is never taken")
            << Naming::Alsa << QStringList{unit24} << unit20 << QStringList{unit24} << -1 << 0;
        QTest::newRow("back beside the other unit")
            << Naming::Alsa << QStringList{unit24, unit28} << unit20 << QStringList{unit24} << 1 << 0;
        QTest::newRow("two come: no guess") << Naming::Alsa << QStringList{unit24, unit28} << unit20 << QStringList{}
                                            << -1 << 2;
        QTest::newRow("ALSA keeps a client's -07")
            << Naming::Alsa << QStringList{"Unit:MIDI 1 24:0"} << "Unit-07:MIDI 1 20:0" << QStringList{} << -1 << 0;
        // Both went; the other came back first, at the number the device had.
        QTest::newRow("the other unit at the device's old number")
            << Naming::Alsa << QStringList{unit20 + socket2} << unit20 + socket1 << QStringList{unit28 + socket2} << -1
            << 0;
        QTest::newRow("the device at the other's old number")
            << Naming::Alsa << QStringList{unit20 + socket2, unit28 + socket1} << unit20 + socket1
            << QStringList{unit28 + socket2} << 1 << 0;
        QTest::newRow("moved to another socket") << Naming::Alsa << QStringList{unit24 + "|at usb-3"}
                                                 << unit20 + socket1 << QStringList{} << 0 << 0;
        // Back before JACK had removed the client that went: "-01" became "-03".
        QTest::newRow("JACK numbered the client anew")
            << Naming::Jack << QStringList{"Unit-03:MIDI 1"} << "Unit-01:MIDI 1" << QStringList{} << 0 << 0;
        QTest::newRow("JACK's number, not the port's")
            << Naming::Jack << QStringList{"Unit:MIDI-01 1"} << "Unit:MIDI-02 1" << QStringList{} << -1 << 0;
        QTest::newRow("JACK: the second unit started meanwhile is never taken")
            << Naming::Jack << QStringList{"Zandorium-03:Zandorium MIDI 1"} << "Zandorium-01:Zandorium MIDI 1"
            << QStringList{"Zandorium-03:Zandorium MIDI 1"} << -1 << 0;
    }

    void foundAgain()
    {
        QFETCH(Naming, naming);
        QFETCH(QStringList, ports);
        QFETCH(QString, lost);
        QFETCH(QStringList, others);
        QFETCH(int, index);
        QFETCH(int, rivals);
        const auto known = [](const QString& text) {
            return PortMatching::KnownPort{text.section(QLatin1Char('|'), 0, 0), text.section(QLatin1Char('|'), 1)};
        };
        QList<PortMatching::KnownPort> current;
        QList<PortMatching::KnownPort> seen;
        std::transform(ports.cbegin(), ports.cend(), std::back_inserter(current), known);
        std::transform(others.cbegin(), others.cend(), std::back_inserter(seen), known);
        const PortMatching::Match match = PortMatching::findAgain(current, known(lost), seen, naming);
        QCOMPARE(match.index, index);
        QCOMPARE(match.rivals.size(), rivals);
    }

    // Across sessions: the exact name, else the one entry whose stable name is
    // the stored one, never stripped a second time.
    void remembered_data()
    {
        QTest::addColumn<Naming>("naming");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        const QString unit20 = QStringLiteral("Zandorium:Zandorium MIDI 1 20:0");
        const QString unit24 = QStringLiteral("Zandorium:Zandorium MIDI 1 24:0");
        QTest::newRow("exact") << Naming::Alsa << QStringList{"A:x 14:0", unit20} << unit20 << 1;
        QTest::newRow("renumbered") << Naming::Alsa << QStringList{"A:x 14:0", unit24} << unit20 << 1;
        QTest::newRow("two of the name: no choice") << Naming::Alsa << QStringList{unit20, unit24}
                                                    << "Zandorium:Zandorium MIDI 1 28:0" << -1;
        QTest::newRow("two of the name, one exactly") << Naming::Alsa << QStringList{unit20, unit24} << unit24 << 1;
        QTest::newRow("JACK: renamed again") << Naming::Jack << QStringList{"Unit:x", "Unit-07-02:x"}
                                             << "Unit-07-01:x" << 1;
        QTest::newRow("JACK: not the unit of the name stripped twice")
            << Naming::Jack << QStringList{"Unit:x"} << "Unit-07-01:x" << -1;
        QTest::newRow("JACK: the exact name before a namesake")
            << Naming::Jack << QStringList{"Unit-07:x", "Unit:x"} << "Unit-07:x" << 0;
    }

    void remembered()
    {
        QFETCH(Naming, naming);
        QFETCH(QStringList, names);
        QFETCH(QString, stored);
        QFETCH(int, index);
        QCOMPARE(PortMatching::findRemembered(names, stored, PortMatching::stableName(stored, naming), naming), index);
        // As an earlier version stored it: the stable name alone.
        if (index >= 0 && names.at(index) != stored && names.size() == 2 && naming == Naming::Alsa)
            QCOMPARE(PortMatching::findRemembered(names, {}, PortMatching::stableName(stored, naming), naming), index);
    }
};

QTEST_GUILESS_MAIN(PortMatchingTest)
#include "tst_portmatching.moc"
