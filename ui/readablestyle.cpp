#include "ui/readablestyle.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolTip>

namespace {

// The rim is drawn from the window colour darkened.
const QColor kRimSource(190, 190, 190);
const QColor kDisabledText(110, 110, 110);
const QColor kTrack(55, 55, 55);
const QColor kTrackRim(150, 150, 150);
const QColor kSelection(0, 120, 215);

// Spin boxes and text boxes draw their text themselves, in the style sheet's
// colour whatever their state; while disabled they are shown faded.
class FadeWhileDisabled : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange) {
            auto* const widget = static_cast<QWidget*>(watched);
            QGraphicsOpacityEffect* faded = nullptr;
            if (!widget->isEnabled()) {
                faded = new QGraphicsOpacityEffect;
                faded->setOpacity(kDisabledOpacity);
            }
            widget->setGraphicsEffect(faded);  // takes it, and deletes the last one
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr qreal kDisabledOpacity = 0.45;
};

}  // namespace

ReadableStyle::ReadableStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->objectName()))
{
}

void ReadableStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const
{
    if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    QStyleOptionButton visible;
    if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option))
        visible = *button;
    else
        visible.QStyleOption::operator=(*option);
    visible.palette.setColor(QPalette::Window, kRimSource);
    QProxyStyle::drawPrimitive(element, &visible, painter, widget);
}

void ReadableStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                const QWidget* widget) const
{
    if (element == CE_ProgressBarGroove) {
        painter->save();
        painter->setPen(kTrackRim);
        painter->setBrush(kTrack);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
        return;
    }
    if (element == CE_MenuItem && (option->state & State_Selected)) {
        // A combo's list: the current or hovered entry.
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            QStyleOptionMenuItem highlighted = *item;
            highlighted.palette.setColor(QPalette::Highlight, kSelection);
            highlighted.palette.setColor(QPalette::HighlightedText, Qt::white);
            QProxyStyle::drawControl(element, &highlighted, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void ReadableStyle::drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                                 bool enabled, const QString& text, QPalette::ColorRole textRole) const
{
    if (enabled) {
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
        return;
    }
    QPalette dimmed = palette;
    const QPalette::ColorRole role = textRole == QPalette::NoRole ? QPalette::WindowText : textRole;
    dimmed.setColor(role, kDisabledText);
    if (textRole == QPalette::NoRole)
        painter->setPen(kDisabledText);
    QProxyStyle::drawItemText(painter, rect, flags, dimmed, enabled, text, role);
}

void ReadableStyle::applyTo(QWidget* window)
{
    auto* const style = new ReadableStyle;
    style->setParent(window);
    auto* const fade = new FadeWhileDisabled(window);
    for (QWidget* const widget : window->findChildren<QWidget*>()) {
        widget->setStyle(style);
        if (qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QPlainTextEdit*>(widget))
            widget->installEventFilter(fade);
    }
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, kTrack);
    tips.setColor(QPalette::ToolTipText, Qt::white);
    QToolTip::setPalette(tips);
}
