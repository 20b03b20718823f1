#include "midi/receivecallback.h"

#include "app/globals.h"
#include "core/signalwiring.h"
#include "midi/trace.h"
#include "protocol/frameassembler.h"

namespace {

constexpr unsigned char kFirstRealTime = 0xF8;

// Touched only by the input thread.
FrameAssembler g_rxAssembler;

}  // namespace

void receiveCallback(double /*timeStamp*/, std::vector<unsigned char>* message, void* /*userData*/)
{
    if (!message)
        return;
    for (const unsigned char byte : *message) {
        if (byte >= kFirstRealTime)
            continue;
        Trace::receivedByte(byte);
        if (!g_rxAssembler.feed(byte))
            continue;
        // A frame completed before start-up has built the wiring is dropped.
        if (SignalWiring* const wiring = g_wiring.load(std::memory_order_acquire))
            wiring->decodeFrame(g_rxAssembler.frame(), g_rxAssembler.length(), g_rxAssembler.damaged());
    }
}
