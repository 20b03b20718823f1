#include "midi/midisystem.h"

#include <RtMidi.h>

#include <vector>

MidiSystem openMidiSystem(const char* inputClient, const char* outputClient, JackServerWatch& jackWatch)
{
    MidiSystem system;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);  // ALSA before JACK
    for (const RtMidi::Api api : apis) {
        try {
            system.in = std::make_unique<RtMidiIn>(api, inputClient);
            system.out = std::make_unique<RtMidiOut>(api, outputClient);
        } catch (const RtMidiError& error) {
            system.unavailableReason = QString::fromStdString(error.getMessage());
            system.in.reset();
            system.out.reset();
            continue;
        }
        // RtMidi's JACK back end only warns when no server answers, and then
        // lists no ports, as if the system were merely empty. The watch's
        // client tells.
        system.unavailableReason.clear();
        if (api != RtMidi::UNIX_JACK || jackWatch.start())
            break;
        system.unavailableReason = QStringLiteral("There is no ALSA sequencer, and no JACK server is running.");
    }
    return system;
}
