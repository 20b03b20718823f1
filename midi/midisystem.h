#pragma once
// Which MIDI system the editor talks through, chosen once: the ALSA sequencer
// wherever it opens, with or without ports, else the next compiled back end
// that starts, JACK only with a server running. RtMidi's own choice moves on
// from an ALSA sequencer that lists no port yet to JACK, where no server may
// run, and a device plugged in a moment later would never appear.

#include "midi/jackserverwatch.h"

#include <QString>

#include <memory>

class RtMidiIn;
class RtMidiOut;

struct MidiSystem
{
    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    QString unavailableReason;  // empty when a system was opened
};

// Never throws. Under JACK, jackWatch is started and watches the server. With
// no system, in and out are those of the last back end that constructed (JACK's
// without a server), or null.
MidiSystem openMidiSystem(const char* inputClient, const char* outputClient, JackServerWatch& jackWatch);
