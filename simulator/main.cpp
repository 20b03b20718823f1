// zandorium-sim: a stand-in for the unit on a pair of virtual MIDI ports, so the
// editor can be tried, demonstrated and tested end to end without hardware.

#include "app/stderrfilter.h"
#include "midi/midisystem.h"

#include <RtMidi.h>
#include "simulator/console.h"
#include "simulator/devicelink.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_stopRequested{false};

void requestStop(int)
{
    g_stopRequested = true;
}

// A whole-number option within [low, high]; false, with a message, otherwise.
bool readNumber(const QCommandLineParser& parser, const QString& name, int low, int high, int& value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toInt(&ok);
    if (ok && value >= low && value <= high)
        return true;
    std::fprintf(stderr, "--%s takes a whole number from %d to %d\n", qPrintable(name), low, high);
    return false;
}

// "in: " and "out: " lines, each port as RtMidi names it, on the MIDI system
// the editor would choose: for scripts that must not depend on JACK's or
// ALSA's own tools.
int listPorts()
{
    JackServerWatch jack;
    const MidiSystem system = openMidiSystem("zandorium-sim port list", "zandorium-sim port list", jack);
    if (!system.unavailableReason.isEmpty()) {
        std::fprintf(stderr, "zandorium-sim: no MIDI system: %s\n", qPrintable(system.unavailableReason));
        return 1;
    }
    try {
        for (unsigned int i = 0; i < system.in->getPortCount(); ++i)
            std::printf("in: %s\n", system.in->getPortName(i).c_str());
        for (unsigned int i = 0; i < system.out->getPortCount(); ++i)
            std::printf("out: %s\n", system.out->getPortName(i).c_str());
    } catch (const RtMidiError& failure) {
        std::fprintf(stderr, "zandorium-sim: %s\n", failure.getMessage().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    // RtMidi's ALSA output writes a line for every message it cannot carry.
    StderrFilter::install();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zandorium-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated Zandorium on virtual MIDI ports. Commands on standard input:\n")
        + Console::help());
    parser.addHelpOption();
    parser.addOptions({
        {"name", "Client name of the virtual ports.", "client", "Zandorium"},
        {"api", "MIDI back end: alsa or jack (default: ALSA where it works, else JACK).", "api"},
        {"firmware", "Firmware version text the unit reports.", "version", "1.4.2"},
        {"data-version", "Data version text the unit reports and puts in its backups.", "version", "1.0.3"},
        {"block-interval", "Milliseconds between two blocks of a backup.", "ms", "2"},
        {"block-rate", "Blocks of a backup per millisecond, instead of an interval.", "n"},
        {"dump-size", "Bytes of memory to back up, padded beyond the memories (at most 1931136).", "bytes"},
        {"block-layout", "How a backup cuts the memory into blocks: equal (128 bytes each, positions in bytes), "
                         "bytes (varying lengths, positions in bytes) or packed (128 bytes each, positions in "
                         "8-bit bytes, 7 for every 8 sent).", "layout", "equal"},
        {"first-block", "Bytes of memory in the first block of a backup, unlike the others (39-189).", "bytes"},
        {"ack-delay", "Milliseconds before a restore block is acknowledged.", "ms", "0"},
        {"drop-ack", "Leave the n-th block of a restore unacknowledged.", "n", "0"},
        {"ack-limit", "Stop answering after n blocks of a restore.", "n"},
        {"slow-acks", "Acknowledge every n-th block of a restore 1, 2, then 3 s late, as flash writes can.", "n", "0"},
        {"byte-rate", "Send a backup no faster than this many bytes a second (3125: a MIDI cable).", "bytes"},
        {"startup-delay", "Milliseconds before the answer to the start-up request.", "ms", "0"},
        {"startup-order", "Order of the whole state reported: usual, or versions-last (the versions last, and a "
                          "memory's name before its number).", "order", "usual"},
        {"trailing-bytes", "Zero data bytes added to every report but the memory blocks of a backup.", "n", "0"},
        {"tap-beats", "Beats the Tap LED blinks after a tap.", "n", "8"},
        {"close-delay", "Milliseconds from a write to closing the memory dialog.", "ms", "1000"},
        {"attach", "Play the unit on the existing ports of this client (the far end of a USB interface), "
                   "given by name or, under ALSA, by number, attaching again whenever they come back, instead "
                   "of ports of its own.", "client"},
        {"list-ports", "List the MIDI system's input and output ports, as the editor sees them, and end."},
    });
    parser.process(application);

    Sim::Options options;
    options.firmwareVersion = parser.value("firmware").toStdString();
    options.dataVersion = parser.value("data-version").toStdString();
    constexpr int kMaxMs = 60000;
    constexpr int kMaxCount = 1000000;
    // Its backup file in the equal layout, 139 bytes a block of 128, stays within the editor's 2 MiB.
    constexpr int kLargestDump = 15087 * 128;
    // A report stays far within the editor's longest frame.
    constexpr int kMaxTrailing = 100;
    if (!readNumber(parser, "block-interval", 0, kMaxMs, options.blockIntervalMs)
        || !readNumber(parser, "block-rate", 1, kMaxCount, options.blocksPerMs)
        || !readNumber(parser, "dump-size", 0, kLargestDump, options.dumpSize)
        || !readNumber(parser, "ack-delay", 0, kMaxMs, options.ackDelayMs)
        || !readNumber(parser, "drop-ack", 0, kMaxCount, options.dropAck)
        || !readNumber(parser, "ack-limit", 0, kMaxCount, options.ackLimit)
        || !readNumber(parser, "slow-acks", 0, kMaxCount, options.slowAcks)
        || !readNumber(parser, "byte-rate", 1, kMaxCount, options.bytesPerSecond)
        || !readNumber(parser, "startup-delay", 0, kMaxMs, options.startupDelayMs)
        || !readNumber(parser, "trailing-bytes", 0, kMaxTrailing, options.trailingBytes)
        || !readNumber(parser, "tap-beats", 1, kMaxCount, options.tapBeats)
        || !readNumber(parser, "close-delay", 0, kMaxMs, options.closeDelayMs))
        return 2;
    const std::optional<Sim::BlockLayout::Kind> layout = Sim::BlockLayout::kindNamed(parser.value("block-layout"));
    int firstBlock = 0;
    if (!layout) {
        std::fprintf(stderr, "zandorium-sim: --block-layout is equal, bytes or packed\n");
        return 2;
    }
    if (!readNumber(parser, "first-block", Sim::BlockLayout::kShortestFirst, Sim::BlockLayout::kLongestContent,
                    firstBlock))
        return 2;
    options.layout = Sim::BlockLayout(*layout, firstBlock);
    const QString order = parser.value("startup-order");
    if (order != "usual" && order != "versions-last") {
        std::fprintf(stderr, "zandorium-sim: --startup-order is usual or versions-last\n");
        return 2;
    }
    options.versionsLast = order == "versions-last";

    if (parser.isSet("list-ports"))
        return listPorts();

    DeviceLink link(Sim::seededState(), options);
    QString error;
    const bool opened = parser.isSet("attach")
                            ? link.attach(parser.value("name"), parser.value("attach"), parser.value("api"), error)
                            : link.open(parser.value("name"), parser.value("api"), error);
    if (!opened) {
        std::fprintf(stderr, "zandorium-sim: cannot open MIDI ports: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("ready: %s, client %s\n", qPrintable(link.portName()), qPrintable(parser.value("name")));
    std::fflush(stdout);

    Console console(link);
    QObject::connect(&console, &Console::quitRequested, &application, &QCoreApplication::quit);

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &application, [] {
        if (g_stopRequested)
            QCoreApplication::quit();
    });
    stopPoll.start(100);
    return application.exec();
}
