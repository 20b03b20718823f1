#include "ui/dialogtextok.h"

#include "app/globals.h"
#include "midi/tracelog.h"
#include "ui_dialogtextok.h"

#include <algorithm>
#include <cstdio>

DialogTextOk::DialogTextOk(const QString& text, QWidget* parent) : QDialog(parent), ui(new Ui::DialogTextOk)
{
    ui->setupUi(this);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    ui->label->setText(text);
    fitText();
    setFixedSize(size());
}

DialogTextOk::~DialogTextOk() = default;

// The label does not wrap; a message longer than the form allows widens and
// lengthens the dialog instead of being cut.
void DialogTextOk::fitText()
{
    const QSize needed = ui->label->sizeHint();
    const int extraWidth = std::max(0, needed.width() - ui->label->width());
    const int extraHeight = std::max(0, needed.height() - ui->label->height());
    if (extraWidth == 0 && extraHeight == 0)
        return;
    ui->label->resize(ui->label->size() + QSize(extraWidth, extraHeight));
    ui->pushButton->move(ui->pushButton->pos() + QPoint(extraWidth / 2, extraHeight));
    resize(size() + QSize(extraWidth, extraHeight));
}

void DialogTextOk::showMessage(const QString& text)
{
    // Also on the console, for whoever runs the editor from a terminal.
    const QByteArray line = "Message: " + QString(text).replace('\n', ' ').toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    TraceLog::append(TraceLog::Kind::Message, line);
    if (g_dialogTextOk) {
        g_dialogTextOk->close();
        delete g_dialogTextOk;
        g_dialogTextOk = nullptr;
    }
    g_dialogTextOk = new DialogTextOk(text);
    g_dialogTextOk->exec();
    // A newer message may have replaced and already deleted this one.
    delete g_dialogTextOk;
    g_dialogTextOk = nullptr;
}

void DialogTextOk::on_pushButton_clicked()
{
    close();
}
