#include "ui/backupswindow.h"

#include "app/globals.h"
#include "app/usersettings.h"
#include "backup/backuplist.h"
#include "backup/safetycopies.h"
#include "ui/dialogtextok.h"
#include "ui/windowactions.h"
#include "ui/editwindow.h"
#include "ui_backupswindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QUrl>

namespace {

const char* const kGeometryKey = "backupsWindow/geometry";
const char* const kPasses = "Passes";
enum Column { kDate, kFile, kSize, kBlocks, kDataVersion, kCheck };
constexpr int kPathRole = Qt::UserRole;
constexpr int kSafetyCopyRole = Qt::UserRole + 1;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

BackupsWindow::BackupsWindow(QWidget* parent) : QWidget(parent, Qt::Window), ui(new Ui::BackupsWindow)
{
    ui->setupUi(this);
    addCloseAction(*this);
    ui->labelFolder->setText(QStringLiteral("Safety copies, taken before every restore, are kept in %1")
                                 .arg(shown(SafetyCopies::folderPath())));
    ui->treeWidgetBackups->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->treeWidgetBackups->header()->setStretchLastSection(true);
    connect(ui->treeWidgetBackups, &QTreeWidget::itemSelectionChanged, this, &BackupsWindow::enableButtons);
    connect(&BackupList::Notifier::instance(), &BackupList::Notifier::changed, this, [this] {
        if (isVisible())
            refresh();
    });
    restoreGeometry(userSettings().value(QLatin1String(kGeometryKey)).toByteArray());
    enableButtons();
}

BackupsWindow::~BackupsWindow() = default;

BackupsWindow& BackupsWindow::open()
{
    static BackupsWindow* const window = new BackupsWindow;
    // Asked again: files may have come and gone meanwhile.
    if (window->isVisible())
        window->refresh();
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}

void BackupsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void BackupsWindow::hideEvent(QHideEvent* event)
{
    userSettings().setValue(QLatin1String(kGeometryKey), saveGeometry());
    QWidget::hideEvent(event);
}

// Files come and go behind the program's back too.
void BackupsWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
}

void BackupsWindow::refresh()
{
    const QString selected = selectedPath();
    QTreeWidget* const tree = ui->treeWidgetBackups;
    tree->clear();
    const QLocale locale;
    for (const BackupList::Entry& entry : BackupList::entries()) {
        auto* const item = new QTreeWidgetItem(tree);
        item->setText(kDate, entry.written.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        item->setText(kFile, entry.safetyCopy ? QStringLiteral("Safety copy: %1").arg(QFileInfo(entry.path).fileName())
                                              : shown(entry.path));
        item->setText(kSize, locale.formattedDataSize(entry.size));
        item->setText(kBlocks, entry.blocks ? QString::number(entry.blocks) : QString());
        item->setText(kDataVersion, entry.dataVersion);
        item->setText(kCheck, entry.problem.isEmpty() ? QLatin1String(kPasses) : entry.problem);
        item->setToolTip(kFile, shown(entry.path));
        item->setToolTip(kCheck, item->text(kCheck));
        item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(kBlocks, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(kFile, kPathRole, entry.path);
        item->setData(kFile, kSafetyCopyRole, entry.safetyCopy);
        if (entry.path == selected)
            tree->setCurrentItem(item);
    }
    enableButtons();
}

QString BackupsWindow::selectedPath() const
{
    const QTreeWidgetItem* const item = ui->treeWidgetBackups->currentItem();
    return item && item->isSelected() ? item->data(kFile, kPathRole).toString() : QString();
}

void BackupsWindow::enableButtons()
{
    const QTreeWidgetItem* const item = ui->treeWidgetBackups->currentItem();
    const bool chosen = item && item->isSelected();
    ui->pushButtonRestore->setEnabled(chosen);
    ui->pushButtonShowInFolder->setEnabled(chosen);
    ui->pushButtonDelete->setEnabled(chosen && item->data(kFile, kSafetyCopyRole).toBool());
}

bool BackupsWindow::ask(const QString& title, const QString& text)
{
    QMessageBox question(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, this);
    question.setDefaultButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

void BackupsWindow::on_pushButtonRestore_clicked()
{
    const QTreeWidgetItem* const item = ui->treeWidgetBackups->currentItem();
    const QString path = selectedPath();
    if (path.isEmpty() || !g_editWindow)
        return;
    if (const QString notNow = g_editWindow->whyNoRestore(); !notNow.isEmpty()) {
        DialogTextOk::showMessage(notNow);
        return;
    }
    // A file the check refuses goes the same way, to be refused with its reason; nothing to ask.
    const bool passes = item->text(kCheck) == QLatin1String(kPasses);
    if (passes && !ask(QStringLiteral("Restore"),
                       QStringLiteral("Restore\n%1\nto the device? Every memory of the device will be replaced "
                                      "(a safety copy of it is taken first).")
                           .arg(shown(path))))
        return;
    g_editWindow->restoreFile(path);
}

void BackupsWindow::on_pushButtonShowInFolder_clicked()
{
    const QString path = selectedPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!path.isEmpty() && !QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        DialogTextOk::showMessage(
            QStringLiteral("No file manager could be started to show\n%1").arg(shown(folder)));
}

void BackupsWindow::on_pushButtonDelete_clicked()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    // Asked without a loop of its own: a restore going on meanwhile is not held up.
    auto* const question = new QMessageBox(QMessageBox::Question, QStringLiteral("Delete"),
                                           QStringLiteral("Delete the safety copy\n%1?\n\nIt cannot be got back.")
                                               .arg(shown(path)),
                                           QMessageBox::Yes | QMessageBox::No, this);
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setDefaultButton(QMessageBox::No);
    connect(question, &QMessageBox::finished, this, [this, path](int answer) {
        QFile file(path);
        if (answer == QMessageBox::Yes && !file.remove())
            DialogTextOk::showMessage(
                QStringLiteral("The safety copy could not be deleted:\n%1\n%2").arg(shown(path), file.errorString()));
        refresh();
    });
    question->open();
}
