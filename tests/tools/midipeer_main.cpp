// zandorium-midi-peer <name> <output file> <seconds>
// Opens a virtual MIDI input and output port named after <name> and writes
// each message it receives to <output file> as one line of hex bytes, until
// terminated or <seconds> have passed. Prints "ready" once the ports are open.

#include "support/midipeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_stop{false};

void requestStop(int)
{
    g_stop = true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: zandorium-midi-peer <name> <output file> <seconds>\n");
        return 2;
    }
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);

    QString error;
    const auto peer = MidiPeer::open(arguments.at(1), error);
    if (!peer) {
        std::fprintf(stderr, "no MIDI peer: %s\n", qPrintable(error));
        return 1;
    }
    std::FILE* const out = std::fopen(qPrintable(arguments.at(2)), "w");
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(arguments.at(2)));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    const qint64 limitMs = arguments.at(3).toLongLong() * 1000;
    QElapsedTimer clock;
    clock.start();
    int written = 0;
    while (!g_stop && clock.elapsed() < limitMs) {
        const QList<QByteArray> received = peer->received();
        for (; written < received.size(); ++written)
            std::fprintf(out, "%s\n", received.at(written).toHex(' ').toUpper().constData());
        std::fflush(out);
        QThread::msleep(20);
    }
    std::fclose(out);
    return 0;
}
