#include "simulator/console.h"

#include "protocol/protocol.h"
#include "simulator/devicelink.h"

#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kLongestFloodSeconds = 600;
// About two thirds of what a JACK MIDI port carries without loss, measured
// on the dummy driver with 256-frame periods; at 1024 frames it carries a
// third of that.
constexpr int kFloodBytesPerMs = 1400;
constexpr int kFastestFlood = 100000;

// Reads a whole-number argument within [low, high].
bool argumentIn(const QStringList& words, int low, int high, int& value)
{
    if (words.size() != 2)
        return false;
    bool ok = false;
    value = words.at(1).toInt(&ok);
    return ok && value >= low && value <= high;
}

}  // namespace

Console::Console(DeviceLink& link) : link_(link), notifier_(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&notifier_, &QSocketNotifier::activated, this, &Console::readInput);
}

QString Console::help()
{
    return QStringLiteral(
        "commands:\n"
        "  key <0-13>      press a key: 0-9 loops 1-10, 10 SW1, 11 SW2, 12 Menu, 13 Tap\n"
        "  menu, tap       press Menu or Tap\n"
        "  memory <0-519>  switch to a memory (bank x 10 + number)\n"
        "  rename <0-519> <name>  rename a stored memory\n"
        "  select, write   open the editor's memory dialog to select or to write\n"
        "  close <0|1>     close the memory dialog, 1 as accepted\n"
        "  done            report an operation complete\n"
        "  report          report the whole state, as at start-up\n"
        "  state           print the unit's state\n"
        "  flood <1-600> [bytes/ms]  send hostile traffic for that many seconds\n"
        "  mark            send the flood's next marker alone\n"
        "  quit            end the simulator\n");
}

QString Console::run(const QString& line)
{
    const QStringList words = line.simplified().split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    Sim::SimulatedDevice& device = link_.device();
    const QString command = words.first();
    int value = 0;
    if (command == QLatin1String("key") && argumentIn(words, 0, Protocol::kKeyCount - 1, value))
        device.pressKey(value, link_.now());
    else if (command == QLatin1String("menu"))
        device.pressKey(Protocol::kKeyMenu, link_.now());
    else if (command == QLatin1String("tap"))
        device.pressKey(Protocol::kKeyTap, link_.now());
    else if (command == QLatin1String("memory") && argumentIn(words, 0, Sim::kMemoryCount - 1, value))
        device.selectMemory(value);
    else if (command == QLatin1String("rename") && words.size() >= 3
             && argumentIn(words.mid(0, 2), 0, Sim::kMemoryCount - 1, value))
        device.renameMemory(value, words.mid(2).join(' ').toStdString());
    else if (command == QLatin1String("select") || command == QLatin1String("write"))
        device.openMemorySelect(command == QLatin1String("write") ? 1 : 0);
    else if (command == QLatin1String("close") && argumentIn(words, 0, 1, value))
        device.closeMemorySelect(value);
    else if (command == QLatin1String("done"))
        device.reportComplete();
    else if (command == QLatin1String("report"))
        device.reportWholeState();
    else if (command == QLatin1String("state"))
        return QString::fromStdString(device.describe());
    else if (command == QLatin1String("flood") && (words.size() == 2 || words.size() == 3)
             && argumentIn(words.mid(0, 2), 1, kLongestFloodSeconds, value)) {
        int rate = kFloodBytesPerMs;
        if (words.size() == 3 && !argumentIn({words.at(0), words.at(2)}, 1, kFastestFlood, rate))
            return help();
        link_.flood(value, rate);
    }
    else if (command == QLatin1String("mark"))
        return QStringLiteral("marker %1\n").arg(link_.sendMarker());
    else if (command == QLatin1String("quit"))
        emit quitRequested();
    else
        return help();
    link_.flush();
    return {};
}

void Console::readInput()
{
    char buffer[512];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        // End of input (or a closed terminal): the simulator runs on without a console.
        notifier_.setEnabled(false);
        return;
    }
    pending_.append(buffer, static_cast<int>(count));
    int end = 0;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QString output = run(QString::fromLocal8Bit(pending_.left(end)));
        pending_.remove(0, end + 1);
        std::fputs(output.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
}
