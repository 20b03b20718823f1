#pragma once
// Frameless windows are dragged by the strip along their top edge, and only
// by a press that began there: a child that takes a press but passes its
// moves on (a slider pressed on its groove) must not move the window.

#include <QMouseEvent>
#include <QPoint>

class QWidget;

class DragBar
{
public:
    static constexpr int kHeight = 20;

    // window outlives this object.
    explicit DragBar(QWidget* window) : window_(window) {}

    // From the window's own mouse handlers, which see only what no child
    // took; bar shows the grip.
    void press(const QMouseEvent* event, QWidget* bar);
    void release(const QMouseEvent* event, QWidget* bar);
    void move(const QMouseEvent* event);
    // The window lost the mouse to another (a dialog that opened during the
    // drag): the release will not come here.
    void cancel() { held_ = false; }

private:
    static bool contains(const QPoint& windowPosition) { return windowPosition.y() < kHeight; }

    QWidget* window_;
    QPoint pressOffset_;
    bool held_ = false;
};
