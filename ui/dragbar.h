#pragma once
// Frameless windows are dragged by the strip along their top edge.

#include <QCursor>
#include <QMouseEvent>
#include <QPoint>
#include <QWidget>

namespace DragBar {

constexpr int kHeight = 20;

inline bool contains(const QPoint& windowPosition)
{
    return windowPosition.y() < kHeight;
}

// Press or release at windowPosition: remember it, and show the bar's grip.
inline void grab(QPoint& pressOffset, const QPoint& windowPosition, QWidget* bar, bool pressed)
{
    pressOffset = windowPosition;
    if (contains(windowPosition))
        bar->setCursor(pressed ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}

inline void drag(QWidget* window, const QPoint& pressOffset, const QMouseEvent* event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPoint globalPosition = event->globalPosition().toPoint();
#else
    const QPoint globalPosition = event->globalPos();
#endif
    if (contains(pressOffset))
        window->move(globalPosition - pressOffset);
}

}  // namespace DragBar
