#pragma once
// The backups at hand, newest first, each as a restore would judge it:
// restored from here exactly as from the editor's Restore button, shown in
// their folder, and, for safety copies, deleted. One window, made on first
// use. GUI thread only.

#include <QWidget>

#include <memory>

namespace Ui {
class BackupsWindow;
}

class BackupsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit BackupsWindow(QWidget* parent = nullptr);
    ~BackupsWindow() override;

    // The window, shown and raised; it lives until the process ends.
    static BackupsWindow& open();

public slots:
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void on_pushButtonRestore_clicked();
    void on_pushButtonShowInFolder_clicked();
    void on_pushButtonDelete_clicked();
    void enableButtons();

private:
    QString selectedPath() const;
    bool ask(const QString& title, const QString& text);

    std::unique_ptr<Ui::BackupsWindow> ui;
};
