#pragma once
// What the front panel's right-click menu offers, and the shortcuts that
// reach the same from the panel and the editor. GUI thread only.

class QPoint;
class QWidget;

// Adds the actions to window: as its shortcuts, and as its context menu where
// the window shows one.
void addWindowActions(QWidget& window);

// Ctrl+W (or the desktop's own close keys) closes window, as in most programs.
void addCloseAction(QWidget& window);

// The window's actions as a menu at position, which the window's own style
// does not reach (the front panel's black would hide the items). It returns
// at once: a restore going on meanwhile is not held up.
void showWindowMenu(QWidget& window, const QPoint& position);
