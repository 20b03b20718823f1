#pragma once
// RtMidi's input callback. Runs on RtMidi's input thread, never on the GUI
// thread: it traces each byte, assembles frames in a fixed buffer without
// allocating, and hands every complete frame to the wiring object's decoder,
// once start-up has created it.

#include <vector>

void receiveCallback(double timeStamp, std::vector<unsigned char>* message, void* userData);
