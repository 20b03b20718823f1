#pragma once
// How the editor pairs the chosen input port with an output port: pure string
// logic, kept apart from RtMidi so it can be tested alone.

#include <QString>
#include <QStringList>

namespace PortMatching {

// 0..100: twice the number of equal UTF-16 code units at equal positions, over
// the sum of both lengths. 100 only for equal names.
int nameSimilarity(const QString& a, const QString& b);

// Index of the last entry equal to name (exact, case-sensitive), or -1.
int findLast(const QStringList& names, const QString& name);

// The output most similar to the input's name; the first of equally good ones,
// and 0 when there are none.
int bestOutputIndex(const QString& inputName, const QStringList& outputNames);

}  // namespace PortMatching
