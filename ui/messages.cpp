#include "ui/messages.h"

#include <QMessageBox>

namespace Messages {

void showError(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QStringLiteral("Zandorium Uploader"), text);
}

}  // namespace Messages
