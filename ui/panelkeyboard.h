#pragma once
// The front panel's keys played from the computer keyboard: a key held on the
// keyboard holds the panel key, however the keyboard repeats it. GUI thread.

#include "protocol/protocol.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <bitset>
#include <functional>

class QKeyEvent;

class PanelKeyboard : public QObject
{
    Q_OBJECT

public:
    // press and release act on a panel key by index; playable says whether
    // it may be pressed now.
    PanelKeyboard(std::function<void(int)> press, std::function<void(int)> release,
                  std::function<bool(int)> playable, QObject* parent = nullptr);

    // The computer key of a panel key.
    static Qt::Key shortcutOf(int keyIndex);

    // False for a key that plays nothing, which the window then passes on.
    bool keyPressed(const QKeyEvent* event);
    bool keyReleased(const QKeyEvent* event);
    // The window lost the keyboard: no release would come.
    void releaseAll();

private:
    void releaseNow(int keyIndex);
    void releasePending();

    std::function<void(int)> press_;
    std::function<void(int)> release_;
    std::function<bool(int)> playable_;
    std::bitset<Protocol::kKeyCount> held_;
    std::bitset<Protocol::kKeyCount> releasePending_;
    std::array<quint64, Protocol::kKeyCount> releaseTime_{};
    QTimer releaseDelay_;
};
