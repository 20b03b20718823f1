#pragma once
// The hub between the device protocol and the windows: it mirrors the device's
// state and carries each reported change, as a signal, to the windows.
// Lives on the GUI thread; the decoder on RtMidi's input thread raises its
// signals, which reach the slots queued.

#include <QObject>

class EditWindow;

class MiniCore : public QObject
{
    Q_OBJECT

public:
    explicit MiniCore(EditWindow* editWindow);

    EditWindow* const editWindow;

    // -1 until the device reports its current memory.
    int bank = -1;
    int number = -1;
    int memoryIndex = -1;
};
