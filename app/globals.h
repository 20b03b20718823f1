#pragma once
// Process-wide objects, set once at start-up and never cleared. The MIDI
// objects live in midi/midiconnection.h.

#include <atomic>

class MainWindow;
class EditWindow;
class MiniCore;
class SignalWiring;
class CommandSender;
class DialogTextOk;
class MemorySelect;

extern MainWindow* g_mainWindow;
extern EditWindow* g_editWindow;
extern MiniCore* g_miniCore;
// Read by the receive callback on RtMidi's input thread while start-up sets it
// on the GUI thread, hence atomic.
extern std::atomic<SignalWiring*> g_wiring;
// Null until the ports are open; the sender's operations work without it.
extern CommandSender* g_commandSender;
// The message dialog being shown, or null; it owns what it points to.
extern DialogTextOk* g_dialogTextOk;
// The memory select dialog, kept while hidden; null when there is none. The
// hub's slots create it and, when the device closes it, delete it.
extern MemorySelect* g_memorySelect;
