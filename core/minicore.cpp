#include "core/minicore.h"

#include "ui/editwindow.h"

MiniCore::MiniCore(EditWindow* window) : QObject(window), editWindow(window)
{
}
