#pragma once
// Ties the protocol side to the windows: connects the hub's signals to its
// slots and carries the decoder of incoming frames, which runs on RtMidi's
// input thread.

#include <cstddef>

class MainWindow;
class MiniCore;

class SignalWiring
{
public:
    SignalWiring(MainWindow* mainWindow, MiniCore* hub);

    // frame[0..length) runs from F0 to F7; damaged: another message's status
    // byte was skipped inside it. Input thread only: it stores into the hub
    // and raises its signals, and hands LED changes to the GUI thread.
    void decodeFrame(const unsigned char* frame, std::size_t length, bool damaged = false);

private:
    void connectHub();

    MainWindow* const mainWindow;
    MiniCore* const hub;
};
