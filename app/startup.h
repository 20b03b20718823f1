#pragma once

class MainWindow;

// The editor's whole life: front panel and port selection, then, once ports
// are open, the rest of the program and the event loop. Always returns 0.
int runEditor(int argc, char** argv);

// Builds, in this order, the hidden editor window, the hub, the wiring and the
// command sender, whose construction sends the start-up request. The ports
// must be open, so the device's answer finds the whole receive chain in place.
void startConnected(MainWindow& mainWindow);
