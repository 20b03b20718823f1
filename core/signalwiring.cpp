#include "core/signalwiring.h"

SignalWiring::SignalWiring(MainWindow* window, MiniCore* miniCore) : mainWindow(window), hub(miniCore)
{
}

void SignalWiring::decodeFrame(const unsigned char* /*frame*/, std::size_t /*length*/)
{
    // Incoming frames are traced and assembled; acting on them comes with the
    // decoder.
}
