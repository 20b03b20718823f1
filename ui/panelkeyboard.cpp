#include "ui/panelkeyboard.h"

#include <QKeyEvent>

#include <algorithm>
#include <utility>

namespace {

// In key-index order. Digits play the loops as numbered on the panel; S sits
// above X as SW1 sits above SW2.
constexpr std::array<Qt::Key, Protocol::kKeyCount> kShortcuts = {
    Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5, Qt::Key_6, Qt::Key_7,
    Qt::Key_8, Qt::Key_9, Qt::Key_0, Qt::Key_S, Qt::Key_X, Qt::Key_M, Qt::Key_T};

// X repeats a held key as a release and a press with the same time. Qt flags
// the pair only when both have arrived together; on a busy machine the press
// comes later, so a release waits this long for it.
constexpr int kRepeatPairMs = 60;

int keyIndexOf(const QKeyEvent* event)
{
    const auto found = std::find(kShortcuts.cbegin(), kShortcuts.cend(), event->key());
    return found == kShortcuts.cend() ? -1 : static_cast<int>(found - kShortcuts.cbegin());
}

}  // namespace

PanelKeyboard::PanelKeyboard(std::function<void(int)> press, std::function<void(int)> release,
                             std::function<bool(int)> playable, QObject* parent)
    : QObject(parent), press_(std::move(press)), release_(std::move(release)), playable_(std::move(playable))
{
    releaseDelay_.setSingleShot(true);
    releaseDelay_.setInterval(kRepeatPairMs);
    connect(&releaseDelay_, &QTimer::timeout, this, &PanelKeyboard::releasePending);
}

Qt::Key PanelKeyboard::shortcutOf(int keyIndex)
{
    return kShortcuts.at(keyIndex);
}

bool PanelKeyboard::keyPressed(const QKeyEvent* event)
{
    // Ctrl+S and the like are not a key of the panel; the keypad's digits are.
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const int index = keyIndexOf(event);
    if (index < 0)
        return false;
    if (releasePending_[index]) {
        if (event->timestamp() == releaseTime_[index]) {
            releasePending_[index] = false;  // the second half of a repeat
            return true;
        }
        releaseNow(index);
    }
    if (event->isAutoRepeat() || held_[index] || !playable_(index))
        return true;
    held_[index] = true;
    press_(index);
    return true;
}

bool PanelKeyboard::keyReleased(const QKeyEvent* event)
{
    const int index = keyIndexOf(event);
    if (index < 0)
        return false;
    if (event->isAutoRepeat() || !held_[index])
        return true;
    releasePending_[index] = true;
    releaseTime_[index] = event->timestamp();
    releaseDelay_.start();
    return true;
}

void PanelKeyboard::releaseAll()
{
    for (int i = 0; i < Protocol::kKeyCount; ++i)
        releaseNow(i);
}

void PanelKeyboard::releaseNow(int keyIndex)
{
    releasePending_[keyIndex] = false;
    if (!held_[keyIndex])
        return;
    held_[keyIndex] = false;
    release_(keyIndex);
}

void PanelKeyboard::releasePending()
{
    for (int i = 0; i < Protocol::kKeyCount; ++i) {
        if (releasePending_[i])
            releaseNow(i);
    }
}
