#include "app/usersettings.h"

QSettings userSettings()
{
    return QSettings(QStringLiteral("zandorium"), QStringLiteral("uploader"));
}
