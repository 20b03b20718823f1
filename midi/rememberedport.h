#pragma once
// The input port chosen last, kept in the user's settings so that the next
// start selects it: its name as it was, and its stable name, without what the
// MIDI system numbers anew when a device is plugged in again. GUI thread only.

#include "midi/portmatching.h"

#include <QString>

namespace RememberedPort {

struct Stored
{
    QString fullName;
    QString stableName;
};

Stored load();
void store(const QString& portName, PortMatching::Naming naming);
void forget();

}  // namespace RememberedPort
