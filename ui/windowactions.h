#pragma once
// What the front panel's right-click menu offers, and the shortcuts that
// reach the same from the panel and the editor. GUI thread only.

class QWidget;

// Adds the actions to window: as its shortcuts, and as its context menu where
// the window shows one.
void addWindowActions(QWidget& window);

// Ctrl+W (or the desktop's own close keys) closes window, as in most programs.
void addCloseAction(QWidget& window);
