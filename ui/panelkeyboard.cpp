#include "ui/panelkeyboard.h"

#include "protocol/protocol.h"

#include <QKeyEvent>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// In key-index order. Digits play the loops as numbered on the panel; S sits
// above X as SW1 sits above SW2.
constexpr std::array<Qt::Key, Protocol::kKeyCount> kShortcuts = {
    Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5, Qt::Key_6, Qt::Key_7,
    Qt::Key_8, Qt::Key_9, Qt::Key_0, Qt::Key_S, Qt::Key_X, Qt::Key_M, Qt::Key_T};

// X repeats a held key as a release and a press with the same time, one right
// after the other. Qt flags the pair only when both have arrived together; on
// a busy machine the press comes later. So a release waits for the next key
// event, or at most this long.
constexpr int kRepeatPairMs = 60;

int keyIndexOf(const QKeyEvent* event)
{
    const auto found = std::find(kShortcuts.cbegin(), kShortcuts.cend(), event->key());
    return found == kShortcuts.cend() ? -1 : static_cast<int>(found - kShortcuts.cbegin());
}

// Synthesised events may have no scan code; their key stands in for it.
quint64 physicalKeyOf(const QKeyEvent* event)
{
    constexpr quint64 kNoScanCode = quint64(1) << 32;
    return event->nativeScanCode() != 0 ? event->nativeScanCode() : kNoScanCode | quint64(event->key());
}

}  // namespace

PanelKeyboard::PanelKeyboard(std::function<void(int)> press, std::function<void(int)> release, QObject* parent)
    : QObject(parent), press_(std::move(press)), release_(std::move(release))
{
    releaseDelay_.setSingleShot(true);
    releaseDelay_.setInterval(kRepeatPairMs);
    connect(&releaseDelay_, &QTimer::timeout, this, &PanelKeyboard::settle);
}

Qt::Key PanelKeyboard::shortcutOf(int keyIndex)
{
    return kShortcuts.at(keyIndex);
}

bool PanelKeyboard::keyPressed(const QKeyEvent* event)
{
    const quint64 key = physicalKeyOf(event);
    const auto held = down_.find(key);
    if (held != down_.end()) {
        if (event->isAutoRepeat() || !held->releasePending || event->timestamp() == held->releaseTime) {
            held->releasePending = false;  // still down: a repeat
            return held->keyIndex >= 0;
        }
    } else if (event->isAutoRepeat()) {
        // Held since before the panel had the keyboard: it plays nothing.
        down_.insert(key, Down());
        return keyIndexOf(event) >= 0;
    }
    // Anything else came after the releases still waiting, so they were real.
    settle();

    // Ctrl+S and the like are not a key of the panel, not even once Ctrl is
    // let go; the keypad's digits are.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    Down pressed;
    pressed.keyIndex = plain ? keyIndexOf(event) : -1;
    down_.insert(key, pressed);
    if (pressed.keyIndex < 0)
        return false;
    press_(pressed.keyIndex);
    return true;
}

bool PanelKeyboard::keyReleased(const QKeyEvent* event)
{
    const quint64 key = physicalKeyOf(event);
    if (!event->isAutoRepeat())
        settle();
    auto held = down_.find(key);
    if (held == down_.end()) {
        // Held since before the panel had the keyboard; the press of a repeat
        // may follow, and must not play either.
        held = down_.insert(key, Down());
    }
    if (!event->isAutoRepeat()) {
        held->releasePending = true;
        held->releaseTime = event->timestamp();
        releaseDelay_.start();
    }
    return held->keyIndex >= 0 || keyIndexOf(event) >= 0;
}

void PanelKeyboard::releaseAll()
{
    releaseDelay_.stop();
    const QHash<quint64, Down> held = std::exchange(down_, {});
    for (const Down& down : held)
        letGo(down);
}

void PanelKeyboard::settle()
{
    for (auto it = down_.begin(); it != down_.end();) {
        if (it->releasePending) {
            letGo(*it);
            it = down_.erase(it);
        } else {
            ++it;
        }
    }
}

void PanelKeyboard::letGo(const Down& down)
{
    if (down.keyIndex >= 0)
        release_(down.keyIndex);
}
