#include "ui/editwindow.h"

#include "resources/artwork.h"
#include "ui_editwindow.h"

EditWindow::EditWindow(QWidget* parent) : QDialog(parent), ui(new Ui::EditWindow)
{
    Artwork::registerResources();
    ui->setupUi(this);

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
}

EditWindow::~EditWindow() = default;
