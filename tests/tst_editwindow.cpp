// The editor dialog on the real form with the real hub: what each user action sends, byte for byte, and that
// reports are shown, never sent back; labels, keys, dragging, messages, no cut text, readable, screen readers.

#include "app/globals.h"
#include "core/minicore.h"
#include "resources/artwork.h"
#include "support/accessibility.h"
#include "support/hubharness.h"
#include "support/tracecapture.h"
#include "ui/dialogtextok.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"
#include "ui_editwindow.h"

#include <QAbstractItemView>
#include <QPointer>
#include <QtTest>

#include <functional>
#include <thread>

using Action = std::function<void(const Ui::EditWindow&)>;
struct Labels { int bank, number; QString bankText; bool light; QString numberText; };
Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Labels)

namespace {

// Near the indicator or icon, where a check box's or radio button's text always is.
void click(std::initializer_list<QAbstractButton*> buttons)
{
    for (QAbstractButton* const button : buttons)
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void typeAndSet(QPlainTextEdit* box, QPushButton* set, const QString& text)
{
    box->setPlainText(text);
    click({set});
}

// Typed, then a key that must not type into the box.
void typeAndConfirm(QPlainTextEdit* box, const QString& text, Qt::Key confirm)
{
    box->setPlainText(text);
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, confirm, confirm == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(box->toPlainText(), text);
}

// A key event as X times it: a repeat's release and press alike.
void sendKeyAt(QWidget* widget, QEvent::Type type, Qt::Key key, ulong time, Qt::KeyboardModifiers modifiers = {})
{
    QKeyEvent event(type, key, modifiers, key == Qt::Key_Tab ? QStringLiteral("\t") : QStringLiteral("\r"));
    event.setTimestamp(time);
    QApplication::sendEvent(widget, &event);
}

QColor pixelAt(QWidget* w, const QPoint& at) { return w->grab().toImage().pixelColor(at * w->devicePixelRatioF()); }

QImage picture(const QIcon& icon) { return icon.pixmap(40, 40).toImage(); }

}  // namespace

class EditWindowTest : public QObject
{
    Q_OBJECT

    const Ui::EditWindow& form() const { return harness->editWindow().widgets(); }
    std::unique_ptr<TraceCapture> trace;
    std::unique_ptr<HubHarness> harness;

private slots:
    void init() { trace = std::make_unique<TraceCapture>(); harness = std::make_unique<HubHarness>(); }
    void cleanup() { harness.reset(); trace.reset(); }

    void userActionsSend_data()
    {
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QStringList>("sent");
        const auto row = [](const char* name, const QStringList& reports, const Action& action,
                            const QStringList& sent) { QTest::newRow(name) << reports << action << sent; };
        using F = const Ui::EditWindow&;

        const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123");
        const QString thirtyHex = QString::fromLatin1(thirty.toLatin1().toHex(' '));
        row("name of 31 cut to 30; line break, Latin-1 and beyond", {}, [=](F f) {
            typeAndSet(f.plainTextEditNome, f.pushButtonSetNome, thirty + "X");
            QCOMPARE(f.plainTextEditNome->toPlainText(), thirty);
            typeAndSet(f.plainTextEditNome, f.pushButtonSetNome, "a\nb\xC3\xA9\xE2\x98\x83\xF0\x9F\x8E\xB8");
        }, {"0A 1E " + thirtyHex, "0A 06 61 5F 62 5F 3F 3F"});
        row("device name of 12 cut to 11, then empty", {}, [](F f) {
            typeAndSet(f.plainTextEditDeviceName, f.pushButtonSetNomeDevice, "Pedalboard1X");
            QCOMPARE(f.plainTextEditDeviceName->toPlainText(), QStringLiteral("Pedalboard1"));
            typeAndSet(f.plainTextEditDeviceName, f.pushButtonSetNomeDevice, "");
        }, {"25 0B 50 65 64 61 6C 62 6F 61 72 64 31", "25 00"});
        row("Return in the name box, Enter in the device name box, Tab out of it", {}, [](F f) {
            typeAndConfirm(f.plainTextEditNome, "Lead", Qt::Key_Return);
            typeAndConfirm(f.plainTextEditDeviceName, "Rig", Qt::Key_Enter);
            typeAndConfirm(f.plainTextEditDeviceName, "Dev", Qt::Key_Tab);
            click({f.pushButtonSetNomeDevice});
        }, {"0A 04 4C 65 61 64", "25 03 52 69 67", "25 03 44 65 76"});
        row("Return held, its repeat not flagged", {}, [](F f) {
            f.plainTextEditNome->setPlainText("Lead");
            for (const auto& [type, time] : {std::pair{QEvent::KeyPress, 100}, {QEvent::KeyRelease, 760},
                                             {QEvent::KeyPress, 760}, {QEvent::KeyRelease, 900}})
                sendKeyAt(f.plainTextEditNome, type, Qt::Key_Return, time);
            sendKeyAt(f.plainTextEditNome, QEvent::KeyPress, Qt::Key_Tab, 1000, Qt::AltModifier);
            QCOMPARE(f.plainTextEditNome->toPlainText(), QStringLiteral("Lead"));
        }, {"0A 04 4C 65 61 64"});

        row("pedal channel", {}, [](F f) { for (int i : {5, 0, 5, 4}) f.comboBoxMIDIch->setCurrentIndex(i); },
            {"0E 04", "0E 10", "0E 04", "0E 03"});
        row("tap channel reported 2, then 1, Off, 2", {"0D 01 01 3C 40"}, [](F f) {
            QCOMPARE(f.comboBoxTAPMIDIch->currentText(), QStringLiteral("2"));
            for (int i : {1, 0, 2}) f.comboBoxTAPMIDIch->setCurrentIndex(i);
        }, {"0D 00 01 3C 40", "0D 10 01 3C 40", "0D 01 01 3C 40"});
        row("tap mode and numbers", {"0D 01 01 3C 40"}, [](F f) {
            click({f.radioButtonCC, f.radioButtonCC, f.radioButtonNOTE});
            QTest::keyClick(f.spinBoxTAPNota, Qt::Key_Up);
            QTest::keyClick(f.spinBoxTAPCC, Qt::Key_Down);
        }, {"0D 01 00 3C 40", "0D 01 01 3C 40", "0D 01 01 3D 40", "0D 01 01 3D 3F"});
        row("program 6 after channel 1 program 5, then channel Off", {"0C 04 00"}, [](F f) {
            QTest::keyClick(f.spinBoxPcTx, Qt::Key_Up);
            f.comboBoxMIDIchPC->setCurrentIndex(0);
        }, {"0C 05 00", "0C 05 10"});
        row("extended PC channel 16 reported, then Off", {"26 0F"}, [](F f) {
            QCOMPARE(f.comboBoxExtendedPCMIDIch->currentText(), QStringLiteral("16"));
            f.comboBoxExtendedPCMIDIch->setCurrentIndex(0);
        }, {"26 10"});

        // The icon changes only when the device reports the new state.
        // A screen reader is told whether it is on.
        row("effect 3 on turned off", {"24 00 00 01 00 00 00 00 00 00 00 00 00 00"}, [](F f) {
            const QString on = accessibleText(f.pushButton3, QAccessible::Description);
            click({f.pushButton3});
            QCOMPARE(picture(f.pushButton3->icon()), picture(QIcon(Artwork::kSwitchOnRed)));
            HubHarness::deliver(deviceFrame("24 00 00 00 00 00 00 00 00 00 00 00 00 00"));
            QCOMPARE(picture(f.pushButton3->icon()), picture(QIcon(Artwork::kSwitchOff)));
            QVERIFY(accessibleText(f.pushButton3, QAccessible::Description) != on);
        }, {"24 00 00 00 00 00 00 00 00 00 00 00 00 00"});
        row("SW3 and loop 10 on", {}, [](F f) { click({f.pushButtonSW3, f.pushButton10}); },
            {"24 00 00 00 00 00 00 00 00 00 00 00 00 01", "24 00 00 00 00 00 00 00 00 00 01 00 00 01"});
        row("wireless on, off", {}, [](F f) { click({f.checkBoxWirelessOnOff, f.checkBoxWirelessOnOff}); },
            {"27 01", "27 00"});
        row("amp, buffer 2, switch 3, mode, thru", {"0F 00"}, [](F f) {
            click({f.radioButtonB, f.radioButtonAB, f.checkBoxBuffer2, f.checkBoxSwitch3, f.radioButton500,
                   f.radioButtonLatch, f.checkBoxMIDIThru});
        }, {"0F 01", "0F 02", "10 01", "11 01", "12 02", "12 00", "13 01"});

        // A drag as the slider sees it: held, moved, let go.
        row("pedal drags", {}, [](F f) {
            for (const auto& [slider, position] :
                 {std::pair{f.sliderPedal1Val, 700}, {f.sliderPedal2Min, 5}, {f.sliderPedal2Max, 1000}}) {
                slider->setSliderDown(true);
                slider->setSliderPosition(position);
                slider->setSliderDown(false);
            }
        }, {"02 00 05 3C", "04 01 00 05", "03 01 07 68"});
        // A report must not pull a held slider back.
        row("pedal held while a report comes", {}, [](F f) {
            f.sliderPedal1Val->setSliderDown(true);
            f.sliderPedal1Val->setSliderPosition(600);
            HubHarness::deliver(deviceFrame("02 00 03 7F"));
            QCOMPARE(f.sliderPedal1Val->value(), 600);
            f.sliderPedal1Val->setSliderDown(false);
            HubHarness::deliver(deviceFrame("02 00 03 7F"));
            QCOMPARE(f.sliderPedal1Val->value(), 511);
            QCOMPARE(f.labelPedal1Val->text(), QStringLiteral("511"));
        }, {"02 00 04 58"});
        row("pedal stepped by keys", {"02 00 03 7F"}, [](F f) {
            QTest::keyClick(f.sliderPedal1Val, Qt::Key_Up);
            QTest::keyClick(f.sliderPedal1Max, Qt::Key_End);
        }, {"02 00 04 00"});
        row("pedal switch and CC", {"0B 00 01 07"}, [](F f) {
            QTest::keyClick(f.spinBoxPedal1MIDIcc, Qt::Key_Up);
            click({f.checkBoxPedal1OnOff});
        }, {"0B 00 01 08", "0B 00 00 08"});

        row("done shown for two seconds", {"28"}, [](F f) {
            QTest::qWait(1700);
            QVERIFY(!f.labelDone->isHidden());
            QTRY_VERIFY_WITH_TIMEOUT(f.labelDone->isHidden(), 1000);
        }, {});

        // Two reports before the GUI shows the first, so the hub holds the second as the first reaches its widget:
        // neither may be sent back, nor the first again, or a unit answering each with a report never stops.
        const auto again = [](const char* body) { return [body](F) { HubHarness::deliver(deviceFrame(body)); }; };
        row("program change twice", {"0C 04 02", "0C 4B 06"}, again("0C 04 02"), {});
        row("MIDI channel twice", {"0E 03", "0E 09"}, again("0E 03"), {});
        row("TAP tempo twice", {"0D 01 00 3C 40", "0D 05 01 3E 41"}, again("0D 01 00 3C 40"), {});
        row("extended PC channel twice", {"26 02", "26 0A"}, again("26 02"), {});
    }

    // Each row starts from reports, decoded on the input thread as RtMidi gives them, shown without a frame back.
    void userActionsSend()
    {
        QFETCH(QStringList, reports);
        QFETCH(Action, action);
        QFETCH(QStringList, sent);
        harness->editWindow().show();
        std::thread([&] {
            for (const QString& body : reports)
                HubHarness::deliver(deviceFrame(qPrintable(body)));
        }).join();
        QCoreApplication::processEvents();
        QCOMPARE(trace->sentFrames(), QList<QByteArray>());
        action(form());
        QCOMPARE(trace->sentFrames(), deviceFrames(sent));
    }

    void bankAndNumberLabels_data()
    {
        QTest::addColumn<Labels>("row");
        QTest::newRow("26 is A on light") << Labels{26, 0, "A", true, "1"};
        QTest::newRow("last number") << Labels{1, 9, "B", false, "10"};
        QTest::newRow("negative bank") << Labels{-1, 3, "S", false, "B"};
        QTest::newRow("no number") << Labels{4, 16384, "E", false, "B"};
    }

    void bankAndNumberLabels()
    {
        QFETCH(Labels, row);
        const QString dark = QStringLiteral("background-color: rgb(55, 55, 55);\ncolor: rgb(255, 255, 255);");
        const QString light = QStringLiteral("background-color: rgb(200, 200, 200);\ncolor: rgb(0, 0, 0);");
        harness->editWindow().showBank(row.bank);
        harness->editWindow().showNumber(row.number);
        QCOMPARE(form().labelBank->text(), row.bankText);
        QCOMPARE(form().labelBank->styleSheet(), row.light ? light : dark);
        QCOMPARE(form().labelNumber->text(), row.numberText);
        QCOMPARE(form().labelNumber->styleSheet(), dark);
        // The front panel shows the same.
        QCOMPARE(harness->mainWindow().findChild<QLabel*>("labelBank")->text(), row.bankText);
        QCOMPARE(harness->mainWindow().findChild<QLabel*>("labelNumber")->text(), row.numberText);
    }

    void keysNeverCloseCloseControlDoes()
    {
        EditWindow& editor = harness->editWindow();
        bool openAfterKeys = false;  // and false again if Close did not close it
        QTimer::singleShot(50, this, [&] {
            // The first keys a user types land wherever the focus starts.
            QVERIFY(QTest::qWaitForWindowActive(&editor));
            for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return})
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &editor, key);
            QTest::keyClick(&editor, Qt::Key_Escape);
            QTest::keyClick(form().plainTextEditNome, Qt::Key_Escape);
            openAfterKeys = editor.isVisible();
            QTest::mouseClick(form().pushButtonClose, Qt::LeftButton);
        });
        QTimer::singleShot(5000, &editor, [&] { openAfterKeys = false; editor.reject(); });
        emit harness->hub().openSignalEditWindow(1);
        QVERIFY(openAfterKeys);
        QVERIFY(trace->sentFrames().isEmpty());
    }

    void dragOnlyByTheTopStrip()
    {
        EditWindow& editor = harness->editWindow();
        editor.move(100, 100);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QPoint start = editor.pos();
        const auto mouse = [&](QEvent::Type type, const QPoint& at) {
            QMouseEvent event(type, at, editor.mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::LeftButton, {});
            QApplication::sendEvent(&editor, &event);
        };
        mouse(QEvent::MouseButtonPress, {300, 25});
        mouse(QEvent::MouseMove, {340, 65});
        QCOMPARE(editor.pos(), start);
        mouse(QEvent::MouseButtonPress, {300, 19});
        QCOMPARE(form().labelBarra->cursor().shape(), Qt::ClosedHandCursor);
        const QPoint target = start + QPoint(40, 30);
        mouse(QEvent::MouseMove, {340, 49});
        QCOMPARE(editor.pos(), target);

        // A dialog opens mid-drag and takes the release; later moves (a slider's groove passes them on) do nothing.
        QWidget dialog;
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.close();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        mouse(QEvent::MouseMove, {380, 90});
        QCOMPARE(editor.pos(), target);
    }

    // Style sheets paint white on black; what they miss must not vanish into it. Nothing is cut, all is named.
    void readableNamedAndUncut()
    {
        EditWindow& editor = harness->editWindow();
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QComboBox* const combo = form().comboBoxTAPMIDIch;
        combo->showPopup();
        QAbstractItemView* const list = combo->view();
        QTRY_VERIFY(list->isVisible());
        list->setCurrentIndex(list->model()->index(3, 0));
        const auto rowPixel = [&](int row) {
            return pixelAt(list->viewport(), list->visualRect(list->model()->index(row, 0)).topLeft() + QPoint(2, 2));
        };
        QVERIFY2(rowPixel(3) != rowPixel(8), "the list's current entry looks like the others");
        combo->hidePopup();

        // The longer of the two operation texts.
        editor.showPleaseWait(QStringLiteral("Restore un progress ..."));
        QProgressBar* const bar = form().progressBarPleaseWait;
        const QColor track = pixelAt(bar, QPoint(4, bar->height() / 2));
        QVERIFY2(track != pixelAt(form().groupBoxPleaseWait, bar->geometry().topLeft() - QPoint(3, 3)),
                 "the progress track is invisible");
        // At the default font every text fits and no two neighbours overlap, but for pairs placed so on purpose;
        // the form's own widgets, not the parts Qt builds inside combo and spin boxes.
        QList<QWidget*> widgets;
        const auto named = [](const QObject* o) {
            return !o->objectName().isEmpty() && !o->objectName().startsWith("qt_");
        };
        for (QWidget* const w : editor.findChildren<QWidget*>())
            if (named(w) && named(w->parentWidget()))
                widgets.append(w);
        QVERIFY(widgets.size() > 100);
        for (const QWidget* const w : widgets) {
            const QString name = w->objectName();
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(name + " sticks out"));
            const auto* const label = qobject_cast<const QLabel*>(w);
            const auto* const button = qobject_cast<const QAbstractButton*>(w);
            if ((label && !label->text().isEmpty()) || (button && !button->text().isEmpty()))
                QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->fontMetrics().height(),
                         qPrintable(name + " cuts its text"));
            if (const auto* const group = qobject_cast<const QGroupBox*>(w))
                QVERIFY2(group->width() > group->fontMetrics().horizontalAdvance(group->title()),
                         qPrintable(name + " cuts its title"));
        }
        const QSet<QSet<QString>> sharing = {{"labelBarra", "pushButtonClose"}, {"groupBoxPleaseWait", "labelDone"}};
        for (const QWidget* const a : widgets)
            for (const QWidget* const b : widgets)
                if (a < b && a->parentWidget() == b->parentWidget()
                    && !sharing.contains({a->objectName(), b->objectName()}))
                    QVERIFY2(!a->geometry().intersects(b->geometry()),
                             qPrintable(a->objectName() + " overlaps " + b->objectName()));
        QCOMPARE(unnamedWidgets(&editor), QStringList());
        QCOMPARE(unnamedWidgets(std::make_unique<DialogTextOk>("Nothing to say.").get()), QStringList());
        form().plainTextEditNome->setPlainText(QStringLiteral("Lead"));
        const QList<QWidget*> controls{form().pushButtonBackup, form().spinBoxPcTx, form().plainTextEditNome};
        QList<QImage> disabled;
        for (QWidget* const control : controls)
            disabled.append(control->grab().toImage());
        editor.endPleaseWait();
        for (int i = 0; i < controls.size(); ++i)
            QVERIFY2(controls[i]->grab().toImage() != disabled[i], qPrintable(controls[i]->objectName() + " enabled"));
    }

    void messageReplacesTheOpenOne()
    {
        QPointer<DialogTextOk> first, second;
        QString secondText;
        QTimer::singleShot(50, this, [&] {
            first = g_dialogTextOk;
            harness->hub().dialogText = QStringLiteral("second");
            QTimer::singleShot(50, this, [&] {
                second = g_dialogTextOk;
                secondText = second->findChild<QLabel*>("label")->text();
                QTest::mouseClick(second->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
            });
            emit harness->hub().openSignaleTExtDialogOk();
        });
        harness->hub().dialogText = QStringLiteral("first");
        emit harness->hub().openSignaleTExtDialogOk();
        QVERIFY(first.isNull() && second.isNull() && !g_dialogTextOk);
        QCOMPARE(secondText, QStringLiteral("second"));
    }

    void longMessageIsNotCut()
    {
        const QString refusal("Incompatible version.\n\nFile data version 1.0.3\nDevice data version 1.0.2");
        for (const QString& text : {refusal, QString(120, QLatin1Char('w')) + "\n" + refusal}) {
            const DialogTextOk dialog(text);
            const auto* const label = dialog.findChild<QLabel*>("label");
            const auto* const ok = dialog.findChild<QPushButton*>("pushButton");
            QCOMPARE(label->text(), text);
            QVERIFY(label->width() >= label->sizeHint().width() && label->height() >= label->sizeHint().height());
            QVERIFY(dialog.rect().contains(ok->geometry()) && !ok->geometry().intersects(label->geometry()));
        }
    }
};

QTEST_MAIN(EditWindowTest)
#include "tst_editwindow.moc"
