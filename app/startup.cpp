#include "app/startup.h"

#include "app/globals.h"
#include "app/stderrfilter.h"
#include "core/minicore.h"
#include "core/signalwiring.h"
#include "midi/devicewatch.h"
#include "midi/midiconnection.h"
#include "protocol/commandsender.h"
#include "ui/dialogtextok.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"
#include "ui/midiselection.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

namespace {
// An idle program wakes at most once a second.
constexpr int kLostCheckMs = 1000;

// Tells the user once when the MIDI system stops under the program. Asked
// from the GUI thread, so only the watch's atomic flag crosses threads.
void tellIfMidiLost(bool& told)
{
    if (told || !g_midiConnection.systemLost())
        return;
    // A restore under way stops at its next wait and says so itself.
    if (g_miniCore)
        g_miniCore->midiSystemStopped();
    if (g_miniCore && g_miniCore->restoring())
        return;
    told = true;
    if (g_mainWindow)
        g_mainWindow->showMidiSystemStopped();
    if (!g_miniCore || !g_miniCore->midiSystemStopSaid())
        DialogTextOk::showMessage(QStringLiteral("The MIDI system has stopped, so nothing more reaches the device.\n\n"
                                                 "Start the MIDI system again, then restart Zandorium Uploader."));
}

// The windows are laid out in fixed pixels; on a high-density screen Qt scales
// them whole, and the pictures come from their double-size paintings. Qt 6
// always does so.
void enableHighDpiScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}
}  // namespace

// These objects live until the process ends.
void startConnected(MainWindow& mainWindow)
{
    g_editWindow = new EditWindow(nullptr);
    g_miniCore = new MiniCore(g_editWindow);
    g_wiring.store(new SignalWiring(&mainWindow, g_miniCore), std::memory_order_release);
    g_commandSender = new CommandSender();

    // Queued: a message the loss brings up must not hold the watch's next check.
    auto* const watch = new DeviceWatch(&mainWindow);
    QObject::connect(
        watch, &DeviceWatch::lost, &mainWindow,
        [&mainWindow](const QString& portName) {
            mainWindow.showDeviceLost(portName);
            g_miniCore->deviceLost();
        },
        Qt::QueuedConnection);
    QObject::connect(
        watch, &DeviceWatch::found, &mainWindow,
        [&mainWindow] {
            mainWindow.showDeviceFound();
            g_miniCore->deviceFound();
            // The panel and the editor refill from the device's answer.
            CommandSender::sendStartupRequest();
        },
        Qt::QueuedConnection);
    watch->start();
}

int runEditor(int argc, char** argv)
{
    // RtMidi writes a line for every event it loses in a flood.
    StderrFilter::install();
    enableHighDpiScaling();
    QApplication application(argc, argv);
    // Names the folders of the settings and of the safety copies.
    QCoreApplication::setOrganizationName(QStringLiteral("zandorium"));
    QCoreApplication::setApplicationName(QStringLiteral("uploader"));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZANDORIUM_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(ZANDORIUM_APP_ID)));
    MainWindow mainWindow;
    midiselection selection;
    g_commandSender = nullptr;
    bool toldMidiLost = false;
    QTimer lostCheck;
    QObject::connect(&lostCheck, &QTimer::timeout, [&toldMidiLost] { tellIfMidiLost(toldMidiLost); });
    lostCheck.start(kLostCheckMs);

    mainWindow.show();
    selection.show();
    selection.exec();

    if (selection.accepted) {
        startConnected(mainWindow);
        QApplication::exec();
        // No more frames may reach the windows while they are torn down.
        g_midiConnection.stopReceiving();
    } else {
        QCoreApplication::quit();
    }
    return 0;
}
