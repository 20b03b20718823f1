#pragma once
// Turns one incoming frame into state changes: values stored in the hub, the
// hub's signals raised after them, and LED changes handed to the front panel.
// Runs on RtMidi's input thread; nothing here touches a widget directly.

#include <cstddef>

class MainWindow;
class MiniCore;
class FrameReader;

class FrameDecoder
{
public:
    FrameDecoder(MainWindow* mainWindow, MiniCore* hub) : mainWindow_(mainWindow), hub_(hub) {}

    // Frames with another header, an unknown code, or fewer argument bytes
    // than their command needs are ignored. Only a memory data block cares
    // whether the frame came damaged: its bytes are stored, not read.
    void decode(const unsigned char* frame, std::size_t length, bool damaged = false) const;

private:
    void decodePedalLimit(const FrameReader& reader) const;
    void decodeLed(const FrameReader& reader) const;
    void decodeVersions(const FrameReader& reader) const;

    MainWindow* const mainWindow_;
    MiniCore* const hub_;
};
