#pragma once
// Problems the user must know about, shown in a modal message box.

#include <QString>

class QWidget;

namespace Messages {

void showError(QWidget* parent, const QString& text);

}  // namespace Messages
