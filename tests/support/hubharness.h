#pragma once
// The windows, hub and wiring as start-up builds them; frames go straight into
// the real receive callback.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>

class EditWindow;
class MainWindow;
class MiniCore;
class SignalWiring;

class HubHarness
{
public:
    HubHarness();
    ~HubHarness();
    HubHarness(const HubHarness&) = delete;
    HubHarness& operator=(const HubHarness&) = delete;

    MainWindow& mainWindow() const { return *mainWindow_; }
    EditWindow& editWindow() const { return *editWindow_; }
    MiniCore& hub() const { return *hub_; }

    // One MIDI message, as RtMidi would deliver it, on the calling thread.
    static void deliver(const QByteArray& message);
    // Closes every dialog on screen, as a user would; called from a timer,
    // it ends the event loop a frame opened one in.
    static void rejectVisibleDialogs();

private:
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<EditWindow> editWindow_;
    MiniCore* hub_;  // owned by the editor window
    std::unique_ptr<SignalWiring> wiring_;
};

// Names of the hub's signals but the display ones, in the order raised.
class HubSignalLog : public QObject
{
    Q_OBJECT

public:
    explicit HubSignalLog(MiniCore& hub);
    QStringList names;

private slots:
    void record();
};

// A frame "F0 7E 10 07 02 <body> F7" from the hex text of its body.
QByteArray deviceFrame(const char* bodyHex);
QList<QByteArray> deviceFrames(const QStringList& bodiesHex);
