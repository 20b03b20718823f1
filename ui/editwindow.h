#pragma once
// The editor dialog for the current memory and the device settings. Built
// hidden at start-up and opened when the device asks for it. GUI thread only.

#include <QDialog>

#include <memory>

namespace Ui {
class EditWindow;
}

class EditWindow : public QDialog
{
    Q_OBJECT

public:
    explicit EditWindow(QWidget* parent = nullptr);
    ~EditWindow() override;

private:
    std::unique_ptr<Ui::EditWindow> ui;
};
