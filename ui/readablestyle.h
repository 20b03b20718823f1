#pragma once
// The windows' style sheets paint white on black and say nothing about states,
// so the platform style left alone draws check box and radio indicators, the
// progress bar's track and the combo lists' current entry black on black, and
// a disabled control exactly like an enabled one. This style draws those parts
// visibly, leaving the widgets' own style sheets as they are.

#include <QProxyStyle>

class QWidget;

class ReadableStyle : public QProxyStyle
{
public:
    ReadableStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette, bool enabled,
                      const QString& text, QPalette::ColorRole textRole = QPalette::NoRole) const override;

    // Gives every widget inside window this style, owned by window, and fades
    // its spin and text boxes while they are disabled.
    static void applyTo(QWidget* window);
};
