#include "ui/editwindow.h"

#include "app/globals.h"
#include "backup/memoryfile.h"
#include "backup/safetycopies.h"
#include "core/minicore.h"
#include "midi/midiconnection.h"
#include "protocol/commandsender.h"
#include "protocol/encoding.h"
#include "resources/artwork.h"
#include "ui/displaystyle.h"
#include "ui/dialogtextok.h"
#include "ui/readablestyle.h"
#include "ui/mainwindow.h"
#include "ui/windowactions.h"
#include "ui_editwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimerEvent>
#include <QUrl>

#include <string>
#include <tuple>
#include <utility>

using Protocol::Command;

namespace {

constexpr int kDoneShownMs = 2000;
const char* const kNoBank = "S";
const char* const kNoNumber = "B";

// The effect rows: loops 1-5 below loops 6-10, 120 pixels apart.
constexpr int kEffectsPerRow = 5;
constexpr int kEffectSpacing = 120;
constexpr int kEffectButtonSize = 40;
// A caption is wider than its button so that "SWT10" fits; it stays centred.
constexpr int kEffectCaptionWidth = 60;

enum Pedal { kPedal1 = 0, kPedal2 = 1 };

constexpr char32_t kLastLatin1 = 0xFF;
constexpr char kNotLatin1 = '?';

int flagOf(const QCheckBox* box)
{
    return box->checkState() != Qt::Unchecked ? 1 : 0;
}

// Cuts the box's text to limit characters (showing the cut text), then makes
// the bytes the device takes: Latin-1, '?' for what Latin-1 lacks, and '_' for
// every byte outside printable ASCII.
QByteArray preparedText(QPlainTextEdit* box, int limit)
{
    std::u32string characters = box->toPlainText().toStdU32String();
    if (characters.size() > static_cast<std::size_t>(limit)) {
        characters.resize(limit);
        box->setPlainText(QString::fromStdU32String(characters));
    }
    QByteArray bytes;
    for (const char32_t c : characters) {
        const char latin1 = c <= kLastLatin1 ? static_cast<char>(c) : kNotLatin1;
        bytes.append(Protocol::isPrintable(static_cast<unsigned char>(latin1)) ? latin1
                                                                                : Protocol::kTextReplacement);
    }
    return bytes;
}

// The echo guard: the hub stores a reported value before it sets the widget,
// so a value equal to the hub's came from the device (or is already there).
// A new value is stored and must be sent.
bool storeChange(std::atomic<int> MiniCore::*field, int value)
{
    if (!g_miniCore || g_miniCore->*field == value)
        return false;
    g_miniCore->*field = value;
    return true;
}

// The safety copies one click away in every backup and restore dialog.
void offerSafetyCopies(QFileDialog& dialog)
{
    const QString folder = SafetyCopies::folder();
    QList<QUrl> places = dialog.sidebarUrls();
    // The dialog remembers its side bar from one time to the next.
    if (folder.isEmpty() || places.contains(QUrl::fromLocalFile(folder)))
        return;
    places.append(QUrl::fromLocalFile(folder));
    dialog.setSidebarUrls(places);
}

}  // namespace

EditWindow::EditWindow(QWidget* parent) : QDialog(parent), ui(new Ui::EditWindow)
{
    Artwork::registerResources();
    ui->setupUi(this);

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());

    // 1 before 0 so each value label receives a change and shows its number.
    for (const auto& pedal : {std::make_tuple(ui->sliderPedal1Max, ui->sliderPedal1Min, ui->sliderPedal1Val),
                              std::make_tuple(ui->sliderPedal2Max, ui->sliderPedal2Min, ui->sliderPedal2Val)}) {
        std::get<0>(pedal)->setValue(Protocol::kPedalMax);
        std::get<1>(pedal)->setValue(1);
        std::get<2>(pedal)->setValue(1);
        std::get<1>(pedal)->setValue(0);
        std::get<2>(pedal)->setValue(0);
    }

    for (QComboBox* const combo :
         {ui->comboBoxMIDIch, ui->comboBoxMIDIchPC, ui->comboBoxTAPMIDIch, ui->comboBoxExtendedPCMIDIch})
        fillChannelCombo(combo);

    effectButtons = {ui->pushButton1, ui->pushButton2, ui->pushButton3,  ui->pushButton4,   ui->pushButton5,
                     ui->pushButton6, ui->pushButton7, ui->pushButton8,  ui->pushButton9,   ui->pushButton10,
                     ui->pushButtonSW1, ui->pushButtonSW2, ui->pushButtonSW3};
    effectLabels = {ui->labelp1, ui->labelp2, ui->labelp3,  ui->labelp4,  ui->labelp5,  ui->labelp6, ui->labelp7,
                    ui->labelp8, ui->labelp9, ui->labelp10, ui->labelp11, ui->labelp12, ui->labelp13};
    for (int i = 0; i < Protocol::kEffectCount; ++i) {
        effectLabels[i]->setText(i < Protocol::kLoopKeyCount ? QStringLiteral("SWT%1").arg(i + 1)
                                                             : QStringLiteral("SW%1").arg(i - Protocol::kLoopKeyCount + 1));
    }
    placeEffectControls();
    effectShown.fill(0);

    iconLoopOn = QIcon(Artwork::kSwitchOnRed);
    iconOff = QIcon(Artwork::kSwitchOff);
    iconSwitchOn = QIcon(Artwork::kSwitchOn);

    ui->groupBoxPleaseWait->hide();
    ui->labelDone->hide();
    ui->labelBank->setText(QString::fromLatin1(kNoBank));
    ui->labelNumber->setText(QString::fromLatin1(kNoNumber));

    ReadableStyle::applyTo(this);
    describeForAccessibility();
    addWindowActions(*this);
    // Return confirms a name, as users expect, instead of starting a line,
    // and Tab moves on instead of typing a character the device cannot show.
    for (QPlainTextEdit* const box : {ui->plainTextEditNome, ui->plainTextEditDeviceName}) {
        box->installEventFilter(this);
        box->setTabChangesFocus(true);
    }
}

EditWindow::~EditWindow() = default;

void EditWindow::describeForAccessibility()
{
    const std::initializer_list<std::pair<QWidget*, const char*>> names = {
        {ui->labelBarra, "Drag bar"},
        {ui->pushButtonClose, "Close the editor"},
        {ui->sliderPedal1Val, "Pedal 1 value"},
        {ui->sliderPedal1Min, "Pedal 1 minimum"},
        {ui->sliderPedal1Max, "Pedal 1 maximum"},
        {ui->labelPedal1Val, "Pedal 1 value reading"},
        {ui->labelPedal1Min, "Pedal 1 minimum reading"},
        {ui->labelPedal1Max, "Pedal 1 maximum reading"},
        {ui->spinBoxPedal1MIDIcc, "Pedal 1 MIDI control change"},
        {ui->sliderPedal2Val, "Pedal 2 value"},
        {ui->sliderPedal2Min, "Pedal 2 minimum"},
        {ui->sliderPedal2Max, "Pedal 2 maximum"},
        {ui->labelPedal1Val_2, "Pedal 2 value reading"},
        {ui->labelPedal1Min_2, "Pedal 2 minimum reading"},
        {ui->labelPedal1Max_2, "Pedal 2 maximum reading"},
        {ui->spinBoxPedal2MIDIcc, "Pedal 2 MIDI control change"},
        {ui->plainTextEditNome, "Memory name"},
        {ui->labelBank, "Bank display"},
        {ui->labelNumber, "Number display"},
        {ui->comboBoxMIDIchPC, "Program change MIDI channel"},
        {ui->spinBoxPcTx, "Program change number"},
        {ui->spinBoxTAPNota, "TAP note"},
        {ui->spinBoxTAPCC, "TAP control change"},
        {ui->comboBoxTAPMIDIch, "TAP MIDI channel"},
        {ui->comboBoxMIDIch, "Pedals MIDI channel"},
        {ui->plainTextEditDeviceName, "Device name"},
        {ui->comboBoxExtendedPCMIDIch, "Extended program change MIDI channel"},
        {ui->progressBarPleaseWait, "Progress"},
        {ui->pushButtonCancel, "Cancel"},
        {ui->labelDone, "Done"},
    };
    for (const auto& [widget, name] : names)
        widget->setAccessibleName(QString::fromLatin1(name));
    ui->labelBank->setAccessibleDescription(ui->labelBank->text());
    ui->labelNumber->setAccessibleDescription(ui->labelNumber->text());
    for (int i = 0; i < Protocol::kEffectCount; ++i) {
        effectButtons[i]->setAccessibleName(effectLabels[i]->text());
        effectButtons[i]->setAccessibleDescription(QStringLiteral("off"));
    }
}

bool EditWindow::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::KeyPress;
    if (!press && event->type() != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, event);
    const auto* const key = static_cast<QKeyEvent*>(event);
    // Alt+Tab and the like would type a tab, which the device cannot show.
    if (key->key() == Qt::Key_Tab && (key->modifiers() & ~Qt::ShiftModifier) != Qt::NoModifier)
        return true;
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QDialog::eventFilter(watched, event);
    // A held Return sends the name once. X repeats it as a release and a
    // press of the same time, which Qt flags only when both came together.
    if (!press) {
        lastReturnRelease = key->timestamp();
        return true;
    }
    const bool repeat = key->isAutoRepeat() || (key->timestamp() != 0 && key->timestamp() == lastReturnRelease);
    if (!repeat)
        (watched == ui->plainTextEditNome ? ui->pushButtonSetNome : ui->pushButtonSetNomeDevice)->click();
    return true;
}

void EditWindow::fillChannelCombo(QComboBox* combo)
{
    combo->addItem(QStringLiteral("Off"));
    for (int channel = 1; channel <= Protocol::kChannelCount; ++channel)
        combo->addItem(QString::number(channel));
    combo->setCurrentIndex(0);
}

void EditWindow::placeEffectControls()
{
    const int captionHeight = effectLabels[0]->height();
    const auto place = [&](int effect, const QPoint& button) {
        effectButtons[effect]->setGeometry(button.x(), button.y(), kEffectButtonSize, kEffectButtonSize);
        effectLabels[effect]->setGeometry(button.x() - (kEffectCaptionWidth - kEffectButtonSize) / 2,
                                          button.y() + kEffectButtonSize, kEffectCaptionWidth, captionHeight);
    };
    const QPoint lowerRow = effectButtons[0]->pos();
    const QPoint upperRow = effectButtons[kEffectsPerRow]->pos();
    for (int i = 0; i < kEffectsPerRow; ++i) {
        place(i, lowerRow + QPoint(kEffectSpacing * i, 0));
        place(kEffectsPerRow + i, upperRow + QPoint(kEffectSpacing * i, 0));
    }
    for (int i = Protocol::kLoopKeyCount; i < Protocol::kEffectCount; ++i)
        place(i, effectButtons[i]->pos());
}

void EditWindow::showEffectStatus()
{
    if (!g_miniCore)
        return;
    for (int i = 0; i < Protocol::kEffectCount; ++i) {
        const bool on = g_miniCore->effectStatus[i] == 1;
        const QIcon& onIcon = i < Protocol::kLoopKeyCount ? iconLoopOn : iconSwitchOn;
        effectButtons[i]->setIcon(on ? onIcon : iconOff);
        effectButtons[i]->setAccessibleDescription(on ? QStringLiteral("on") : QStringLiteral("off"));
        effectShown[i] = on ? 1 : 0;
    }
}

void EditWindow::showBank(int bank)
{
    char text[2] = {};
    int secondSet = 0;
    // Past the last bank there is no letter to show.
    if (!Protocol::isBank(bank)) {
        text[0] = *kNoBank;
    } else {
        text[0] = Protocol::bankLetter(bank);
        secondSet = bank >= Protocol::kBanksPerLetterSet ? 1 : 0;
    }
    ui->labelBank->setStyleSheet(secondSet ? DisplayStyle::kLight : DisplayStyle::kDark);
    ui->labelBank->setText(QString::fromLatin1(text));
    ui->labelBank->setAccessibleDescription(ui->labelBank->text());
    if (g_miniCore)
        emit g_miniCore->SignalDisplayBank(text, secondSet);
}

void EditWindow::showNumber(int number)
{
    char text[3] = {};
    ui->labelNumber->setStyleSheet(DisplayStyle::kDark);
    if (number == Protocol::kNoMemory || number < 0 || ui->labelBank->text() == QLatin1String(kNoBank)) {
        text[0] = *kNoNumber;
    } else if (number >= Protocol::kNumbersPerBank - 1) {
        text[0] = '1';
        text[1] = '0';
    } else {
        text[0] = static_cast<char>('1' + number);
    }
    ui->labelNumber->setText(QString::fromLatin1(text));
    ui->labelNumber->setAccessibleDescription(ui->labelNumber->text());
    if (g_miniCore)
        emit g_miniCore->SignalDisplayNumber(text);
}

void EditWindow::showDone()
{
    ui->labelDone->show();
    doneTimerId = startTimer(kDoneShownMs, Qt::CoarseTimer);
}

void EditWindow::timerEvent(QTimerEvent* event)
{
    killTimer(event->timerId());
    ui->labelDone->hide();
}

void EditWindow::mousePressEvent(QMouseEvent* event)
{
    dragBar.press(event, ui->labelBarra);
}

void EditWindow::mouseReleaseEvent(QMouseEvent* event)
{
    dragBar.release(event, ui->labelBarra);
}

void EditWindow::mouseMoveEvent(QMouseEvent* event)
{
    dragBar.move(event);
}

void EditWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        dragBar.cancel();
    QDialog::changeEvent(event);
}

void EditWindow::keyPressEvent(QKeyEvent* /*event*/)
{
}

// Pedals: no hub field to compare with; the hub blocks the CC boxes' signals
// and sliders send only on user moves, so reports are not sent back.

void EditWindow::sendPedalSwitch(int pedal) const
{
    const bool first = pedal == kPedal1;
    const int on = flagOf(first ? ui->checkBoxPedal1OnOff : ui->checkBoxPedal2OnOff);
    const int cc = (first ? ui->spinBoxPedal1MIDIcc : ui->spinBoxPedal2MIDIcc)->value();
    CommandSender::sendPedalSwitch(pedal, on, cc);
}

void EditWindow::sendSliderStep(const QSlider* slider, int action, int pedal, Command which)
{
    // A drag is already sent by sliderMoved; a step against an end moves nothing.
    if (action == QAbstractSlider::SliderNoAction || (action == QAbstractSlider::SliderMove && slider->isSliderDown())
        || slider->sliderPosition() == slider->value())
        return;
    CommandSender::sendPedalSetting(pedal, slider->sliderPosition(), which);
}

void EditWindow::on_checkBoxPedal1OnOff_clicked() { sendPedalSwitch(kPedal1); }
void EditWindow::on_sliderPedal1Val_sliderMoved(int position)
{
    CommandSender::sendPedalSetting(kPedal1, position, Command::PedalValue);
}
void EditWindow::on_sliderPedal1Min_sliderMoved(int position)
{
    CommandSender::sendPedalSetting(kPedal1, position, Command::PedalMin);
}
void EditWindow::on_sliderPedal1Max_sliderMoved(int position)
{
    CommandSender::sendPedalSetting(kPedal1, position, Command::PedalMax);
}
void EditWindow::on_spinBoxPedal1MIDIcc_valueChanged(int /*arg1*/) { sendPedalSwitch(kPedal1); }
void EditWindow::on_checkBoxPedal2OnOff_clicked() { sendPedalSwitch(kPedal2); }
void EditWindow::on_sliderPedal2Val_sliderMoved(int position)
{
    CommandSender::sendPedalSetting(kPedal2, position, Command::PedalValue);
}
void EditWindow::on_sliderPedal2Min_sliderMoved(int position)
{
    CommandSender::sendPedalSetting(kPedal2, position, Command::PedalMin);
}
void EditWindow::on_sliderPedal2Max_sliderMoved(int position)
{
    CommandSender::sendPedalSetting(kPedal2, position, Command::PedalMax);
}
void EditWindow::on_spinBoxPedal2MIDIcc_valueChanged(int /*arg1*/) { sendPedalSwitch(kPedal2); }

void EditWindow::on_sliderPedal1Val_actionTriggered(int action)
{
    sendSliderStep(ui->sliderPedal1Val, action, kPedal1, Command::PedalValue);
}
void EditWindow::on_sliderPedal1Min_actionTriggered(int action)
{
    sendSliderStep(ui->sliderPedal1Min, action, kPedal1, Command::PedalMin);
}
void EditWindow::on_sliderPedal1Max_actionTriggered(int action)
{
    sendSliderStep(ui->sliderPedal1Max, action, kPedal1, Command::PedalMax);
}
void EditWindow::on_sliderPedal2Val_actionTriggered(int action)
{
    sendSliderStep(ui->sliderPedal2Val, action, kPedal2, Command::PedalValue);
}
void EditWindow::on_sliderPedal2Min_actionTriggered(int action)
{
    sendSliderStep(ui->sliderPedal2Min, action, kPedal2, Command::PedalMin);
}
void EditWindow::on_sliderPedal2Max_actionTriggered(int action)
{
    sendSliderStep(ui->sliderPedal2Max, action, kPedal2, Command::PedalMax);
}

void EditWindow::on_pushButtonSetNome_clicked()
{
    QByteArray name = preparedText(ui->plainTextEditNome, Protocol::kMaxMemoryNameLength);
    CommandSender::sendMemoryName(name.constData());
    // The hub's stored name stays as the device reported it.
    if (g_miniCore)
        emit g_miniCore->SignalDisplayName(name.data());
}

// Radio buttons and check boxes send on clicks only, which reports never
// raise, so they need no guard.

void EditWindow::selectAmp(int amp)
{
    if (!g_miniCore)
        return;
    g_miniCore->ampType = amp;
    CommandSender::sendAmpSelect(amp);
}

void EditWindow::selectButtonMode(int mode)
{
    if (!g_miniCore)
        return;
    g_miniCore->buttonMode = mode;
    CommandSender::sendButtonMode(mode);
}

void EditWindow::on_radioButtonA_clicked() { selectAmp(0); }
void EditWindow::on_radioButtonB_clicked() { selectAmp(1); }
void EditWindow::on_radioButtonAB_clicked() { selectAmp(2); }

void EditWindow::on_checkBoxBuffer2_clicked()
{
    if (!g_miniCore)
        return;
    g_miniCore->buffer2OnOff = flagOf(ui->checkBoxBuffer2);
    CommandSender::sendBuffer2(g_miniCore->buffer2OnOff);
}

void EditWindow::on_checkBoxSwitch3_clicked()
{
    if (!g_miniCore)
        return;
    g_miniCore->switch3OnOff = flagOf(ui->checkBoxSwitch3);
    CommandSender::sendSwitch3(g_miniCore->switch3OnOff);
}

void EditWindow::on_radioButtonLatch_clicked() { selectButtonMode(0); }
void EditWindow::on_radioButton250_clicked() { selectButtonMode(1); }
void EditWindow::on_radioButton500_clicked() { selectButtonMode(2); }
void EditWindow::on_radioButton1000_clicked() { selectButtonMode(3); }

void EditWindow::on_checkBoxMIDIThru_clicked()
{
    if (!g_miniCore)
        return;
    g_miniCore->midiThru = flagOf(ui->checkBoxMIDIThru);
    CommandSender::sendMidiThru(g_miniCore->midiThru);
}

void EditWindow::on_comboBoxMIDIch_currentIndexChanged(int index)
{
    if (storeChange(&MiniCore::midiChannel, index))
        CommandSender::sendMidiChannel(Encoding::channelIndexToWire(index));
}

void EditWindow::sendProgramChange() const
{
    CommandSender::sendProgramChange(Encoding::channelIndexToWire(g_miniCore->pcMidiChannel),
                                     g_miniCore->pcNumber - 1);
}

void EditWindow::sendTapTempo() const
{
    CommandSender::sendTapTempo(Encoding::channelIndexToWire(g_miniCore->tapMidiChannel), g_miniCore->tapNoteCc,
                                g_miniCore->tapNote, g_miniCore->tapCc);
}

void EditWindow::on_comboBoxMIDIchPC_currentIndexChanged(int index)
{
    if (storeChange(&MiniCore::pcMidiChannel, index))
        sendProgramChange();
}

void EditWindow::on_spinBoxPcTx_valueChanged(int arg1)
{
    if (storeChange(&MiniCore::pcNumber, arg1))
        sendProgramChange();
}

void EditWindow::on_spinBoxTAPCC_valueChanged(int arg1)
{
    if (storeChange(&MiniCore::tapCc, arg1))
        sendTapTempo();
}

void EditWindow::on_spinBoxTAPNota_valueChanged(int arg1)
{
    if (storeChange(&MiniCore::tapNote, arg1))
        sendTapTempo();
}

void EditWindow::on_comboBoxTAPMIDIch_currentIndexChanged(int index)
{
    if (storeChange(&MiniCore::tapMidiChannel, index))
        sendTapTempo();
}

void EditWindow::on_radioButtonNOTE_clicked()
{
    if (storeChange(&MiniCore::tapNoteCc, 1))
        sendTapTempo();
}

void EditWindow::on_radioButtonCC_clicked()
{
    if (storeChange(&MiniCore::tapNoteCc, 0))
        sendTapTempo();
}

void EditWindow::on_pushButtonSelectMem_clicked()
{
    if (g_miniCore)
        emit g_miniCore->openSignalOpenMemorySelectWindow(0);
}

void EditWindow::on_pushButtonWriteMem_clicked()
{
    CommandSender::sendWriteStart();
    if (g_miniCore)
        emit g_miniCore->openSignalOpenMemorySelectWindow(1);
}

void EditWindow::on_pushButtonRestore_clicked()
{
    QFileDialog dialog(nullptr, QStringLiteral("Select file"), QString(), QString::fromLatin1(MemoryFile::kFileFilter));
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    offerSafetyCopies(dialog);
    if (dialog.exec() == QDialog::Accepted)
        restoreFile(dialog.selectedFiles().value(0));
}

QString EditWindow::whyNoRestore() const
{
    if (!isVisible())
        return QStringLiteral("A restore runs in the editor: press Menu to open it, then restore.");
    if (ui->groupBoxPleaseWait->isVisible())
        return QStringLiteral("A backup or restore is under way: wait for its end, then restore.");
    return {};
}

void EditWindow::restoreFile(const QString& path)
{
    if (path.isEmpty() || !g_miniCore || !whyNoRestore().isEmpty())
        return;
    showPleaseWait(QStringLiteral("Restore un progress ..."));
    g_miniCore->restoreFromFile(path);
}

bool EditWindow::confirmReplace(const QString& path)
{
    QMessageBox question(QMessageBox::Question, QStringLiteral("Save to file"),
                         QStringLiteral("%1 already exists.\nDo you want to replace it?")
                             .arg(QDir::toNativeSeparators(path)),
                         QMessageBox::Yes | QMessageBox::No);
    question.setDefaultButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

void EditWindow::on_pushButtonBackup_clicked()
{
    QFileDialog dialog(nullptr, QStringLiteral("Save to file"), QDir::currentPath(),
                       QString::fromLatin1(MemoryFile::kFileFilter));
    // The dialog would ask about the name as typed; ".mem" may still be added
    // to it ("x.MEM", "setlist.v2"), so the question is asked below, about the
    // file that will really be written.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    offerSafetyCopies(dialog);
    backupFileName = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    if (backupFileName.isEmpty() || !g_miniCore)
        return;
    // Refused before the device is asked: a whole memory takes a while to come.
    if (QFileInfo(backupFileName).fileName().isEmpty()) {
        DialogTextOk::showMessage(QStringLiteral("%1 names no file.\n\nNothing was sent to the device: choose a file name.")
                                      .arg(QDir::toNativeSeparators(backupFileName)));
        return;
    }
    backupFileName = MemoryFile::ensureMemExtension(backupFileName);
    const QString folder = QFileInfo(backupFileName).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        DialogTextOk::showMessage(QStringLiteral("The folder\n%1\ndoes not exist.\n\nNothing was sent to the device: "
                                                 "choose another.")
                                      .arg(QDir::toNativeSeparators(folder)));
        return;
    }
    if (QFileInfo(backupFileName).isDir()) {
        DialogTextOk::showMessage(QStringLiteral("%1 is a folder.\n\nNothing was sent to the device: choose a file name.")
                                      .arg(QDir::toNativeSeparators(backupFileName)));
        return;
    }
    if (QFileInfo::exists(backupFileName) && !confirmReplace(backupFileName))
        return;
    g_miniCore->startBackup();
    g_miniCore->setFilePath(backupFileName);
    CommandSender::sendBackupRequest();
    showPleaseWait(QStringLiteral("Backup un progress ..."));
}

void EditWindow::on_pushButtonCancel_clicked()
{
    if (!g_miniCore)
        return;
    // Asked while the restore waits: it goes on only once this is answered.
    if (g_miniCore->sendingRestoreBlocks()) {
        QMessageBox question(QMessageBox::Question, QStringLiteral("Restore"),
                             QStringLiteral("The device will be left with part of the file. Stop the restore?"),
                             QMessageBox::Yes | QMessageBox::No);
        question.setDefaultButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes)
            return;
    }
    g_miniCore->cancelOperation();
}

void EditWindow::showPleaseWait(const QString& operation)
{
    ui->labelPleaseWait->setText(operation);
    ui->progressBarPleaseWait->setValue(0);
    ui->groupBoxPleaseWait->show();
    setControlsEnabled(false);
}

void EditWindow::endPleaseWait()
{
    ui->groupBoxPleaseWait->hide();
    setControlsEnabled(true);
}

void EditWindow::setControlsEnabled(bool enabled)
{
    // The close control too: the operation runs inside this window's loop.
    const QList<const QWidget*> keptAlive{ui->labelBarra, ui->groupBoxPleaseWait, ui->labelDone};
    for (QWidget* const child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!keptAlive.contains(child))
            child->setEnabled(enabled);
    }
    if (g_mainWindow)
        g_mainWindow->setKeysEnabled(enabled);
    g_midiConnection.holdOtherFrames(!enabled);
}

void EditWindow::toggleEffect(int effect)
{
    if (!g_miniCore)
        return;
    // The icon changes only when the device reports the new states.
    std::atomic<int>& state = g_miniCore->effectStatus[effect];
    state = state == 1 ? 0 : 1;
    CommandSender::EffectStates states{};
    for (int i = 0; i < Protocol::kEffectCount; ++i)
        states[i] = g_miniCore->effectStatus[i];
    CommandSender::sendEffectStatus(states);
}

void EditWindow::on_pushButton1_clicked() { toggleEffect(0); }
void EditWindow::on_pushButton2_clicked() { toggleEffect(1); }
void EditWindow::on_pushButton3_clicked() { toggleEffect(2); }
void EditWindow::on_pushButton4_clicked() { toggleEffect(3); }
void EditWindow::on_pushButton5_clicked() { toggleEffect(4); }
void EditWindow::on_pushButton6_clicked() { toggleEffect(5); }
void EditWindow::on_pushButton7_clicked() { toggleEffect(6); }
void EditWindow::on_pushButton8_clicked() { toggleEffect(7); }
void EditWindow::on_pushButton9_clicked() { toggleEffect(8); }
void EditWindow::on_pushButton10_clicked() { toggleEffect(9); }
void EditWindow::on_pushButtonSW1_clicked() { toggleEffect(10); }
void EditWindow::on_pushButtonSW2_clicked() { toggleEffect(11); }
void EditWindow::on_pushButtonSW3_clicked() { toggleEffect(12); }

void EditWindow::on_pushButtonSetNomeDevice_clicked()
{
    // Unlike the memory name, the front panel does not show it.
    const QByteArray name = preparedText(ui->plainTextEditDeviceName, Protocol::kMaxDeviceNameLength);
    CommandSender::sendDeviceName(name.constData());
}

void EditWindow::on_checkBoxWirelessOnOff_clicked()
{
    if (!g_miniCore)
        return;
    g_miniCore->wirelessOnOff = flagOf(ui->checkBoxWirelessOnOff);
    CommandSender::sendWireless(g_miniCore->wirelessOnOff);
}

void EditWindow::on_comboBoxExtendedPCMIDIch_currentIndexChanged(int index)
{
    if (storeChange(&MiniCore::extPcMidiChannel, index))
        CommandSender::sendExtPcMidiChannel(Encoding::channelIndexToWire(index));
}

void EditWindow::on_pushButtonClose_clicked()
{
    close();
}
