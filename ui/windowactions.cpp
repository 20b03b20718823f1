#include "ui/windowactions.h"

#include "app/usersettings.h"
#include "backup/safetycopies.h"
#include "ui/backupswindow.h"
#include "ui/midilogwindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

#include <functional>

namespace {

void addAction(QWidget& window, const QString& text, const QKeySequence& keys, const std::function<void()>& act)
{
    auto* const action = new QAction(text, &window);
    action->setShortcut(keys);
    QObject::connect(action, &QAction::triggered, act);
    window.addAction(action);
}

// Without a parent, out of the front panel's style; not modal, so that a
// restore is not held up while it shows.
void showAbout()
{
    auto* const about = new QMessageBox(QMessageBox::Information, QStringLiteral("About Zandorium Uploader"),
                      QStringLiteral("Zandorium Uploader %1\n\n"
                                     "Free software under the GNU General Public License, version 3 or (at your "
                                     "option) any later version.\n\n"
                                     "Settings: %2\nData: %3 (the safety copies in its backups folder)")
                          .arg(QStringLiteral(ZANDORIUM_VERSION),
                               QDir::toNativeSeparators(QFileInfo(userSettings().fileName()).absolutePath()),
                               QDir::toNativeSeparators(QFileInfo(SafetyCopies::folderPath()).path())),
                      QMessageBox::Ok);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setTextInteractionFlags(Qt::TextSelectableByMouse);
    about->show();
}

}  // namespace

void addWindowActions(QWidget& window)
{
    addAction(window, QStringLiteral("MIDI Log"), QKeySequence(Qt::CTRL | Qt::Key_L), [] { MidiLogWindow::open(); });
    addAction(window, QStringLiteral("Backups"), QKeySequence(Qt::CTRL | Qt::Key_B), [] { BackupsWindow::open(); });
    addAction(window, QStringLiteral("About"), QKeySequence(), [] { showAbout(); });
}

void addCloseAction(QWidget& window)
{
    addAction(window, QStringLiteral("Close"), QKeySequence::Close, [&window] { window.close(); });
}

void showWindowMenu(QWidget& window, const QPoint& position)
{
    auto* const menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(window.actions());
    menu->popup(position);
}
