#include "midi/rememberedport.h"

#include <QSettings>

namespace {

// The stable name keeps the key earlier versions stored it under.
constexpr char kStableKey[] = "midi/inputPort";
constexpr char kFullKey[] = "midi/inputPortFullName";

// Under the XDG configuration folder: zandorium/uploader.conf.
struct Settings : QSettings {
    Settings() : QSettings(QStringLiteral("zandorium"), QStringLiteral("uploader")) {}
};

}  // namespace

namespace RememberedPort {

Stored load()
{
    const Settings settings;
    return {settings.value(QLatin1String(kFullKey)).toString(), settings.value(QLatin1String(kStableKey)).toString()};
}

void store(const QString& portName, PortMatching::Naming naming)
{
    Settings settings;
    settings.setValue(QLatin1String(kFullKey), portName);
    settings.setValue(QLatin1String(kStableKey), PortMatching::stableName(portName, naming));
}

void forget()
{
    Settings settings;
    settings.remove(QLatin1String(kFullKey));
    settings.remove(QLatin1String(kStableKey));
}

}  // namespace RememberedPort
