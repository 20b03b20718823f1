#include "ui/midiselection.h"

#include "midi/midiconnection.h"
#include "midi/portmatching.h"
#include "midi/rememberedport.h"
#include "ui/dialogtextok.h"
#include "ui_midiselection.h"

#include <QTimer>

namespace {
constexpr int kListRefreshMs = 1000;
}  // namespace

midiselection::midiselection(QWidget* parent) : QDialog(parent), ui(new Ui::midiselection)
{
    ui->setupUi(this);

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    setModal(true);

    itemChosen = -1;
    accepted = false;
    ui->pushButtonOk->setEnabled(false);

    g_midiConnection.refreshInputPorts();
    ui->listWidget->setAccessibleName(QStringLiteral("MIDI input ports"));
    ui->listWidget->addItems(g_midiConnection.portNames);
    // Return confirms, whether the entry was clicked, typed or remembered.
    ui->pushButtonOk->setDefault(true);
    selectRememberedPort();

    const QString unavailable = g_midiConnection.unavailableReason();
    if (unavailable.isEmpty()) {
        // A device switched on after the program started shows up by itself.
        connect(&listRefresh, &QTimer::timeout, this, &midiselection::refreshList);
        listRefresh.start(kListRefreshMs);
        // Closed, the dialog lives on with the program: a port list that
        // changes later must not change the port the editor follows.
        connect(this, &QDialog::finished, &listRefresh, &QTimer::stop);
    } else {
        // Shown once the dialog runs, over it.
        QTimer::singleShot(0, this, [unavailable] {
            DialogTextOk::showMessage(tr("No MIDI system could be opened, so no port can be chosen.\n\n%1")
                                          .arg(unavailable));
        });
    }
}

midiselection::~midiselection() = default;

void midiselection::refreshList()
{
    const QStringList before = g_midiConnection.portNames;
    g_midiConnection.refreshInputPorts();
    if (g_midiConnection.portNames == before)
        return;
    const QString chosen = itemChosen > 0 ? currentPortName() : QString();
    ui->listWidget->clear();
    ui->listWidget->addItems(g_midiConnection.portNames);
    const int row = chosen.isEmpty() ? -1 : g_midiConnection.portNames.lastIndexOf(chosen);
    if (row >= 0) {
        ui->listWidget->setCurrentRow(row);
        return;
    }
    itemChosen = -1;
    ui->pushButtonOk->setEnabled(false);
    selectRememberedPort();
}

void midiselection::selectRememberedPort()
{
    const RememberedPort::Stored remembered = RememberedPort::load();
    const int index = PortMatching::findRemembered(g_midiConnection.portNames, remembered.fullName,
                                                   remembered.stableName, g_midiConnection.naming());
    if (index < 0)
        return;
    ui->listWidget->setCurrentRow(index);
    on_listWidget_itemClicked(ui->listWidget->item(index));
}

QString midiselection::currentPortName() const
{
    const QListWidgetItem* const current = ui->listWidget->currentItem();
    return current ? current->text() : QString();
}

void midiselection::on_pushButtonOk_clicked()
{
    if (itemChosen < 0)
        return;
    g_midiConnection.selectedPortName = currentPortName();
    const int index = g_midiConnection.findPort(g_midiConnection.selectedPortName);
    QString error;
    if (g_midiConnection.openPorts(index, error)) {
        RememberedPort::store(g_midiConnection.selectedPortName, g_midiConnection.naming());
        accepted = true;
    } else {
        DialogTextOk::showMessage(tr("The MIDI ports could not be opened.\n\n%1").arg(error));
        accepted = false;
    }
    close();
}

void midiselection::on_listWidget_itemClicked(QListWidgetItem* /*item*/)
{
    g_midiConnection.selectedPortName = currentPortName();
    itemChosen = 1;
    ui->pushButtonOk->setEnabled(true);
}

void midiselection::on_pushButtonCancel_clicked()
{
    accepted = false;
    close();
}
