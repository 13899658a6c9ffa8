// The two looks of a tab row: ordinary tabs, kept narrow so that the twelve
// main tabs fit the window, and button-style tabs drawn as push buttons.
#include "UFormStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

namespace {

class TCompactTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric Metric, const QStyleOption *Option, const QWidget *Widget) const override
    {
        if (Metric == PM_TabBarTabHSpace)
            return 12;
        return QProxyStyle::pixelMetric(Metric, Option, Widget);
    }
};

class TButtonTabStyle : public TCompactTabStyle {
public:
    int pixelMetric(PixelMetric Metric, const QStyleOption *Option, const QWidget *Widget) const override
    {
        switch (Metric) {
        case PM_TabBarTabHSpace: return 20;
        case PM_TabBarTabOverlap:
        case PM_TabBarTabShiftVertical:
        case PM_TabBarTabShiftHorizontal:
        case PM_TabBarBaseOverlap: return 0;
        default: return TCompactTabStyle::pixelMetric(Metric, Option, Widget);
        }
    }

    void drawControl(ControlElement Element, const QStyleOption *Option, QPainter *Painter,
        const QWidget *Widget) const override
    {
        if (Element == CE_TabBarTabShape) {
            QStyleOptionButton Button;
            Button.QStyleOption::operator=(*Option);
            Button.rect = Option->rect.adjusted(1, 1, -2, -2);
            Button.state &= ~State_Selected;
            if (Option->state & State_Selected)
                Button.state |= State_Sunken | State_On;
            else
                Button.state |= State_Raised;
            baseStyle()->drawPrimitive(PE_PanelButtonCommand, &Button, Painter, Widget);
            return;
        }
        TCompactTabStyle::drawControl(Element, Option, Painter, Widget);
    }

    void drawPrimitive(PrimitiveElement Element, const QStyleOption *Option, QPainter *Painter,
        const QWidget *Widget) const override
    {
        if (Element == PE_FrameTabBarBase || Element == PE_FrameTabWidget)
            return;
        TCompactTabStyle::drawPrimitive(Element, Option, Painter, Widget);
    }
};

// Group boxes of the classic kind: the frame's top line runs through the
// middle of the caption (hence the captions' framing spaces), which keeps
// the rows close under it.
class TGroupBoxStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl Control, const QStyleOptionComplex *Option, SubControl Sub,
        const QWidget *Widget) const override
    {
        if (Control == CC_GroupBox) {
            if (const auto *Group = qstyleoption_cast<const QStyleOptionGroupBox *>(Option)) {
                const QRect R = Group->rect;
                const int TextHeight = Group->fontMetrics.height();
                switch (Sub) {
                case SC_GroupBoxFrame: return R.adjusted(0, TextHeight / 2, 0, 0);
                case SC_GroupBoxContents: return R.adjusted(3, TextHeight + 2, -3, -3);
                case SC_GroupBoxLabel:
                    return QRect(R.x() + 8, R.y(), Group->fontMetrics.horizontalAdvance(Group->text) + 1, TextHeight);
                case SC_GroupBoxCheckBox: return {};
                default: break;
                }
            }
        }
        return QProxyStyle::subControlRect(Control, Option, Sub, Widget);
    }

    void drawComplexControl(ComplexControl Control, const QStyleOptionComplex *Option, QPainter *Painter,
        const QWidget *Widget) const override
    {
        const auto *Group = qstyleoption_cast<const QStyleOptionGroupBox *>(Option);
        if (Control != CC_GroupBox || !Group) {
            QProxyStyle::drawComplexControl(Control, Option, Painter, Widget);
            return;
        }
        const QRect Frame = subControlRect(Control, Option, SC_GroupBoxFrame, Widget);
        const QRect Caption = subControlRect(Control, Option, SC_GroupBoxLabel, Widget);
        Painter->save();
        Painter->setClipRegion(QRegion(Group->rect).subtracted(QRegion(Caption)));
        // An etched line: a dark rectangle and a light one beside it.
        Painter->setPen(Group->palette.color(QPalette::Mid));
        Painter->drawRect(Frame.adjusted(0, 0, -2, -2));
        Painter->setPen(Group->palette.color(QPalette::Light));
        Painter->drawRect(Frame.adjusted(1, 1, -1, -1));
        Painter->restore();
        drawItemText(Painter, Caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, Group->palette,
            Group->state & State_Enabled, Group->text, QPalette::WindowText);
    }
};

// Styles live with the application: widgets do not own the style they are given.
template <typename T>
QStyle *SharedStyle(QPointer<QStyle> &Slot)
{
    if (!Slot) {
        Slot = new T;
        Slot->setParent(QCoreApplication::instance());
    }
    return Slot.data();
}

} // namespace

QStyle *CompactTabStyle()
{
    static QPointer<QStyle> Slot;
    return SharedStyle<TCompactTabStyle>(Slot);
}

QStyle *ButtonTabStyle()
{
    static QPointer<QStyle> Slot;
    return SharedStyle<TButtonTabStyle>(Slot);
}

QStyle *GroupBoxStyle()
{
    static QPointer<QStyle> Slot;
    return SharedStyle<TGroupBoxStyle>(Slot);
}
