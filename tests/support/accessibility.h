#pragma once
// What a screen reader is told about a window's widgets, through the same
// accessibility interfaces it asks.

#include <QAccessible>
#include <QMenuBar>
#include <QStatusBar>
#include <QStringList>
#include <QWidget>

// The object names of the window's own widgets that have no accessible name.
// Plain containers and Qt's inner parts (spin box editors, scroll bars) are
// not asked about: a screen reader names them through their owners.
inline QStringList unnamedWidgets(const QWidget* window)
{
    QStringList unnamed;
    for (QWidget* const widget : window->findChildren<QWidget*>()) {
        const QString objectName = widget->objectName();
        const bool container = widget->metaObject() == &QWidget::staticMetaObject
                               || qobject_cast<QMenuBar*>(widget) || qobject_cast<QStatusBar*>(widget);
        if (objectName.isEmpty() || objectName.startsWith(QLatin1String("qt_")) || container)
            continue;
        QAccessibleInterface* const accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed.append(objectName);
    }
    return unnamed;
}

inline QString accessibleText(QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* const accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(which) : QString();
}
