// Arbitrary MIDI input, cut into messages at arbitrary points, through the real
// receive callback, decoder, hub and windows. The first byte's bit 0 starts a
// backup first, so blocks are collected and saved; its other bits seed the cuts.

#include "core/minicore.h"
#include "midi/receivecallback.h"
#include "midi/trace.h"
#include "support/hubharness.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kLongestMessage = 64;

struct Setup
{
    Setup()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        Trace::setStream(std::fopen("/dev/null", "w"));
        // A frame may open the editor, the memory dialog or a message, each
        // in an event loop of its own: close them from inside that loop.
        QObject::connect(&dismisser, &QTimer::timeout, &HubHarness::rejectVisibleDialogs);
        dismisser.start(0);
    }

    int argc = 1;
    char name[12] = "fuzzreceive";
    char* argv[2] = {name, nullptr};
    QApplication application{argc, argv};
    HubHarness harness;
    QTemporaryDir folder;
    QTimer dismisser;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Lives until the process ends: Qt's teardown after main would race the
    // fuzzer's own exit.
    static Setup& setup = *new Setup;
    if (size == 0)
        return 0;
    const std::uint8_t options = data[0];
    if (options & 1) {
        setup.harness.hub().startBackup();
        setup.harness.hub().setFilePath(setup.folder.filePath(QStringLiteral("fuzz.mem")));
    }
    std::minstd_rand cuts(options >> 1);
    std::uniform_int_distribution<std::size_t> length(1, kLongestMessage);
    std::vector<unsigned char> message;
    for (std::size_t at = 1; at < size;) {
        const std::size_t take = std::min(length(cuts), size - at);
        message.assign(data + at, data + at + take);
        receiveCallback(0.0, &message, nullptr);
        at += take;
    }
    // The LED changes and other queued calls run, so nothing piles up.
    QCoreApplication::processEvents();
    return 0;
}
