#include "app/globals.h"

MainWindow* g_mainWindow = nullptr;
EditWindow* g_editWindow = nullptr;
MiniCore* g_miniCore = nullptr;
std::atomic<SignalWiring*> g_wiring{nullptr};
CommandSender* g_commandSender = nullptr;
DialogTextOk* g_dialogTextOk = nullptr;
MemorySelect* g_memorySelect = nullptr;
