#include "midi/rememberedport.h"

#include "app/usersettings.h"

namespace {

// The stable name keeps the key earlier versions stored it under.
constexpr char kStableKey[] = "midi/inputPort";
constexpr char kFullKey[] = "midi/inputPortFullName";

}  // namespace

namespace RememberedPort {

Stored load()
{
    const QSettings settings = userSettings();
    return {settings.value(QLatin1String(kFullKey)).toString(), settings.value(QLatin1String(kStableKey)).toString()};
}

void store(const QString& portName, PortMatching::Naming naming)
{
    QSettings settings = userSettings();
    settings.setValue(QLatin1String(kFullKey), portName);
    settings.setValue(QLatin1String(kStableKey), PortMatching::stableName(portName, naming));
}

void forget()
{
    QSettings settings = userSettings();
    settings.remove(QLatin1String(kFullKey));
    settings.remove(QLatin1String(kStableKey));
}

}  // namespace RememberedPort
