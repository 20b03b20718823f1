#include "ui/midilogwindow.h"

#include "app/usersettings.h"
#include "ui/dialogtextok.h"
#include "ui/windowactions.h"
#include "ui_midilogwindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSaveFile>
#include <QScrollBar>

namespace {

// Often enough to look live. A round shows this many lines at most, so a flood
// never holds the window up: when it outruns the window, the window skips
// to the oldest line still kept.
constexpr int kPollMs = 100;
constexpr int kLinesPerPoll = 5000;
const char* const kGeometryKey = "midiLog/geometry";

}  // namespace

MidiLogWindow::MidiLogWindow(QWidget* parent) : QWidget(parent, Qt::Window), ui(new Ui::MidiLogWindow)
{
    ui->setupUi(this);
    addCloseAction(*this);
    ui->plainTextEditLog->setMaximumBlockCount(TraceLog::kCapacity);
    ui->plainTextEditLog->setAccessibleName(QStringLiteral("MIDI log"));
    ui->plainTextEditLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    for (QCheckBox* const box : {ui->checkBoxSent, ui->checkBoxReceived, ui->checkBoxNotes, ui->checkBoxOther})
        connect(box, &QCheckBox::toggled, this, &MidiLogWindow::showAgain);
    restoreGeometry(userSettings().value(QLatin1String(kGeometryKey)).toByteArray());
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &MidiLogWindow::takeNewLines);
}

MidiLogWindow::~MidiLogWindow() = default;

MidiLogWindow& MidiLogWindow::open()
{
    static MidiLogWindow* const window = new MidiLogWindow;
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}

QString MidiLogWindow::shownText() const
{
    return ui->plainTextEditLog->toPlainText();
}

// Nothing is taken while the window is hidden: the log keeps the lines.
void MidiLogWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showAgain();
    poll_.start();
}

void MidiLogWindow::hideEvent(QHideEvent* event)
{
    poll_.stop();
    userSettings().setValue(QLatin1String(kGeometryKey), saveGeometry());
    QWidget::hideEvent(event);
}

bool MidiLogWindow::shows(TraceLog::Kind kind) const
{
    switch (kind) {
    case TraceLog::Kind::Sent:
        return ui->checkBoxSent->isChecked();
    case TraceLog::Kind::Received:
        return ui->checkBoxReceived->isChecked();
    case TraceLog::Kind::Note:
    case TraceLog::Kind::Message:
        return ui->checkBoxNotes->isChecked();
    case TraceLog::Kind::Other:
        return ui->checkBoxOther->isChecked();
    }
    return true;
}

void MidiLogWindow::showLines(const QVector<TraceLog::Line>& lines)
{
    QByteArray text;
    const auto show = [this, &text](TraceLog::Kind kind, const QByteArray& part) {
        if (!shows(kind) || part.isEmpty())
            return;
        if (!text.isEmpty())
            text += '\n';
        text += part;
    };
    for (const TraceLog::Line& line : lines) {
        // Bytes from between frames lead the line of the next frame on the
        // console; here they are shown, and filtered, apart from it.
        const int frameAt = line.kind == TraceLog::Kind::Received ? TraceLog::frameStart(line.text) : 0;
        show(TraceLog::Kind::Other, line.text.left(frameAt).trimmed());
        show(line.kind, line.text.mid(frameAt));
    }
    if (text.isEmpty())
        return;
    // Follows the end unless the user has scrolled up to read.
    QScrollBar* const bar = ui->plainTextEditLog->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    ui->plainTextEditLog->appendPlainText(QString::fromUtf8(text));
    if (atEnd)
        bar->setValue(bar->maximum());
}

void MidiLogWindow::takeNewLines()
{
    showLines(TraceLog::take(next_, kLinesPerPoll));
}

void MidiLogWindow::showAgain()
{
    ui->plainTextEditLog->clear();
    next_ = 0;
    takeNewLines();
}

void MidiLogWindow::on_pushButtonCopy_clicked()
{
    QString selected = ui->plainTextEditLog->textCursor().selectedText();
    // A selection spanning lines holds paragraph separators, not line ends.
    QGuiApplication::clipboard()->setText(selected.isEmpty() ? shownText()
                                                             : selected.replace(QChar::ParagraphSeparator, '\n'));
}

void MidiLogWindow::on_pushButtonSave_clicked()
{
    // Not run in a loop of its own: a restore going on meanwhile would wait for it.
    auto* const dialog = new QFileDialog(this, QStringLiteral("Save the MIDI log"),
                                         QDir::homePath() + QStringLiteral("/midi-log.txt"),
                                         QStringLiteral("Text files (*.txt);;All files (*)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    connect(dialog, &QFileDialog::fileSelected, this, [](const QString& path) {
        QString error;
        if (!saveTo(path, error))
            DialogTextOk::showMessage(
                QStringLiteral("The log could not be saved to\n%1\n%2").arg(QDir::toNativeSeparators(path), error));
    });
    dialog->open();
}

bool MidiLogWindow::saveTo(const QString& path, QString& error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        for (const TraceLog::Line& line : TraceLog::kept())
            file.write(line.text + '\n');
        if (file.commit())
            return true;
    }
    error = file.errorString();
    return false;
}

void MidiLogWindow::on_pushButtonClear_clicked()
{
    TraceLog::clear();
    ui->plainTextEditLog->clear();
}
