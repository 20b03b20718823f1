#pragma once
// The input port chosen last, kept in the user's settings so that the next
// start selects it. Stored without ALSA's client:port numbers, which change
// when a USB device is plugged in again. GUI thread only.

#include <QString>

namespace RememberedPort {

QString load();
void store(const QString& portName);

}  // namespace RememberedPort
