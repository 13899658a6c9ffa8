// The look: on every page of every tab set, shown in turn, no caption is
// clipped, no two controls overlap and every control lies inside its parent.
#include "test_ui_form_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <string>
#include <vector>

namespace {

std::string Name(const QWidget *W) { return W->objectName().toStdString(); }

std::string Rect(const QRect &R)
{
    return "(" + std::to_string(R.x()) + "," + std::to_string(R.y()) + " " + std::to_string(R.width()) + "x" +
           std::to_string(R.height()) + ")";
}

// The area of a container that its controls may use.
QRect UsableArea(QWidget *Container)
{
    auto *Group = qobject_cast<QGroupBox *>(Container);
    if (!Group)
        return Container->rect();
    QStyleOptionGroupBox Option;
    Option.initFrom(Group);
    Option.text = Group->title();
    Option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect Frame = Group->style()->subControlRect(QStyle::CC_GroupBox, &Option, QStyle::SC_GroupBoxFrame, Group);
    const QRect Caption = Group->style()->subControlRect(QStyle::CC_GroupBox, &Option, QStyle::SC_GroupBoxLabel, Group);
    // Inside the frame lines and below the caption.
    return QRect(QPoint(Frame.left() + 2, std::max(Frame.top(), Caption.bottom()) + 1),
        QPoint(Frame.right() - 2, Frame.bottom() - 2));
}

std::vector<QWidget *> NamedChildren(QWidget *Container)
{
    std::vector<QWidget *> Children;
    for (QObject *Child : Container->children())
        if (auto *W = qobject_cast<QWidget *>(Child); W && !W->objectName().isEmpty() && W->isVisible())
            Children.push_back(W);
    return Children;
}

void CheckContainer(QWidget *Container, std::vector<std::string> &Faults)
{
    const QRect Area = UsableArea(Container);
    const std::vector<QWidget *> Children = NamedChildren(Container);
    for (size_t a = 0; a < Children.size(); ++a) {
        QWidget *W = Children[a];
        if (!Area.contains(W->geometry()))
            Faults.push_back(Name(W) + " " + Rect(W->geometry()) + " leaves " + Name(Container) + " " + Rect(Area));
        for (size_t b = a + 1; b < Children.size(); ++b)
            if (W->geometry().intersects(Children[b]->geometry()))
                Faults.push_back(Name(W) + " overlaps " + Name(Children[b]));
        QSize Hint = W->sizeHint();
        if (auto *Button = qobject_cast<QPushButton *>(W)) {
            // A push button's hint has a minimum width of its own; the caption needs less.
            const int Margin = W->style()->pixelMetric(QStyle::PM_ButtonMargin) +
                               2 * W->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            Hint.setWidth(W->fontMetrics().horizontalAdvance(Button->text()) + Margin);
        }
        const bool Captioned = qobject_cast<QLabel *>(W) || qobject_cast<QAbstractButton *>(W);
        if ((Captioned || qobject_cast<TSpinEdit *>(W)) && (Hint.width() > W->width() || Hint.height() > W->height()))
            Faults.push_back(Name(W) + " clipped: needs " + std::to_string(Hint.width()) + "x" +
                             std::to_string(Hint.height()) + ", has " + Rect(W->geometry()));
        if (auto *Tabs = qobject_cast<QTabWidget *>(W); Tabs && Tabs->tabBar()->sizeHint().width() > Tabs->width())
            Faults.push_back(Name(W) + ": tabs wider than the tab set");
        if (W->font().pointSize() != 8 || W->font().family() != QStringLiteral("Arial"))
            Faults.push_back(Name(W) + ": not Arial 8");
        if (qobject_cast<QGroupBox *>(W))
            CheckContainer(W, Faults);
    }
}

using TPageCheck = void (*)(QWidget *Page, std::vector<std::string> &Faults);

void VisitTabs(QTabWidget *Tabs, std::vector<std::string> &Faults, int &Pages, TPageCheck Check = CheckContainer)
{
    for (int n = 0; n < Tabs->count(); ++n) {
        Tabs->setCurrentIndex(n);
        QCoreApplication::processEvents();
        QWidget *Page = Tabs->widget(n);
        ++Pages;
        if (!Page->isVisible()) {
            Faults.push_back(Name(Page) + " not shown");
            continue;
        }
        Check(Page, Faults);
        for (QTabWidget *Inner : Page->findChildren<QTabWidget *>()) {
            // Only the tab sets of this page itself, perhaps inside its group boxes.
            QWidget *Holder = Inner->parentWidget();
            while (qobject_cast<QGroupBox *>(Holder))
                Holder = Holder->parentWidget();
            if (Holder == Page)
                VisitTabs(Inner, Faults, Pages, Check);
        }
    }
    Tabs->setCurrentIndex(0);
}

} // namespace

TEST(FormLook, EveryPageFitsWithoutClippingOrOverlap)
{
    TFormHarness &H = SharedHarness();
    H.Client->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(H.Client.get()));
    std::vector<std::string> Faults;
    CheckContainer(H.Client.get(), Faults);
    int Pages = 0;
    VisitTabs(H.Get<QTabWidget>("PageControl1"), Faults, Pages);
    EXPECT_EQ(Pages, 121);
    for (const std::string &Fault : Faults)
        ADD_FAILURE() << Fault;
}

TEST(FormLook, UserCaptionsOfFifteenCharactersStillFit)
{
    TFormHarness &H = SharedHarness();
    H.Client->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(H.Client.get()));
    // The widest identifier the edit allows retitles every users tab set.
    std::vector<QWidget *> Pages;
    for (QObject *Object : H.Form->Components())
        if (auto *Page = qobject_cast<QWidget *>(Object); Page && PageCaption(Page).startsWith(u"Użytkownik"))
            Pages.push_back(Page);
    ASSERT_EQ(Pages.size(), 48u);
    for (QWidget *Page : Pages)
        SetPageCaption(Page, QString(15, u'W'));
    std::vector<std::string> Faults;
    int Visited = 0;
    VisitTabs(H.Get<QTabWidget>("PageControl1"), Faults, Visited, [](QWidget *Page, std::vector<std::string> &Faults) {
        for (QTabWidget *Tabs : Page->findChildren<QTabWidget *>()) {
            if (!Tabs->isVisible() || Tabs->count() != 3 || PageCaption(Tabs->widget(0)) != QString(15, u'W'))
                continue;
            QTabBar *Bar = Tabs->tabBar();
            // All three tabs stay in view, none behind scroll arrows.
            if (Bar->tabRect(2).right() >= Bar->width() || Bar->width() > Tabs->width())
                Faults.push_back(Name(Tabs) + ": last tab out of view");
        }
    });
    for (const std::string &Fault : Faults)
        ADD_FAILURE() << Fault;
    for (size_t n = 0; n < Pages.size(); ++n)
        SetPageCaption(Pages[n], QStringLiteral("Użytkownik %1").arg(n % 3 + 1));
}
