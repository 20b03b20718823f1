#include "ui/editwindow.h"

#include "app/globals.h"
#include "core/minicore.h"
#include "resources/artwork.h"
#include "ui/displaystyle.h"
#include "ui_editwindow.h"

#include <QTimerEvent>

#include <tuple>

namespace {

constexpr int kDoneShownMs = 2000;
constexpr int kSliderMax = 1023;
constexpr int kSecondBankSet = 26;  // banks 26-51 repeat the letters A-Z
const char* const kNoBank = "S";
const char* const kNoNumber = "B";

}  // namespace

EditWindow::EditWindow(QWidget* parent) : QDialog(parent), ui(new Ui::EditWindow)
{
    Artwork::registerResources();
    ui->setupUi(this);

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);

    // 1 before 0 so each value label receives a change and shows its number.
    for (const auto& pedal : {std::make_tuple(ui->sliderPedal1Max, ui->sliderPedal1Min, ui->sliderPedal1Val),
                              std::make_tuple(ui->sliderPedal2Max, ui->sliderPedal2Min, ui->sliderPedal2Val)}) {
        std::get<0>(pedal)->setValue(kSliderMax);
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

    iconLoopOn = QIcon(Artwork::kSwitchOnRed);
    iconOff = QIcon(Artwork::kSwitchOff);
    iconSwitchOn = QIcon(Artwork::kSwitchOn);

    ui->groupBoxPleaseWait->hide();
    ui->labelDone->hide();
    ui->labelBank->setText(QString::fromLatin1(kNoBank));
    ui->labelNumber->setText(QString::fromLatin1(kNoNumber));
}

EditWindow::~EditWindow() = default;

void EditWindow::fillChannelCombo(QComboBox* combo)
{
    combo->addItem(QStringLiteral("Off"));
    for (int channel = 1; channel <= Protocol::kChannelCount; ++channel)
        combo->addItem(QString::number(channel));
    combo->setCurrentIndex(0);
}

void EditWindow::showEffectStatus()
{
    if (!g_miniCore)
        return;
    for (int i = 0; i < Protocol::kEffectCount; ++i) {
        const bool on = g_miniCore->effectStatus[i] == 1;
        const QIcon& onIcon = i < Protocol::kLoopKeyCount ? iconLoopOn : iconSwitchOn;
        effectButtons[i]->setIcon(on ? onIcon : iconOff);
        effectShown[i] = on ? 1 : 0;
    }
}

void EditWindow::showBank(int bank)
{
    char text[2] = {};
    int secondSet = 0;
    // Past the last bank there is no letter to show.
    if (bank < 0 || bank >= Protocol::kBankCount) {
        text[0] = *kNoBank;
    } else if (bank >= kSecondBankSet) {
        text[0] = static_cast<char>('A' + (bank - kSecondBankSet));
        secondSet = 1;
    } else {
        text[0] = static_cast<char>('A' + bank);
    }
    ui->labelBank->setStyleSheet(secondSet ? DisplayStyle::kLight : DisplayStyle::kDark);
    ui->labelBank->setText(QString::fromLatin1(text));
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
