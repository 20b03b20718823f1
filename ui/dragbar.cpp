#include "ui/dragbar.h"

#include <QWidget>

void DragBar::press(const QMouseEvent* event, QWidget* bar)
{
    pressOffset_ = event->pos();
    held_ = contains(pressOffset_);
    if (held_)
        bar->setCursor(Qt::ClosedHandCursor);
}

void DragBar::release(const QMouseEvent* event, QWidget* bar)
{
    pressOffset_ = event->pos();
    if (held_ || contains(pressOffset_))
        bar->setCursor(Qt::OpenHandCursor);
    held_ = false;
}

void DragBar::move(const QMouseEvent* event)
{
    if (!held_ || event->buttons() == Qt::NoButton)
        return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPoint globalPosition = event->globalPosition().toPoint();
#else
    const QPoint globalPosition = event->globalPos();
#endif
    window_->move(globalPosition - pressOffset_);
}
