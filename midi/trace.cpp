#include "midi/trace.h"

#include "midi/tracelog.h"
#include "protocol/protocol.h"

#include <QCoreApplication>

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
using Trace::kReceivedPrefix;
constexpr std::size_t kReceivedPrefixLength = sizeof kReceivedPrefix - 1;

// "R ", two digits, a space and a line end.
constexpr std::size_t kLongestByteText = kReceivedPrefixLength + 4;

// A received frame's line as it grows; a frame too long for it is written in
// pieces. Longer than a line of the receive buffer's largest frame.
struct ReceiveLine
{
    char text[4 * Protocol::kReceiveBufferSize];
    std::size_t used = 0;
};

// Set from the first line written after a flush until that flush, so a
// flood of frames asks for one flush, not one each.
std::atomic<bool> g_flushRequested{false};

// Flushes on the GUI thread. Called by name, so that the queued call is made
// inside Qt and no object of ours crosses from the input thread.
class Flusher : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE void flush()
    {
        g_flushRequested.store(false, std::memory_order_release);
        std::fflush(stream());
        TraceLog::takeQueued();
    }
};

// Lives until the process ends. Made by whichever thread asks first, and
// handed to the application's thread.
Flusher* guiThreadFlusher(QCoreApplication* application)
{
    static Flusher* const flusher = [application] {
        auto* const made = new Flusher;
        made->moveToThread(application->thread());
        return made;
    }();
    return flusher;
}

// The flush runs on the GUI thread, after whatever the input thread wrote
// meanwhile: nothing wakes an idle program to flush nothing.
void requestFlush()
{
    if (g_flushRequested.exchange(true, std::memory_order_acq_rel))
        return;
    if (QCoreApplication* const application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(guiThreadFlusher(application), "flush", Qt::QueuedConnection);
    } else {
        g_flushRequested.store(false, std::memory_order_release);
        std::fflush(stream());
        TraceLog::takeQueued();
    }
}

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
    TraceLog::append(TraceLog::Kind::Sent, line.data(), line.size() - 1);
    std::FILE* out = stream();
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
}

void note(const QString& text)
{
    const QByteArray line = "# " + text.toUtf8() + '\n';
    TraceLog::append(TraceLog::Kind::Note, line.constData(), static_cast<std::size_t>(line.size() - 1));
    std::FILE* out = stream();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), out);
    std::fflush(out);
}

void errorLine(const QString& text)
{
    const QByteArray line = text.toUtf8();
    TraceLog::append(TraceLog::Kind::Message, line);
    std::fprintf(stderr, "%s\n", line.constData());
}

void receivedByte(unsigned char byte)
{
    // Fixed storage, one line per frame written in one call: this runs on the
    // MIDI input thread for every byte, and a line written whole cannot be
    // split by a send line from the GUI thread.
    thread_local ReceiveLine line;
    if (byte == Protocol::kSysExStart) {
        std::memcpy(line.text + line.used, kReceivedPrefix, kReceivedPrefixLength);
        line.used += kReceivedPrefixLength;
    }
    appendHexByte(line.text + line.used, byte);
    line.used += 2;
    line.text[line.used++] = ' ';
    const bool ends = byte == Protocol::kSysExEnd;
    if (ends)
        line.text[line.used++] = '\n';
    if (!ends && line.used + kLongestByteText <= sizeof line.text)
        return;
    std::fwrite(line.text, 1, line.used, stream());
    TraceLog::appendReceived(line.text, line.used);
    line.used = 0;
    if (ends)
        requestFlush();
}

}  // namespace Trace

#include "trace.moc"
