#pragma once
// Lists the MIDI input ports; Ok opens the chosen one with the most similar
// output port. Run once, before anything else is built. GUI thread only.

#include <QDialog>
#include <QTimer>

#include <memory>

class QListWidgetItem;

namespace Ui {
class midiselection;
}

class midiselection : public QDialog
{
    Q_OBJECT

public:
    explicit midiselection(QWidget* parent = nullptr);
    ~midiselection() override;

    int itemChosen = -1;    // 1 once an entry has been clicked
    bool accepted = false;  // true only when Ok opened the ports

private slots:
    void on_pushButtonOk_clicked();
    void on_listWidget_itemClicked(QListWidgetItem* item);
    void on_pushButtonCancel_clicked();

private:
    QString currentPortName() const;
    // The port chosen at the last start, when it is listed again.
    void selectRememberedPort();
    // Lists ports that came or went since, keeping the choice while its port
    // is there.
    void refreshList();

    std::unique_ptr<Ui::midiselection> ui;
    QTimer listRefresh{this};
};
