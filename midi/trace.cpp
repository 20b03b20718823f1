#include "midi/trace.h"

#include "protocol/protocol.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

std::atomic<std::FILE*> g_traceStream{nullptr};

std::FILE* stream()
{
    std::FILE* redirected = g_traceStream.load(std::memory_order_acquire);
    return redirected ? redirected : stdout;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kSentPrefix[] = "--> S ";
constexpr char kReceivedPrefix[] = "R ";
constexpr std::size_t kReceivedPrefixLength = sizeof kReceivedPrefix - 1;

void appendHexByte(char* out, unsigned char byte)
{
    out[0] = kHexDigits[byte >> 4];
    out[1] = kHexDigits[byte & 0x0F];
}

}  // namespace

namespace Trace {

void setStream(std::FILE* redirected)
{
    g_traceStream.store(redirected, std::memory_order_release);
}

void sentFrame(const unsigned char* frame, std::size_t length)
{
    std::string line(kSentPrefix);
    line.reserve(line.size() + 3 * length + 1);
    char hex[3] = {0, 0, ' '};
    for (std::size_t i = 0; i + 1 < length; ++i) {
        appendHexByte(hex, frame[i]);
        line.append(hex, sizeof hex);
    }
    line += "F7\n";
    std::FILE* out = stream();
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
}

void receivedByte(unsigned char byte)
{
    // Fixed storage: this runs on the MIDI input thread for every byte.
    char text[kReceivedPrefixLength + 4];
    std::size_t used = 0;
    if (byte == Protocol::kSysExStart) {
        std::memcpy(text, kReceivedPrefix, kReceivedPrefixLength);
        used = kReceivedPrefixLength;
    }
    appendHexByte(text + used, byte);
    used += 2;
    text[used++] = ' ';
    if (byte == Protocol::kSysExEnd)
        text[used++] = '\n';
    std::FILE* out = stream();
    std::fwrite(text, 1, used, out);
    if (byte == Protocol::kSysExEnd)
        std::fflush(out);
}

}  // namespace Trace
