#include "ui/memoryselect.h"

#include "app/globals.h"
#include "core/minicore.h"
#include "protocol/commandsender.h"
#include "protocol/encoding.h"
#include "resources/artwork.h"
#include "ui/displaystyle.h"
#include "ui_memoryselect.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTimerEvent>

namespace {

constexpr int kDialogWidth = 976;
constexpr int kDialogHeight = 320;

// Letters and digits: 32-pixel squares, 36 pixels apart.
constexpr int kChoiceSize = 32;
constexpr int kChoicePitch = 36;
constexpr int kChoiceFontPointSize = 16;
constexpr int kFirstChoiceX = 20;
constexpr int kUpperBankRowY = 80;
constexpr int kLowerBankRowY = 120;
constexpr int kNumberRowY = 220;
// From the first digit's left pixel to the last digit's right pixel.
constexpr int kNumberRowSpan = (Protocol::kNumbersPerBank - 1) * kChoicePitch + kChoiceSize - 1;

// The red square shows as a frame this wide around the marked label.
constexpr int kMarkMargin = 2;
constexpr int kMarkSize = kChoiceSize + 2 * kMarkMargin;

constexpr int kButtonGap = 150;

constexpr int kTickMs = 500;
// The completion picture goes at the fourth tick, 1.5 to 2 seconds on.
constexpr int kDoneTicks = 4;

const char* const kButtonStyle = "color: rgb(0, 0, 0);\nbackground-color: rgb(255, 255, 255);";

QString titleFor(int mode)
{
    return mode == MemorySelect::kSelectMode ? QStringLiteral("Memory Select") : QStringLiteral("Memory Write");
}

void placeMark(QLabel* mark, const QLabel* around)
{
    mark->setGeometry(around->x() - kMarkMargin, around->y() - kMarkMargin, kMarkSize, kMarkSize);
    mark->show();
}

}  // namespace

MemorySelect::MemorySelect(int mode, QWidget* parent) : QDialog(parent), ui(new Ui::MemorySelect)
{
    Artwork::registerResources();
    ui->setupUi(this);
    setWindowFlags(Qt::CustomizeWindowHint);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);

    for (int bank = 0; bank < Protocol::kBankCount; ++bank) {
        const bool upper = bank < Protocol::kBanksPerLetterSet;
        const int column = bank % Protocol::kBanksPerLetterSet;
        bankLabels[bank] = addChoiceLabel(QString(QLatin1Char(Protocol::bankLetter(bank))),
                                          QPoint(kFirstChoiceX + kChoicePitch * column,
                                                 upper ? kUpperBankRowY : kLowerBankRowY),
                                          upper ? DisplayStyle::kDark : DisplayStyle::kLight);
        bankLabels[bank]->setAccessibleName(
            (upper ? QStringLiteral("Bank %1") : QStringLiteral("Bank %1, light row")).arg(bankLabels[bank]->text()));
    }
    // The digits are centred on the final width.
    setFixedSize(kDialogWidth, kDialogHeight);
    const int firstNumberX = (width() - 1 - kNumberRowSpan) / 2;
    for (int number = 0; number < Protocol::kNumbersPerBank; ++number) {
        numberLabels[number] = addChoiceLabel(QString::number(number + 1),
                                              QPoint(firstNumberX + kChoicePitch * number, kNumberRowY),
                                              DisplayStyle::kDark);
        numberLabels[number]->setAccessibleName(QStringLiteral("Number %1").arg(number + 1));
    }
    ui->labelBackBank->setAccessibleName(QStringLiteral("Marked bank"));
    ui->labelBackNumber->setAccessibleName(QStringLiteral("Marked number"));
    ui->labelDone->setAccessibleName(QStringLiteral("Done"));

    ui->labelBackBank->hide();
    ui->labelBackNumber->hide();
    ui->labelBankSelect->move(bankLabels[0]->x(), bankLabels[0]->y() - kChoiceSize);
    ui->labelNumberSelect->move(numberLabels[0]->x(), numberLabels[0]->y() - kChoiceSize);

    layOutButtons(mode);
    ui->pushButtonOK->setStyleSheet(QLatin1String(kButtonStyle));
    ui->pushButtonOK->setEnabled(true);

    // An index past the last memory has no letter and digit to mark, so it
    // opens as if no memory were known.
    const int currentBank = g_miniCore ? g_miniCore->bank.load() : -1;
    const int currentNumber = g_miniCore ? g_miniCore->number.load() : -1;
    const bool known = g_miniCore && g_miniCore->memoryIndex >= 0 && Protocol::isBank(currentBank) &&
                       Protocol::isNumber(currentNumber);
    if (known) {
        confirmedBank = currentBank;
        markBank(currentBank);
        markNumber(currentNumber);
        blink = 0;
    } else {
        confirmedBank = -1;
        markBank(0);
        markNumber(0);
        blink = 1;
    }

    ui->labelWindowTitle->setText(titleFor(mode));
    mode_ = mode;

    doneCountdown = -1;
    ui->labelDone->hide();
}

MemorySelect::~MemorySelect() = default;

QLabel* MemorySelect::addChoiceLabel(const QString& text, const QPoint& position, const char* style)
{
    auto* const label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("label"));
    QFont font = label->font();
    font.setPointSize(kChoiceFontPointSize);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setCursor(Qt::PointingHandCursor);
    label->setGeometry(position.x(), position.y(), kChoiceSize, kChoiceSize);
    label->setStyleSheet(QLatin1String(style));
    return label;
}

void MemorySelect::layOutButtons(int mode)
{
    QPushButton* const ok = ui->pushButtonOK;
    QPushButton* const close = ui->pushButtonCancel;
    const int row = ok->y();
    if (mode == kWriteMode) {
        const int okX = (width() - 1 - 2 * ok->width() - (kButtonGap - 1)) / 2;
        ok->move(okX, row);
        close->move(okX + ok->width() + kButtonGap, row);
        ok->show();
    } else {
        close->move((width() - close->width()) / 2, row);
        ok->hide();
        close->setText(QStringLiteral("Close"));
    }
}

void MemorySelect::setMode(int mode)
{
    layOutButtons(mode);
    ui->labelWindowTitle->setText(titleFor(mode));
    mode_ = mode;
}

void MemorySelect::markBank(int bank)
{
    placeMark(ui->labelBackBank, bankLabels[bank]);
    ui->labelBackBank->setAccessibleDescription(bankLabels[bank]->accessibleName());
    selectedBank_ = bank;
    if (bank == confirmedBank) {
        blink = 0;
        ui->labelBackNumber->show();
    } else {
        blink = 1;
    }
}

void MemorySelect::markNumber(int number)
{
    placeMark(ui->labelBackNumber, numberLabels[number]);
    ui->labelBackNumber->setAccessibleDescription(numberLabels[number]->accessibleName());
    selectedNumber_ = number;
}

void MemorySelect::storeSelectionInHub() const
{
    if (!g_miniCore)
        return;
    g_miniCore->bank = selectedBank_;
    g_miniCore->number = selectedNumber_;
    g_miniCore->memoryIndex = Encoding::memoryIndexOf(selectedBank_, selectedNumber_);
}

void MemorySelect::confirm()
{
    confirmedBank = selectedBank_;
    blink = 0;
    ui->labelBackNumber->show();
    storeSelectionInHub();
}

void MemorySelect::showDeviceBank(int bank)
{
    if (Protocol::isBank(bank))
        markBank(bank);
}

void MemorySelect::showDeviceNumber(int number)
{
    if (!Protocol::isNumber(number))
        return;
    markNumber(number);
    confirm();
}

void MemorySelect::showWriteBank(int bank)
{
    if (!Protocol::isBank(bank))
        return;
    markBank(bank);
    blink = 1;
}

void MemorySelect::showWriteNumber(int number)
{
    if (Protocol::isNumber(number))
        markNumber(number);
}

void MemorySelect::showDone()
{
    ui->labelDone->show();
    ui->labelDone->raise();
    doneCountdown = kDoneTicks;
}

void MemorySelect::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timerId) {
        QDialog::timerEvent(event);
        return;
    }
    // isHidden, not isVisible: the square keeps blinking while the dialog
    // itself is hidden.
    if (blink == 1)
        ui->labelBackNumber->setHidden(!ui->labelBackNumber->isHidden());
    if (doneCountdown >= 0 && --doneCountdown == 0) {
        ui->labelDone->hide();
        doneCountdown = -1;
    }
}

void MemorySelect::mousePressEvent(QMouseEvent* event)
{
    clickPosition = event->pos();
}

void MemorySelect::mouseReleaseEvent(QMouseEvent* event)
{
    clickPosition = event->pos();
    // Strictly inside: a click on a label's border pixels or between labels
    // chooses nothing.
    const bool strictlyInside = true;
    for (int bank = 0; bank < Protocol::kBankCount; ++bank) {
        if (bankLabels[bank]->geometry().contains(clickPosition, strictlyInside))
            bankClicked(bank);
    }
    for (int number = 0; number < Protocol::kNumbersPerBank; ++number) {
        if (numberLabels[number]->geometry().contains(clickPosition, strictlyInside))
            numberClicked(number);
    }
}

void MemorySelect::bankClicked(int bank)
{
    markBank(bank);
    if (writesOnClick()) {
        CommandSender::sendWriteBank(bank);
        return;
    }
    CommandSender::sendSelectBank(bank);
    if (g_miniCore)
        g_miniCore->openSlotSetBank(bank, MiniCore::kFromEditor);
}

void MemorySelect::numberClicked(int number)
{
    markNumber(number);
    if (writesOnClick()) {
        CommandSender::sendWriteNumber(number);
        return;
    }
    CommandSender::sendSelectNumber(number);
    confirm();
    CommandSender::sendSelectMemory(Encoding::memoryIndexOf(selectedBank_, selectedNumber_));
    if (g_miniCore)
        g_miniCore->openSlotSetNumber(number, MiniCore::kFromEditor);
}

void MemorySelect::keyPressEvent(QKeyEvent* /*event*/)
{
}

void MemorySelect::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Ticks only while shown: the dialog is kept hidden between uses, and a
    // hidden blink would wake the program twice a second for nothing.
    if (timerId == 0)
        timerId = startTimer(kTickMs, Qt::CoarseTimer);
    // The editor shows the dialog's choice while it is open.
    if (!g_miniCore)
        return;
    g_miniCore->openSlotSetBank(selectedBank_, MiniCore::kFromEditor);
    g_miniCore->openSlotSetNumber(selectedNumber_, MiniCore::kFromEditor);
}

void MemorySelect::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (timerId != 0)
        killTimer(timerId);
    timerId = 0;
    // The completion picture belongs to the write just made.
    ui->labelDone->hide();
    doneCountdown = -1;
}

void MemorySelect::on_pushButtonOK_clicked()
{
    storeSelectionInHub();
    CommandSender::sendWriteMemory(Encoding::memoryIndexOf(selectedBank_, selectedNumber_));
}

void MemorySelect::on_pushButtonCancel_clicked()
{
    if (g_miniCore)
        g_miniCore->openSlotSetBank(g_miniCore->bank, MiniCore::kFromEditor);
    if (mode_ == kWriteMode)
        CommandSender::sendWriteCancel();
    close();
}
