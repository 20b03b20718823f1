#pragma once
// A small modal dialog with one message and an "Ok" button: how the program
// tells the user what went wrong. GUI thread only.

#include <QDialog>

#include <memory>

namespace Ui {
class DialogTextOk;
}

class DialogTextOk : public QDialog
{
    Q_OBJECT

public:
    explicit DialogTextOk(const QString& text, QWidget* parent = nullptr);
    ~DialogTextOk() override;

    // Shows text and returns when the user closes it. A message that arrives
    // meanwhile replaces this one; g_dialogTextOk owns the one shown.
    static void showMessage(const QString& text);

private slots:
    void on_pushButton_clicked();

private:
    void fitText();

    std::unique_ptr<Ui::DialogTextOk> ui;
};
