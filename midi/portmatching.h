#pragma once
// How the editor pairs the chosen input port with an output port and finds its
// ports again: pure string logic, kept apart from RtMidi so it can be tested
// alone.

#include <QString>
#include <QStringList>

namespace PortMatching {

// The client names of the editor's own RtMidi objects. JACK appends "-01" and
// so on when a second editor runs.
inline constexpr char kInputClientName[] = "RtMidi Input Client";
inline constexpr char kOutputClientName[] = "RtMidi Output Client";

// 0..100: twice the number of equal UTF-16 code units at equal positions, over
// the sum of both lengths. 100 only for equal names.
int nameSimilarity(const QString& a, const QString& b);

// Index of the last entry equal to name (exact, case-sensitive), or -1.
int findLast(const QStringList& names, const QString& name);

// A port of this editor, or of another one running beside it: never the device.
bool isOwnPort(const QString& name);

// The output most similar to the input's name, the first of equally good ones,
// leaving out the editor's own ports; -1 when none is left.
int bestOutputIndex(const QString& inputName, const QStringList& outputNames);

// ALSA ends a port's name with its client:port numbers, which change when a
// USB device is plugged in again, and JACK numbers a client ("-01") whose name
// is taken, as it is while a device that just went is still being removed;
// the name without these stays.
QString stableName(const QString& name);

// Index of the last entry whose stable name is that of name, or -1.
int findStable(const QStringList& names, const QString& name);

}  // namespace PortMatching
