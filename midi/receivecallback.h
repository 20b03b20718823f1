#pragma once
// RtMidi's input callback. Runs on RtMidi's input thread, never on the GUI
// thread: it traces each byte, assembles frames in a fixed buffer without
// allocating, and hands every complete frame to the wiring object's decoder,
// once start-up has created it.

#include <vector>

// Given as the callback's user data: what to do once on each input thread.
struct ReceiveOptions {
    // The ALSA sequencer keeps only about 200 events for a client that falls
    // behind (some 30 blocks of a backup) and drops the rest, so its input
    // thread asks for realtime scheduling. Where the system refuses, it stays
    // as it was. JACK's thread is the server's to schedule: never raised.
    bool realtimeThread = false;
};

void receiveCallback(double timeStamp, std::vector<unsigned char>* message, void* userData);
