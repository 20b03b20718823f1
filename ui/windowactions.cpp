#include "ui/windowactions.h"

#include "ui/midilogwindow.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

void addWindowActions(QWidget& window)
{
    auto* const log = new QAction(QStringLiteral("MIDI Log"), &window);
    log->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    QObject::connect(log, &QAction::triggered, [] { MidiLogWindow::open(); });
    window.addAction(log);
}
