#pragma once
// On the editor's black background the platform style draws check box and
// radio button indicators black on black. This style draws them with a grey
// rim, leaving the widgets' own style sheets as they are.

#include <QProxyStyle>

class QWidget;

class IndicatorStyle : public QProxyStyle
{
public:
    IndicatorStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;

    // Gives every check box and radio button inside window this style, owned by window.
    static void applyTo(QWidget* window);
};
