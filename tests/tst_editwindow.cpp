// The editor dialog on the real form with the real hub: what each user action
// sends, byte for byte; that reported values are shown and never sent back;
// the bank and number labels; keys, the close control, dragging, the
// completion picture, the message dialog, a layout that cuts no text, what
// stays readable on black, and what a screen reader is told.

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
Q_DECLARE_METATYPE(Action)

namespace {

// Near the indicator or the icon's left edge, where the text of a check box
// or radio button always is.
void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void typeAndSet(QPlainTextEdit* box, QPushButton* set, const QString& text)
{
    box->setPlainText(text);
    click(set);
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
void sendKeyAt(QWidget* widget, QEvent::Type type, Qt::Key key, ulong time,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(type, key, modifiers, key == Qt::Key_Tab ? QStringLiteral("\t") : QStringLiteral("\r"));
    event.setTimestamp(time);
    QApplication::sendEvent(widget, &event);
}

QColor pixelAt(QWidget* widget, const QPoint& position)
{
    return widget->grab().toImage().pixelColor(position * widget->devicePixelRatioF());
}

// A drag as the slider sees it: held, moved, let go.
void drag(QSlider* slider, int position)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(position);
    slider->setSliderDown(false);
}

QList<QByteArray> frames(const QStringList& bodies)
{
    QList<QByteArray> result;
    for (const QString& body : bodies)
        result.append(deviceFrame(body.toLatin1().constData()));
    return result;
}

QImage iconImage(const QAbstractButton* button)
{
    return button->icon().pixmap(40, 40).toImage();
}

}  // namespace

class EditWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void userActionsSend_data();
    void userActionsSend();
    void reportsInQuickSuccessionNotSentBack_data();
    void reportsInQuickSuccessionNotSentBack();
    void effectIconWaitsForTheDevice();
    void heldSliderIsNotPulledBack();
    void bankAndNumberLabels_data();
    void bankAndNumberLabels();
    void keysNeverCloseCloseControlDoes();
    void dragOnlyByTheTopStrip();
    void readableOnBlack();
    void screenReaderNamesEverything();
    void doneShownForTwoSeconds();
    void messageReplacesTheOpenOne();
    void longMessageIsNotCut();
    void nothingCutOrOverlapping();

private:
    const Ui::EditWindow& form() const { return harness->editWindow().widgets(); }

    std::unique_ptr<TraceCapture> trace;
    std::unique_ptr<HubHarness> harness;
};

void EditWindowTest::init()
{
    trace = std::make_unique<TraceCapture>();
    harness = std::make_unique<HubHarness>();
}

void EditWindowTest::cleanup()
{
    harness.reset();
    trace.reset();
}

void EditWindowTest::userActionsSend_data()
{
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("sent");

    const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123");
    const QByteArray thirtyHex = thirty.toLatin1().toHex(' ');
    QTest::newRow("name of 31 cut to 30")
        << QStringList() << Action([=](const Ui::EditWindow& f) {
               typeAndSet(f.plainTextEditNome, f.pushButtonSetNome, thirty + "X");
               QCOMPARE(f.plainTextEditNome->toPlainText(), thirty);
           })
        << QStringList{"0A 1E " + thirtyHex};
    QTest::newRow("name of 30 unchanged") << QStringList() << Action([=](const Ui::EditWindow& f) {
        typeAndSet(f.plainTextEditNome, f.pushButtonSetNome, thirty);
    }) << QStringList{"0A 1E " + thirtyHex};
    QTest::newRow("line break, Latin-1 and beyond")
        << QStringList() << Action([](const Ui::EditWindow& f) {
               typeAndSet(f.plainTextEditNome, f.pushButtonSetNome, QString::fromUtf8("a\nb\xC3\xA9\xE2\x98\x83\xF0\x9F\x8E\xB8"));
           })
        << QStringList{"0A 06 61 5F 62 5F 3F 3F"};
    QTest::newRow("device name of 12 cut to 11")
        << QStringList() << Action([](const Ui::EditWindow& f) {
               typeAndSet(f.plainTextEditDeviceName, f.pushButtonSetNomeDevice, "Pedalboard1X");
               QCOMPARE(f.plainTextEditDeviceName->toPlainText(), QStringLiteral("Pedalboard1"));
           })
        << QStringList{"25 0B 50 65 64 61 6C 62 6F 61 72 64 31"};
    QTest::newRow("empty device name") << QStringList() << Action([](const Ui::EditWindow& f) {
        typeAndSet(f.plainTextEditDeviceName, f.pushButtonSetNomeDevice, "");
    }) << QStringList{"25 00"};
    QTest::newRow("Return in the name box sets the name") << QStringList() << Action([](const Ui::EditWindow& f) {
        typeAndConfirm(f.plainTextEditNome, "Lead", Qt::Key_Return);
    }) << QStringList{"0A 04 4C 65 61 64"};
    QTest::newRow("Enter in the device name box sets it") << QStringList() << Action([](const Ui::EditWindow& f) {
        typeAndConfirm(f.plainTextEditDeviceName, "Rig", Qt::Key_Enter);
    }) << QStringList{"25 03 52 69 67"};
    QTest::newRow("Return held, its repeat not flagged") << QStringList() << Action([](const Ui::EditWindow& f) {
        f.plainTextEditNome->setPlainText("Lead");
        for (const auto& [type, time] : {std::pair{QEvent::KeyPress, 100}, {QEvent::KeyRelease, 760},
                                         {QEvent::KeyPress, 760}, {QEvent::KeyRelease, 900}})
            sendKeyAt(f.plainTextEditNome, type, Qt::Key_Return, time);
        sendKeyAt(f.plainTextEditNome, QEvent::KeyPress, Qt::Key_Tab, 1000, Qt::AltModifier);
        QCOMPARE(f.plainTextEditNome->toPlainText(), QStringLiteral("Lead"));
    }) << QStringList{"0A 04 4C 65 61 64"};
    QTest::newRow("Tab leaves the device name box") << QStringList() << Action([](const Ui::EditWindow& f) {
        typeAndConfirm(f.plainTextEditDeviceName, "Dev", Qt::Key_Tab);
        click(f.pushButtonSetNomeDevice);
    }) << QStringList{"25 03 44 65 76"};

    QTest::newRow("pedals channel 5, Off, 5, 4") << QStringList() << Action([](const Ui::EditWindow& f) {
        for (const int index : {5, 0, 5, 4})
            f.comboBoxMIDIch->setCurrentIndex(index);
    }) << QStringList{"0E 04", "0E 10", "0E 04", "0E 03"};
    QTest::newRow("tap channel reported 2, then 1, Off, 2")
        << QStringList{"0D 01 01 3C 40"} << Action([](const Ui::EditWindow& f) {
               QCOMPARE(f.comboBoxTAPMIDIch->currentText(), QStringLiteral("2"));
               for (const int index : {1, 0, 2})
                   f.comboBoxTAPMIDIch->setCurrentIndex(index);
           })
        << QStringList{"0D 00 01 3C 40", "0D 10 01 3C 40", "0D 01 01 3C 40"};
    QTest::newRow("tap mode and numbers") << QStringList{"0D 01 01 3C 40"} << Action([](const Ui::EditWindow& f) {
        click(f.radioButtonCC);
        click(f.radioButtonCC);
        click(f.radioButtonNOTE);
        QTest::keyClick(f.spinBoxTAPNota, Qt::Key_Up);
        QTest::keyClick(f.spinBoxTAPCC, Qt::Key_Down);
    }) << QStringList{"0D 01 00 3C 40", "0D 01 01 3C 40", "0D 01 01 3D 40", "0D 01 01 3D 3F"};
    QTest::newRow("program 6 after channel 1 program 5")
        << QStringList{"0C 04 00"} << Action([](const Ui::EditWindow& f) {
               QTest::keyClick(f.spinBoxPcTx, Qt::Key_Up);
           })
        << QStringList{"0C 05 00"};
    QTest::newRow("program channel Off") << QStringList{"0C 04 00"}
                                         << Action([](const Ui::EditWindow& f) { f.comboBoxMIDIchPC->setCurrentIndex(0); })
                                         << QStringList{"0C 04 10"};
    QTest::newRow("extended PC channel 16 reported, then Off")
        << QStringList{"26 0F"} << Action([](const Ui::EditWindow& f) {
               QCOMPARE(f.comboBoxExtendedPCMIDIch->currentText(), QStringLiteral("16"));
               f.comboBoxExtendedPCMIDIch->setCurrentIndex(0);
           })
        << QStringList{"26 10"};

    QTest::newRow("effect 3 on turned off") << QStringList{"24 00 00 01 00 00 00 00 00 00 00 00 00 00"}
                                            << Action([](const Ui::EditWindow& f) {
                                                   click(f.pushButton3);
                                               })
                                            << QStringList{"24 00 00 00 00 00 00 00 00 00 00 00 00 00"};
    QTest::newRow("SW3 and loop 10 on") << QStringList() << Action([](const Ui::EditWindow& f) {
        click(f.pushButtonSW3);
        click(f.pushButton10);
    }) << QStringList{"24 00 00 00 00 00 00 00 00 00 00 00 00 01", "24 00 00 00 00 00 00 00 00 00 01 00 00 01"};

    QTest::newRow("wireless on, off") << QStringList() << Action([](const Ui::EditWindow& f) {
        click(f.checkBoxWirelessOnOff);
        click(f.checkBoxWirelessOnOff);
    }) << QStringList{"27 01", "27 00"};
    QTest::newRow("amp, buffer 2, switch 3, mode, thru")
        << QStringList{"0F 00"} << Action([](const Ui::EditWindow& f) {
               for (QAbstractButton* const b : {static_cast<QAbstractButton*>(f.radioButtonB), static_cast<QAbstractButton*>(f.radioButtonAB),
                                                static_cast<QAbstractButton*>(f.checkBoxBuffer2), static_cast<QAbstractButton*>(f.checkBoxSwitch3),
                                                static_cast<QAbstractButton*>(f.radioButton500), static_cast<QAbstractButton*>(f.radioButtonLatch),
                                                static_cast<QAbstractButton*>(f.checkBoxMIDIThru)})
                   click(b);
           })
        << QStringList{"0F 01", "0F 02", "10 01", "11 01", "12 02", "12 00", "13 01"};

    QTest::newRow("pedal drags") << QStringList() << Action([](const Ui::EditWindow& f) {
        drag(f.sliderPedal1Val, 700);
        drag(f.sliderPedal2Min, 5);
        drag(f.sliderPedal2Max, 1000);
    }) << QStringList{"02 00 05 3C", "04 01 00 05", "03 01 07 68"};
    QTest::newRow("pedal stepped by keys") << QStringList{"02 00 03 7F"} << Action([](const Ui::EditWindow& f) {
        QTest::keyClick(f.sliderPedal1Val, Qt::Key_Up);
        QTest::keyClick(f.sliderPedal1Max, Qt::Key_End);
    }) << QStringList{"02 00 04 00"};
    QTest::newRow("pedal switch and CC") << QStringList{"0B 00 01 07"} << Action([](const Ui::EditWindow& f) {
        QTest::keyClick(f.spinBoxPedal1MIDIcc, Qt::Key_Up);
        click(f.checkBoxPedal1OnOff);
    }) << QStringList{"0B 00 01 08", "0B 00 00 08"};
}

// Every row starts from reports, which must be shown without a frame back.
void EditWindowTest::userActionsSend()
{
    QFETCH(QStringList, reports);
    QFETCH(Action, action);
    QFETCH(QStringList, sent);

    harness->editWindow().show();
    for (const QString& body : reports)
        HubHarness::deliver(deviceFrame(body.toLatin1().constData()));
    QCoreApplication::processEvents();
    QCOMPARE(trace->sentFrames(), QList<QByteArray>());

    action(form());
    QCOMPARE(trace->sentFrames(), frames(sent));
}

void EditWindowTest::effectIconWaitsForTheDevice()
{
    const QImage red = QIcon(Artwork::kSwitchOnRed).pixmap(40, 40).toImage();
    HubHarness::deliver(deviceFrame("24 00 00 01 00 00 00 00 00 00 00 00 00 00"));
    QCOMPARE(iconImage(form().pushButton3), red);
    QTest::mouseClick(form().pushButton3, Qt::LeftButton);
    QCOMPARE(iconImage(form().pushButton3), red);
    HubHarness::deliver(deviceFrame("24 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    QCOMPARE(iconImage(form().pushButton3), QIcon(Artwork::kSwitchOff).pixmap(40, 40).toImage());
}

void EditWindowTest::heldSliderIsNotPulledBack()
{
    QSlider* const slider = form().sliderPedal1Val;
    slider->setSliderDown(true);
    slider->setSliderPosition(600);
    HubHarness::deliver(deviceFrame("02 00 03 7F"));
    QCOMPARE(slider->value(), 600);
    slider->setSliderDown(false);
    HubHarness::deliver(deviceFrame("02 00 03 7F"));
    QCOMPARE(slider->value(), 511);
    QCOMPARE(form().labelPedal1Val->text(), QStringLiteral("511"));
}

// Two reports decoded on the input thread before the GUI shows the first: the
// hub already holds the second when the first reaches its widget. Neither may
// be sent back, or a unit that answers each frame with a report keeps the
// exchange going for ever.
void EditWindowTest::reportsInQuickSuccessionNotSentBack_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("program change") << deviceFrame("0C 04 02") << deviceFrame("0C 4B 06");
    QTest::newRow("MIDI channel") << deviceFrame("0E 03") << deviceFrame("0E 09");
    QTest::newRow("TAP tempo") << deviceFrame("0D 01 00 3C 40") << deviceFrame("0D 05 01 3E 41");
    QTest::newRow("extended PC channel") << deviceFrame("26 02") << deviceFrame("26 0A");
}

void EditWindowTest::reportsInQuickSuccessionNotSentBack()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    std::thread input([&] {
        HubHarness::deliver(first);
        HubHarness::deliver(second);
    });
    input.join();
    QCoreApplication::processEvents();
    QCOMPARE(trace->sentFrames(), QList<QByteArray>());
    HubHarness::deliver(first);
    QCOMPARE(trace->sentFrames(), QList<QByteArray>());
}

void EditWindowTest::bankAndNumberLabels_data()
{
    QTest::addColumn<int>("bank");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("bankText");
    QTest::addColumn<bool>("light");
    QTest::addColumn<QString>("numberText");

    QTest::newRow("26 is A on light") << 26 << 0 << "A" << true << "1";
    QTest::newRow("0 is A on dark") << 0 << 9 << "A" << false << "10";
    QTest::newRow("51 is Z on light") << 51 << 8 << "Z" << true << "9";
    QTest::newRow("no memory") << 16384 << 3 << "S" << false << "B";
    QTest::newRow("negative bank") << -1 << 3 << "S" << false << "B";
    QTest::newRow("no number") << 4 << 16384 << "E" << false << "B";
}

void EditWindowTest::bankAndNumberLabels()
{
    QFETCH(int, bank);
    QFETCH(int, number);
    QFETCH(QString, bankText);
    QFETCH(bool, light);
    QFETCH(QString, numberText);

    const QString dark = QStringLiteral("background-color: rgb(55, 55, 55);\ncolor: rgb(255, 255, 255);");
    const QString lightStyle = QStringLiteral("background-color: rgb(200, 200, 200);\ncolor: rgb(0, 0, 0);");
    harness->editWindow().showBank(bank);
    harness->editWindow().showNumber(number);
    QCOMPARE(form().labelBank->text(), bankText);
    QCOMPARE(form().labelBank->styleSheet(), light ? lightStyle : dark);
    QCOMPARE(form().labelNumber->text(), numberText);
    QCOMPARE(form().labelNumber->styleSheet(), dark);
    // The front panel shows the same.
    QCOMPARE(harness->mainWindow().findChild<QLabel*>("labelBank")->text(), bankText);
    QCOMPARE(harness->mainWindow().findChild<QLabel*>("labelNumber")->text(), numberText);
}

void EditWindowTest::keysNeverCloseCloseControlDoes()
{
    EditWindow& editor = harness->editWindow();
    bool openAfterKeys = false;
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
    QTimer::singleShot(5000, &editor, &QDialog::reject);
    QElapsedTimer clock;
    clock.start();
    emit harness->hub().openSignalEditWindow(1);
    QVERIFY(clock.elapsed() < 4000);
    QVERIFY(openAfterKeys);
    QVERIFY(!editor.isVisible());
    QVERIFY(trace->sentFrames().isEmpty());
}

void EditWindowTest::dragOnlyByTheTopStrip()
{
    EditWindow& editor = harness->editWindow();
    editor.move(100, 100);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QPoint start = editor.pos();
    // A slider pressed on its groove passes the moves that follow on to the
    // window, which saw no press.
    QSlider* const slider = form().sliderPedal1Val;
    const QPoint onGroove(slider->width() / 2, 4);
    QTest::mousePress(slider, Qt::LeftButton, {}, onGroove);
    QMouseEvent alongGroove(QEvent::MouseMove, QPointF(onGroove + QPoint(0, 30)),
                            slider->mapToGlobal(onGroove + QPoint(0, 30)), Qt::NoButton, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(slider, &alongGroove);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, onGroove);
    QCOMPARE(editor.pos(), start);

    QMouseEvent below(QEvent::MouseButtonPress, QPointF(300, 25), editor.mapToGlobal(QPoint(300, 25)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&editor, &below);
    QMouseEvent moveBelow(QEvent::MouseMove, QPointF(340, 65), editor.mapToGlobal(QPoint(340, 65)), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&editor, &moveBelow);
    QCOMPARE(editor.pos(), start);

    QMouseEvent onStrip(QEvent::MouseButtonPress, QPointF(300, 19), editor.mapToGlobal(QPoint(300, 19)), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&editor, &onStrip);
    QCOMPARE(form().labelBarra->cursor().shape(), Qt::ClosedHandCursor);
    const QPoint target = start + QPoint(40, 30);
    QMouseEvent move(QEvent::MouseMove, QPointF(340, 49), target + QPoint(300, 19), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&editor, &move);
    QCOMPARE(editor.pos(), target);

    // A dialog opens mid-drag and takes the release; later moves that a
    // pressed groove passes on leave the window alone.
    QWidget dialog;
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.close();
    editor.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    QTest::mousePress(slider, Qt::LeftButton, {}, onGroove);
    QApplication::sendEvent(slider, &alongGroove);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, onGroove);
    QCOMPARE(editor.pos(), target);
}

// The style sheets paint white on black; what they do not cover must not
// vanish into the black.
void EditWindowTest::readableOnBlack()
{
    EditWindow& editor = harness->editWindow();
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));

    QComboBox* const combo = form().comboBoxTAPMIDIch;
    combo->showPopup();
    QAbstractItemView* const list = combo->view();
    QTRY_VERIFY(list->isVisible());
    list->setCurrentIndex(list->model()->index(3, 0));
    const QPoint inRow(2, 2);
    const QColor current = pixelAt(list->viewport(), list->visualRect(list->currentIndex()).topLeft() + inRow);
    const QColor other = pixelAt(list->viewport(), list->visualRect(list->model()->index(8, 0)).topLeft() + inRow);
    combo->hidePopup();
    QVERIFY2(current != other, "the list's current entry looks like the others");

    editor.showPleaseWait(QStringLiteral("Backup un progress ..."));
    QProgressBar* const bar = form().progressBarPleaseWait;
    const QColor track = pixelAt(bar, QPoint(4, bar->height() / 2));
    const QColor around = pixelAt(form().groupBoxPleaseWait, bar->geometry().topLeft() - QPoint(3, 3));
    QVERIFY2(track != around, "the progress track is invisible");
    form().plainTextEditNome->setPlainText(QStringLiteral("Lead"));
    const QList<QWidget*> controls{form().pushButtonBackup, form().spinBoxPcTx, form().plainTextEditNome};
    QList<QImage> disabled;
    for (QWidget* const control : controls)
        disabled.append(control->grab().toImage());
    editor.endPleaseWait();
    for (int i = 0; i < controls.size(); ++i)
        QVERIFY2(controls[i]->grab().toImage() != disabled[i], qPrintable(controls[i]->objectName() + " looks enabled"));
}

void EditWindowTest::screenReaderNamesEverything()
{
    QCOMPARE(unnamedWidgets(&harness->editWindow()), QStringList());
    const DialogTextOk message(QStringLiteral("Nothing to say."));
    QCOMPARE(unnamedWidgets(&message), QStringList());
    // The effect buttons say whether the effect is on.
    QPushButton* const loop2 = form().pushButton2;
    const QString before = accessibleText(loop2, QAccessible::Description);
    harness->hub().effectStatus[1] = 1;
    harness->editWindow().showEffectStatus();
    QVERIFY(accessibleText(loop2, QAccessible::Description) != before);
}

void EditWindowTest::doneShownForTwoSeconds()
{
    QLabel* const done = form().labelDone;
    QVERIFY(done->isHidden());
    HubHarness::deliver(deviceFrame("28"));
    QCoreApplication::processEvents();
    QVERIFY(!done->isHidden());
    QTest::qWait(1700);
    QVERIFY(!done->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(done->isHidden(), 1000);
}

void EditWindowTest::messageReplacesTheOpenOne()
{
    QPointer<DialogTextOk> first;
    QPointer<DialogTextOk> second;
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

    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
    QCOMPARE(secondText, QStringLiteral("second"));
    QVERIFY(!g_dialogTextOk);
}

void EditWindowTest::longMessageIsNotCut()
{
    const QString refusal = QStringLiteral("Incompatible version.\n\nFile data version 1.0.3\nDevice data version 1.0.2");
    for (const QString& text : {refusal, QString(120, QLatin1Char('w')) + "\n" + refusal}) {
        const DialogTextOk dialog(text);
        const auto* const label = dialog.findChild<QLabel*>("label");
        const auto* const ok = dialog.findChild<QPushButton*>("pushButton");
        QCOMPARE(label->text(), text);
        QVERIFY(label->width() >= label->sizeHint().width() && label->height() >= label->sizeHint().height());
        QVERIFY(dialog.rect().contains(ok->geometry()));
        QVERIFY(!ok->geometry().intersects(label->geometry()));
    }
    QCOMPARE(DialogTextOk(refusal).size(), QSize(398, 198));
}

// At the platform's default font, every text fits its widget and no two
// neighbours overlap, except the pairs that share a place on purpose.
void EditWindowTest::nothingCutOrOverlapping()
{
    // The longer of the two operation texts.
    harness->editWindow().showPleaseWait(QStringLiteral("Restore un progress ..."));
    // The form's own widgets, not the parts Qt builds inside combo and spin boxes.
    QList<QWidget*> widgets;
    for (QWidget* const widget : harness->editWindow().findChildren<QWidget*>()) {
        const auto named = [](const QObject* o) { return !o->objectName().isEmpty() && !o->objectName().startsWith("qt_"); };
        if (named(widget) && named(widget->parentWidget()))
            widgets.append(widget);
    }
    QVERIFY(widgets.size() > 100);
    for (const QWidget* const widget : widgets) {
        const QString name = widget->objectName();
        QVERIFY2(widget->parentWidget()->rect().contains(widget->geometry()), qPrintable(name + " sticks out"));
        const auto* const label = qobject_cast<const QLabel*>(widget);
        const auto* const button = qobject_cast<const QAbstractButton*>(widget);
        if ((label && !label->text().isEmpty()) || (button && !button->text().isEmpty()))
            QVERIFY2(widget->width() >= widget->sizeHint().width() && widget->height() >= widget->fontMetrics().height(),
                     qPrintable(name + " cuts its text"));
        if (const auto* const group = qobject_cast<const QGroupBox*>(widget))
            QVERIFY2(group->width() > group->fontMetrics().horizontalAdvance(group->title()),
                     qPrintable(name + " cuts its title"));
    }
    const QSet<QSet<QString>> sharing = {{"labelBarra", "pushButtonClose"}, {"groupBoxPleaseWait", "labelDone"}};
    for (const QWidget* const a : widgets) {
        for (const QWidget* const b : widgets) {
            if (a < b && a->parentWidget() == b->parentWidget()
                && !sharing.contains({a->objectName(), b->objectName()}))
                QVERIFY2(!a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " overlaps " + b->objectName()));
        }
    }
}

QTEST_MAIN(EditWindowTest)
#include "tst_editwindow.moc"
