#pragma once
// The front panel's keys played from the computer keyboard: a key held on the
// keyboard holds the panel key, however the keyboard repeats it and whatever
// modifier is pressed or let go meanwhile. GUI thread.

#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

class QKeyEvent;

class PanelKeyboard : public QObject
{
    Q_OBJECT

public:
    // press and release hold and let go of a panel key by index.
    PanelKeyboard(std::function<void(int)> press, std::function<void(int)> release, QObject* parent = nullptr);

    // The computer key of a panel key.
    static Qt::Key shortcutOf(int keyIndex);

    // False for a key that plays nothing, which the window then passes on.
    bool keyPressed(const QKeyEvent* event);
    bool keyReleased(const QKeyEvent* event);
    // Sends the releases still waiting to tell a let-go key from a repeat:
    // something else happened after them, so they were real.
    void settle();
    // Lets go of every key held: the window lost the keyboard, or the
    // program ends, and no release would come.
    void releaseAll();

private:
    // A computer key that is down, told apart by its scan code, so that its
    // release is known whatever Shift or Num Lock made of it meanwhile.
    struct Down
    {
        int keyIndex = -1;  // the panel key it holds; -1 for a key that plays nothing
        bool releasePending = false;
        quint64 releaseTime = 0;
    };

    void letGo(const Down& down);

    std::function<void(int)> press_;
    std::function<void(int)> release_;
    QHash<quint64, Down> down_;
    QTimer releaseDelay_;
};
