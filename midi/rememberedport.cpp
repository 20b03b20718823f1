#include "midi/rememberedport.h"

#include "midi/portmatching.h"

#include <QSettings>

namespace {

constexpr char kKey[] = "midi/inputPort";

// Under the XDG configuration folder: zandorium/uploader.conf.
struct Settings : QSettings {
    Settings() : QSettings(QStringLiteral("zandorium"), QStringLiteral("uploader")) {}
};

}  // namespace

namespace RememberedPort {

QString load()
{
    return Settings().value(QLatin1String(kKey)).toString();
}

void store(const QString& portName)
{
    Settings().setValue(QLatin1String(kKey), PortMatching::stableName(portName));
}

}  // namespace RememberedPort
