#pragma once
// The console trace inside the program, for a user started from the desktop
// menu, whose console goes nowhere: newest at the bottom, filtered by kind,
// copied, saved, cleared. One window, made on first use. GUI thread only.

#include "midi/tracelog.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace Ui {
class MidiLogWindow;
}

class MidiLogWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MidiLogWindow(QWidget* parent = nullptr);
    ~MidiLogWindow() override;

    // The window, shown and raised; it lives until the process ends.
    static MidiLogWindow& open();

    // The lines shown, as they stand in the window.
    QString shownText() const;
    // Every kept line, as the console has it, whatever the filter shows.
    static bool saveTo(const QString& path, QString& error);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void on_pushButtonCopy_clicked();
    void on_pushButtonSave_clicked();
    void on_pushButtonClear_clicked();
    void takeNewLines();
    void showAgain();

private:
    bool shows(TraceLog::Kind kind) const;
    void showLines(const QVector<TraceLog::Line>& lines);

    std::unique_ptr<Ui::MidiLogWindow> ui;
    QTimer poll_;
    std::uint64_t next_ = 0;  // the count of lines taken from the log
};
