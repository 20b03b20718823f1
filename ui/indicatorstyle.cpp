#include "ui/indicatorstyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// The rim is drawn from the window colour darkened.
const QColor kRimSource(190, 190, 190);

}  // namespace

IndicatorStyle::IndicatorStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->objectName()))
{
}

void IndicatorStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
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

void IndicatorStyle::applyTo(QWidget* window)
{
    auto* const style = new IndicatorStyle;
    style->setParent(window);
    for (QCheckBox* const box : window->findChildren<QCheckBox*>())
        box->setStyle(style);
    for (QRadioButton* const radio : window->findChildren<QRadioButton*>())
        radio->setStyle(style);
}
