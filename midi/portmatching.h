#pragma once
// How the editor pairs the chosen input port with an output port and finds its
// ports again: pure string logic, kept apart from RtMidi so it can be tested
// alone.
//
// Within a session a port is followed by its exact name; a stable name, which
// drops the numbers the MIDI system hands out anew, is used only to find a
// device that has come back and to remember a port across sessions.

#include <QString>
#include <QStringList>

namespace PortMatching {

// The client names of the editor's own RtMidi objects. JACK appends "-01" and
// so on when a second editor runs.
inline constexpr char kInputClientName[] = "RtMidi Input Client";
inline constexpr char kOutputClientName[] = "RtMidi Output Client";

// How the MIDI system names ports, as RtMidi lists them. ALSA: "client:port"
// and the port's address, "Unit:Unit MIDI 1 24:0", the client's number telling
// apart two clients of one name. JACK: "client:port", where a client whose
// name is taken is renamed "client-01" and so on. Elsewhere a name is only a
// name: no client can be told from it.
enum class Naming { Alsa, Jack, Plain };

// A port's name taken apart. client is empty under Plain naming.
struct PortName
{
    QString client;    // the client's name as listed
    QString clientId;  // what tells clients apart: ALSA's number, JACK's name
    QString port;      // the port's own name, without the address
};
PortName parsePortName(const QString& name, Naming naming);

// 0..100: twice the number of equal UTF-16 code units at equal positions, over
// the sum of both lengths. 100 only for equal names.
int nameSimilarity(const QString& a, const QString& b);

// Index of the last entry equal to name (exact, case-sensitive), or -1.
int findLast(const QStringList& names, const QString& name);

// A port of this editor, or of another one running beside it: never the device.
bool isOwnPort(const QString& name);

// ALSA's own loop, which sends back whatever it is sent: never the device.
inline constexpr char kSequencerLoopClient[] = "Midi Through";
bool isSequencerLoop(const QString& name, Naming naming);

// Where a search by name ended: index -1 with no rivals when nothing fits; -1
// with the names that all fit equally when the editor cannot tell which one
// is meant.
struct Match
{
    int index = -1;
    QStringList rivals;
};

// The output that belongs with the chosen input, never one of the editor's
// own: the most like the input's name among the outputs of the input's own
// client (the first of equally good ones), as a device's ports share a
// client; failing those, the one most like it of another client of the same
// program (of the same name; under JACK, or one numbered for a name taken),
// when there is one such client (a program that makes a client for each
// direction, as RtMidi's do); several such clients are rivals. Never ALSA's
// own loop. Under Plain naming, the most like the input's name of all.
Match pairOutput(const QString& inputName, const QStringList& outputNames, Naming naming);

// True when both ports belong to one client.
bool sameClient(const QString& a, const QString& b, Naming naming);

// The name without what the MIDI system numbers anew when a device comes
// back: ALSA's client:port address; JACK's "-01" on a client whose name was
// taken, as it is while a device that just went is still being removed.
QString stableName(const QString& name, Naming naming);

// A port as the watch knows it: its name, and where its device is plugged in
// when the MIDI system says (an ALSA hardware port's card); else empty.
struct KnownPort
{
    QString name;
    QString location;
};

// Where a port the editor had open is now, among those of its stable name: of
// those plugged in where it was, else of those that are no other unit's seen
// meanwhile (told by where they are plugged in, or else by name), the one of
// exactly its name, or the only one.
Match findAgain(const QList<KnownPort>& ports, const KnownPort& lost, const QList<KnownPort>& others, Naming naming);

// The entries other than name that have its stable name.
QStringList namesakes(const QStringList& names, const QString& name, Naming naming);

// The entry remembered from an earlier session: the one of exactly fullName,
// else the one whose stable name is stable, which was stored stable and is
// not stripped again. Several of that stable name: no choice.
int findRemembered(const QStringList& names, const QString& fullName, const QString& stable, Naming naming);

}  // namespace PortMatching
