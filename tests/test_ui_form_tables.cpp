// The window's tables: pages, tab sets and controls of every input,
// function, output and GPS user, held as data and checked against the tree.
#include "test_ui_form_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <set>
#include <string>
#include <vector>

namespace {

std::string N(const char *Kind, int Number) { return Kind + std::to_string(Number); }
QString U(const char *Utf8) { return QString::fromUtf8(Utf8); }

// The tab set that shows Page, and the page's index in it.
QTabWidget *TabsOf(QWidget *Page, int *Index = nullptr)
{
    QWidget *Stack = Page ? Page->parentWidget() : nullptr;
    auto *Tabs = Stack ? qobject_cast<QTabWidget *>(Stack->parentWidget()) : nullptr;
    if (Tabs && Index)
        *Index = Tabs->indexOf(Page);
    return Tabs;
}

bool Inside(const QObject *Object, const QObject *Ancestor)
{
    for (const QObject *Up = Object; Up; Up = Up->parent())
        if (Up == Ancestor)
            return true;
    return false;
}

// Checks that Page is page Index of the tab set named TabsName, with Caption.
void ExpectPage(const TFormHarness &H, const std::string &PageName, const std::string &TabsName, int Index,
    const QString &Caption)
{
    auto *Page = H.Get<QWidget>(PageName);
    auto *Tabs = H.Get<QTabWidget>(TabsName);
    ASSERT_TRUE(Page && Tabs) << PageName << " / " << TabsName;
    int At = -1;
    EXPECT_EQ(TabsOf(Page, &At), Tabs) << PageName;
    EXPECT_EQ(At, Index) << PageName;
    EXPECT_EQ(PageCaption(Page), Caption) << PageName;
}

// A control of the given caption, inside Scope, whose parent is a group box captioned Group.
template <typename T>
T *ExpectControl(const TFormHarness &H, const std::string &Name, const char *Caption, const QObject *Scope,
    const char *Group)
{
    T *Control = H.Get<T>(Name);
    EXPECT_TRUE(Control) << Name;
    if (!Control)
        return nullptr;
    if (Caption) {
        EXPECT_EQ(Control->text(), U(Caption)) << Name;
    }
    EXPECT_TRUE(Inside(Control, Scope)) << Name << " outside " << Scope->objectName().toStdString();
    auto *Box = qobject_cast<QGroupBox *>(Control->parentWidget());
    EXPECT_TRUE(Box && Box->title() == U(Group)) << Name << " not in" << Group;
    return Control;
}

struct TInputRow {
    int Input, Page, DescriptionEdit, ActivityFirst, ActivityLast, Spin, UnitShort, UnitLong, ShortFirst, ShortLast,
        OpenFirst, OpenLast, UsersTabs, User1Page, User2Page, User3Page;
};
const TInputRow InputRows[] = {
    {1, 16, 12, 1, 3, 1, 4, 5, 1, 4, 5, 8, 4, 24, 25, 26},
    {2, 17, 19, 60, 62, 2, 63, 64, 9, 12, 13, 16, 8, 33, 36, 39},
    {3, 18, 26, 119, 121, 3, 122, 123, 17, 20, 21, 24, 12, 42, 45, 48},
    {4, 19, 33, 178, 180, 4, 181, 182, 25, 28, 29, 32, 16, 51, 54, 57},
    {5, 20, 40, 237, 239, 5, 240, 241, 33, 36, 37, 40, 20, 60, 63, 66},
    {6, 21, 47, 296, 298, 6, 299, 300, 41, 44, 45, 48, 24, 69, 72, 75},
    {7, 22, 54, 355, 357, 7, 358, 359, 49, 52, 53, 56, 28, 78, 81, 84},
    {8, 23, 61, 414, 416, 8, 417, 418, 57, 60, 61, 64, 32, 87, 90, 93},
};

struct TFunctionRow {
    int Input, User, Function, Page, Tabs, Trigger, GpsFirst, GpsLast, SmsBox, RingBox, SmsEdit;
};
const TFunctionRow FunctionRows[] = {
    {1, 1, 1, 27, 5, 6, 11, 14, 113, 114, 13},
    {1, 1, 2, 28, 5, 15, 20, 23, 115, 116, 14},
    {1, 2, 1, 29, 6, 24, 29, 32, 117, 118, 15},
    {1, 2, 2, 30, 6, 33, 38, 41, 119, 120, 16},
    {1, 3, 1, 31, 7, 42, 47, 50, 121, 122, 17},
    {1, 3, 2, 32, 7, 51, 56, 59, 123, 124, 18},
    {2, 1, 1, 34, 9, 65, 70, 73, 125, 126, 20},
    {2, 1, 2, 35, 9, 74, 79, 82, 127, 128, 21},
    {2, 2, 1, 37, 10, 83, 88, 91, 129, 130, 22},
    {2, 2, 2, 38, 10, 92, 97, 100, 131, 132, 23},
    {2, 3, 1, 40, 11, 101, 106, 109, 133, 134, 24},
    {2, 3, 2, 41, 11, 110, 115, 118, 135, 136, 25},
    {3, 1, 1, 43, 13, 124, 129, 132, 137, 138, 27},
    {3, 1, 2, 44, 13, 133, 138, 141, 139, 140, 28},
    {3, 2, 1, 46, 14, 142, 147, 150, 141, 142, 29},
    {3, 2, 2, 47, 14, 151, 156, 159, 143, 144, 30},
    {3, 3, 1, 49, 15, 160, 165, 168, 145, 146, 31},
    {3, 3, 2, 50, 15, 169, 174, 177, 147, 148, 32},
    {4, 1, 1, 52, 17, 183, 188, 191, 149, 150, 34},
    {4, 1, 2, 53, 17, 192, 197, 200, 151, 152, 35},
    {4, 2, 1, 55, 18, 201, 206, 209, 153, 154, 36},
    {4, 2, 2, 56, 18, 210, 215, 218, 155, 156, 37},
    {4, 3, 1, 58, 19, 219, 224, 227, 157, 158, 38},
    {4, 3, 2, 59, 19, 228, 233, 236, 159, 160, 39},
    {5, 1, 1, 61, 21, 242, 247, 250, 161, 162, 41},
    {5, 1, 2, 62, 21, 251, 256, 259, 163, 164, 42},
    {5, 2, 1, 64, 22, 260, 265, 268, 165, 166, 43},
    {5, 2, 2, 65, 22, 269, 274, 277, 167, 168, 44},
    {5, 3, 1, 67, 23, 278, 283, 286, 169, 170, 45},
    {5, 3, 2, 68, 23, 287, 292, 295, 171, 172, 46},
    {6, 1, 1, 70, 25, 301, 306, 309, 173, 174, 48},
    {6, 1, 2, 71, 25, 310, 315, 318, 175, 176, 49},
    {6, 2, 1, 73, 26, 319, 324, 327, 177, 178, 50},
    {6, 2, 2, 74, 26, 328, 333, 336, 179, 180, 51},
    {6, 3, 1, 76, 27, 337, 342, 345, 181, 182, 52},
    {6, 3, 2, 77, 27, 346, 351, 354, 183, 184, 53},
    {7, 1, 1, 79, 29, 360, 365, 368, 185, 186, 55},
    {7, 1, 2, 80, 29, 369, 374, 377, 187, 188, 56},
    {7, 2, 1, 82, 30, 378, 383, 386, 189, 190, 57},
    {7, 2, 2, 83, 30, 387, 392, 395, 191, 192, 58},
    {7, 3, 1, 85, 31, 396, 401, 404, 193, 194, 59},
    {7, 3, 2, 86, 31, 405, 410, 413, 195, 196, 60},
    {8, 1, 1, 88, 33, 419, 424, 427, 197, 198, 62},
    {8, 1, 2, 89, 33, 428, 433, 436, 199, 200, 63},
    {8, 2, 1, 91, 34, 437, 442, 445, 201, 202, 64},
    {8, 2, 2, 92, 34, 446, 451, 454, 203, 204, 65},
    {8, 3, 1, 94, 35, 455, 460, 463, 205, 206, 66},
    {8, 3, 2, 95, 35, 464, 469, 472, 207, 208, 67},
};

struct TGpsRow {
    int User, Page, Spin, PositionRing, PositionSms, PositionEdit, StartRing, StartSms, StartEdit, StopRing, StopSms,
        StopEdit;
};
const TGpsRow GpsRows[] = {
    {1, 119, 21, 93, 94, 99, 95, 96, 100, 97, 98, 101},
    {2, 120, 22, 99, 100, 102, 101, 102, 103, 103, 104, 104},
    {3, 121, 23, 105, 106, 105, 107, 108, 106, 109, 110, 107},
};

// Output, " Załączenie " or " Wyłączenie ": boxes, edit, spin, tab set, pages, reaction boxes, SMS edits.
struct TOutputRow {
    int Output, SmsBox, RingBox, TimeBox, CommandEdit, Spin, Tabs, FirstPage, LastPage, Reaction[6], FirstEdit,
        LastEdit;
};
const TOutputRow OutputRows[] = {
    {1, 65, 66, 67, 69, 9, 37, 98, 100, {209, 210, 211, 212, 213, 214}, 70, 72},
    {1, 68, 69, 70, 73, 10, 38, 101, 103, {215, 216, 217, 218, 219, 220}, 74, 76},
    {2, 71, 72, 73, 78, 11, 39, 104, 106, {221, 222, 223, 224, 225, 226}, 79, 81},
    {2, 74, 75, 76, 82, 12, 40, 107, 109, {227, 228, 229, 230, 231, 232}, 83, 85},
};

const int UserPages[3][16] = {
    {24, 33, 42, 51, 60, 69, 78, 87, 98, 101, 104, 107, 110, 113, 116, 119},
    {25, 36, 45, 54, 63, 72, 81, 90, 99, 102, 105, 108, 111, 114, 117, 120},
    {26, 39, 48, 57, 66, 75, 84, 93, 100, 103, 106, 109, 112, 115, 118, 121},
};

} // namespace

TEST(FormTables, InputPages)
{
    const TFormHarness &H = SharedHarness();
    for (const TInputRow &R : InputRows) {
        SCOPED_TRACE("input " + std::to_string(R.Input));
        ExpectPage(H, N("TabSheet", R.Page), "PageControl3", R.Input - 1, QString::number(R.Input));
        auto *Page = H.Get<QWidget>(N("TabSheet", R.Page));
        ASSERT_TRUE(Page);
        auto *Description = H.Get<QLineEdit>(N("Edit", R.DescriptionEdit));
        ASSERT_TRUE(Description);
        EXPECT_EQ(Description->parentWidget(), Page);
        EXPECT_EQ(Description->maxLength(), 160);
        const char *Activity[] = {"Niewykorzystane", "Aktywne zawsze", "Aktywne tylko gdy uzbrojony"};
        ASSERT_EQ(R.ActivityLast - R.ActivityFirst, 2);
        for (int n = 0; n < 3; ++n)
            ExpectControl<QRadioButton>(H, N("RadioButton", R.ActivityFirst + n), Activity[n], Page, " Aktywność ");
        auto *Spin = ExpectControl<TSpinEdit>(H, N("SpinEdit", R.Spin), nullptr, Page, " Filtracja ");
        ExpectControl<QRadioButton>(H, N("RadioButton", R.UnitShort), "x 0,1sek", Page, " Filtracja ");
        ExpectControl<QRadioButton>(H, N("RadioButton", R.UnitLong), "x 10sek", Page, " Filtracja ");
        if (Spin) {
            EXPECT_EQ(Spin->Value(), 1);
        }
        const char *Outputs[] = {"Załącz wyjście 1", "Załącz wyjście 2", "Wyłącz wyjście 1", "Wyłącz wyjście 2"};
        ASSERT_EQ(R.ShortLast - R.ShortFirst, 3);
        ASSERT_EQ(R.OpenLast - R.OpenFirst, 3);
        for (int n = 0; n < 4; ++n) {
            ExpectControl<QCheckBox>(H, N("CheckBox", R.ShortFirst + n), Outputs[n], Page, " Zwarcie ");
            ExpectControl<QCheckBox>(H, N("CheckBox", R.OpenFirst + n), Outputs[n], Page, " Rozwarcie ");
        }
        auto *Users = H.Get<QTabWidget>(N("PageControl", R.UsersTabs));
        ASSERT_TRUE(Users);
        EXPECT_EQ(Users->parentWidget(), Page);
        EXPECT_EQ(Users->count(), 3);
        const int Pages[] = {R.User1Page, R.User2Page, R.User3Page};
        for (int u = 1; u <= 3; ++u)
            ExpectPage(H, N("TabSheet", Pages[u - 1]), N("PageControl", R.UsersTabs), u - 1,
                U("Użytkownik ") + QString::number(u));
    }
}

TEST(FormTables, FunctionPages)
{
    const TFormHarness &H = SharedHarness();
    std::set<int> Pages;
    for (const TFunctionRow &R : FunctionRows) {
        SCOPED_TRACE("input " + std::to_string(R.Input) + " user " + std::to_string(R.User) + " function " +
                     std::to_string(R.Function));
        const TInputRow &In = InputRows[R.Input - 1];
        const int UserPage[] = {In.User1Page, In.User2Page, In.User3Page};
        auto *Tabs = H.Get<QTabWidget>(N("PageControl", R.Tabs));
        ASSERT_TRUE(Tabs);
        EXPECT_EQ(Tabs->parentWidget(), H.Get<QWidget>(N("TabSheet", UserPage[R.User - 1])));
        EXPECT_EQ(Tabs->count(), 2);
        ExpectPage(H, N("TabSheet", R.Page), N("PageControl", R.Tabs), R.Function - 1,
            U("Funkcja ") + QString::number(R.Function));
        Pages.insert(R.Page);
        QWidget *Page = H.Get<QWidget>(N("TabSheet", R.Page));
        ASSERT_TRUE(Page);
        auto *Short = ExpectControl<QRadioButton>(H, N("RadioButton", R.Trigger), "Zwarcie", Page, " Reakcja na ");
        auto *Open = ExpectControl<QRadioButton>(H, N("RadioButton", R.Trigger + 1), "Rozwarcie", Page, " Reakcja na ");
        if (Short && Open) {
            EXPECT_EQ(Short->parentWidget(), Open->parentWidget());
        }
        for (int n = 2; n <= 4; ++n)
            EXPECT_EQ(H.Find(N("RadioButton", R.Trigger + n)), nullptr);
        ASSERT_EQ(R.GpsFirst, R.Trigger + 5);
        ASSERT_EQ(R.GpsLast, R.Trigger + 8);
        const char *Gps[] = {"Nieaktywne", "Odeślij pozycję", "Rozpocznij wysyłanie", "Zakończ wysyłanie"};
        for (int n = 0; n < 4; ++n)
            ExpectControl<QRadioButton>(H, N("RadioButton", R.GpsFirst + n), Gps[n], Page, " GPS ");
        ExpectControl<QCheckBox>(H, N("CheckBox", R.SmsBox), "Wyślij SMS", Page, " Sposób reakcji ");
        ExpectControl<QCheckBox>(H, N("CheckBox", R.RingBox), "Zadzwoń - RING", Page, " Sposób reakcji ");
        auto *Text = ExpectControl<QLineEdit>(H, N("Edit", R.SmsEdit), nullptr, Page, " GSM ");
        if (Text) {
            EXPECT_EQ(Text->maxLength(), 160);
        }
    }
    EXPECT_EQ(Pages.size(), 48u);
}

TEST(FormTables, OutputPages)
{
    const TFormHarness &H = SharedHarness();
    for (int o = 1; o <= 2; ++o) {
        ExpectPage(H, N("TabSheet", 95 + o), "PageControl36", o - 1, QString::number(o));
        auto *Description = H.Get<QLineEdit>(N("Edit", o == 1 ? 68 : 77));
        ASSERT_TRUE(Description);
        EXPECT_EQ(Description->parentWidget(), H.Get<QWidget>(N("TabSheet", 95 + o)));
        EXPECT_EQ(Description->maxLength(), 160);
    }
    for (size_t r = 0; r < std::size(OutputRows); ++r) {
        const TOutputRow &R = OutputRows[r];
        SCOPED_TRACE("row " + std::to_string(r + 1));
        const char *Group = r % 2 == 0 ? " Załączenie " : " Wyłączenie ";
        QWidget *Page = H.Get<QWidget>(N("TabSheet", 95 + R.Output));
        ExpectControl<QCheckBox>(H, N("CheckBox", R.SmsBox), "Dozwolone przez odebranie SMS:", Page, Group);
        ExpectControl<QCheckBox>(H, N("CheckBox", R.RingBox), "Dozwolone przez odebranie RING", Page, Group);
        ExpectControl<QCheckBox>(H, N("CheckBox", R.TimeBox), "Dozwolone samoczynne wyłączenie po czasie", Page, Group);
        if (auto *Code = ExpectControl<QLineEdit>(H, N("Edit", R.CommandEdit), nullptr, Page, Group)) {
            EXPECT_EQ(Code->maxLength(), 4);
        }
        if (auto *Spin = ExpectControl<TSpinEdit>(H, N("SpinEdit", R.Spin), nullptr, Page, Group)) {
            EXPECT_EQ(Spin->Value(), 30);
        }
        auto *Tabs = H.Get<QTabWidget>(N("PageControl", R.Tabs));
        ASSERT_TRUE(Tabs);
        EXPECT_TRUE(Inside(Tabs, Page));
        ASSERT_EQ(R.LastPage - R.FirstPage, 2);
        ASSERT_EQ(R.LastEdit - R.FirstEdit, 2);
        for (int u = 1; u <= 3; ++u) {
            ExpectPage(H, N("TabSheet", R.FirstPage + u - 1), N("PageControl", R.Tabs), u - 1,
                U("Użytkownik ") + QString::number(u));
            QWidget *UserPage = H.Get<QWidget>(N("TabSheet", R.FirstPage + u - 1));
            ExpectControl<QCheckBox>(H, N("CheckBox", R.Reaction[2 * (u - 1)]), "Wyślij SMS", UserPage, " Sposób reakcji ");
            ExpectControl<QCheckBox>(H, N("CheckBox", R.Reaction[2 * u - 1]), "Zadzwoń - RING", UserPage, " Sposób reakcji ");
            if (auto *Text = ExpectControl<QLineEdit>(H, N("Edit", R.FirstEdit + u - 1), nullptr, UserPage, " GSM ")) {
                EXPECT_EQ(Text->maxLength(), 160);
            }
        }
    }
}

TEST(FormTables, ReactionPagesOfArmingAndTest)
{
    const TFormHarness &H = SharedHarness();
    struct TRow {
        int Tabs, FirstPage, FirstBox, FirstEdit, MainPage;
        const char *Group;
    };
    const TRow Rows[] = {{41, 110, 233, 88, 6, " Uzbrojenie "}, {42, 113, 239, 91, 6, " Rozbrojenie "},
        {43, 116, 245, 94, 7, " Funkcja GSM dla testu okresowego "}};
    for (const TRow &R : Rows) {
        auto *Tabs = H.Get<QTabWidget>(N("PageControl", R.Tabs));
        ASSERT_TRUE(Tabs);
        auto *Box = qobject_cast<QGroupBox *>(Tabs->parentWidget());
        ASSERT_TRUE(Box);
        EXPECT_EQ(Box->title(), U(R.Group));
        EXPECT_TRUE(Inside(Tabs, H.Find(N("TabSheet", R.MainPage))));
        for (int u = 1; u <= 3; ++u) {
            ExpectPage(H, N("TabSheet", R.FirstPage + u - 1), N("PageControl", R.Tabs), u - 1,
                U("Użytkownik ") + QString::number(u));
            QWidget *Page = H.Get<QWidget>(N("TabSheet", R.FirstPage + u - 1));
            ExpectControl<QCheckBox>(H, N("CheckBox", R.FirstBox + 2 * (u - 1)), "Wyślij SMS", Page, " Sposób reakcji ");
            ExpectControl<QCheckBox>(H, N("CheckBox", R.FirstBox + 2 * u - 1), "Zadzwoń - RING", Page, " Sposób reakcji ");
            ExpectControl<QLineEdit>(H, N("Edit", R.FirstEdit + u - 1), nullptr, Page, " GSM ");
        }
    }
}

TEST(FormTables, GpsUserPages)
{
    const TFormHarness &H = SharedHarness();
    for (const TGpsRow &R : GpsRows) {
        SCOPED_TRACE("user " + std::to_string(R.User));
        ExpectPage(H, N("TabSheet", R.Page), "PageControl44", R.User - 1, U("Użytkownik ") + QString::number(R.User));
        QWidget *Page = H.Get<QWidget>(N("TabSheet", R.Page));
        ASSERT_TRUE(Page);
        if (auto *Spin = ExpectControl<TSpinEdit>(H, N("SpinEdit", R.Spin), nullptr, Page, " Podstawowe ")) {
            EXPECT_EQ(Spin->Value(), 3);
        }
        ExpectControl<QCheckBox>(H, N("CheckBox", R.PositionRing), "Odeślij pozycję GPS po odebraniu RING", Page, " Podstawowe ");
        ExpectControl<QCheckBox>(H, N("CheckBox", R.PositionSms), "Odeślij pozycję GPS po odebraniu SMS:", Page, " Podstawowe ");
        ExpectControl<QLineEdit>(H, N("Edit", R.PositionEdit), nullptr, Page, " Podstawowe ");
        ExpectControl<QCheckBox>(H, N("CheckBox", R.StartRing), "Po odebraniu RING", Page, " Rozpoczęcie wysyłania ");
        ExpectControl<QCheckBox>(H, N("CheckBox", R.StartSms), "Po odebraniu SMS:", Page, " Rozpoczęcie wysyłania ");
        ExpectControl<QLineEdit>(H, N("Edit", R.StartEdit), nullptr, Page, " Rozpoczęcie wysyłania ");
        ExpectControl<QCheckBox>(H, N("CheckBox", R.StopRing), "Po odebraniu RING", Page, "Zakończenie wysyłania ");
        ExpectControl<QCheckBox>(H, N("CheckBox", R.StopSms), "Po odebraniu SMS:", Page, "Zakończenie wysyłania ");
        ExpectControl<QLineEdit>(H, N("Edit", R.StopEdit), nullptr, Page, "Zakończenie wysyłania ");
    }
}

TEST(FormTables, SixteenUserPagesPerUser)
{
    const TFormHarness &H = SharedHarness();
    std::set<QTabWidget *> TabSets;
    for (int u = 1; u <= 3; ++u)
        for (const int Page : UserPages[u - 1]) {
            auto *Widget = H.Get<QWidget>(N("TabSheet", Page));
            ASSERT_TRUE(Widget) << Page;
            int At = -1;
            QTabWidget *Tabs = TabsOf(Widget, &At);
            ASSERT_TRUE(Tabs) << Page;
            EXPECT_EQ(At, u - 1) << Page;
            EXPECT_EQ(Tabs->count(), 3) << Page;
            EXPECT_EQ(PageCaption(Widget), U("Użytkownik ") + QString::number(u)) << Page;
            TabSets.insert(Tabs);
        }
    EXPECT_EQ(TabSets.size(), 16u);
    // The users tab sets hold nothing but these pages.
    for (QTabWidget *Tabs : TabSets)
        for (int n = 0; n < Tabs->count(); ++n)
            EXPECT_TRUE(PageCaption(Tabs->widget(n)).startsWith(U("Użytkownik "))) << Tabs->objectName().toStdString();
}

TEST(FormTables, TabSetsAndTheirStyles)
{
    const TFormHarness &H = SharedHarness();
    auto *Main = H.Get<QTabWidget>("PageControl1");
    ASSERT_TRUE(Main);
    const char *Captions[] = {"PLIKI", "SIM", "UŻYT", "WEJ", "WYJ", "UZBR", "TEST", "RING", "SMS", "GPS", "SPEC", "PROG"};
    ASSERT_EQ(Main->count(), 12);
    for (int n = 0; n < 12; ++n)
        ExpectPage(H, N("TabSheet", n + 1), "PageControl1", n, U(Captions[n]));
    for (int u = 1; u <= 3; ++u)
        ExpectPage(H, N("TabSheet", 12 + u), "PageControl2", u - 1, QString::number(u));
    std::set<int> ButtonStyle = {2, 3, 36};
    for (int i = 1; i <= 8; ++i)
        for (int u = 1; u <= 3; ++u)
            ButtonStyle.insert(4 * i + u);
    for (int t = 1; t <= 44; ++t) {
        auto *Tabs = H.Get<QTabWidget>(N("PageControl", t));
        ASSERT_TRUE(Tabs) << t;
        const bool Buttons = ButtonStyle.count(t) == 1;
        // Button-style tab sets draw no frame around their pages.
        EXPECT_EQ(Tabs->documentMode(), Buttons) << t;
        EXPECT_EQ(Tabs->currentIndex(), 0) << t;
    }
}

TEST(FormTables, EachRadioGroupHasOneDeclaredSelection)
{
    const TFormHarness &H = SharedHarness();
    std::set<int> Selected = {509, 539, 541, 546};
    for (int i = 1; i <= 8; ++i) {
        Selected.insert({59 * (i - 1) + 1, 59 * (i - 1) + 4});
        for (int m = 0; m < 6; ++m) {
            const int b = 59 * (i - 1) + 6 + 9 * m;
            Selected.insert({b, b + 5});
        }
    }
    std::map<QWidget *, int> CheckedPerParent;
    for (QObject *Object : H.Form->Components()) {
        auto *Radio = qobject_cast<QRadioButton *>(Object);
        if (!Radio)
            continue;
        const int Number = Radio->objectName().mid(11).toInt();
        EXPECT_EQ(Radio->isChecked(), Selected.count(Number) == 1) << Number;
        EXPECT_TRUE(Radio->autoExclusive());
        CheckedPerParent[Radio->parentWidget()] += Radio->isChecked() ? 1 : 0;
    }
    // Aktywność, Filtracja, Reakcja na, GPS per input; four single groups.
    EXPECT_EQ(CheckedPerParent.size(), 8u * (2 + 2 * 6) + 4);
    for (const auto &[Parent, Count] : CheckedPerParent)
        EXPECT_EQ(Count, 1) << Parent->objectName().toStdString();
}

TEST(FormTables, CaptionsOfSingleControls)
{
    const TFormHarness &H = SharedHarness();
    const std::pair<const char *, const char *> Captions[] = {
        {"Button1", "Nowy"}, {"Button2", "Odczytaj..."}, {"Button3", "Zapisz"}, {"Button4", "Zapisz jako..."},
        {"Button5", "Era"}, {"Button6", "Plus"}, {"Button7", "Idea"}, {"Button8", "Programuj"},
        {"Button9", "Porównaj"}, {"Button10", "Odczyt"},
        {"CheckBox77", "Dozwolone sterowanie z wejścia"}, {"CheckBox78", "Uzbrojenie po odebraniu SMS:"},
        {"CheckBox79", "Rozbrojenie po odebraniu SMS:"}, {"CheckBox80", "Uzbrojenie po odebraniu RING"},
        {"CheckBox81", "Rozbrojenie po odebraniu RING"}, {"CheckBox82", "Przy rozbrojeniu wyłącz wyjście 1"},
        {"CheckBox83", "Przy uzbrojeniu załącz wyjście 1"}, {"CheckBox84", "Przy rozbrojeniu wyłącz wyjście 2"},
        {"CheckBox85", "Przy uzbrojeniu załącz wyjście 2"}, {"CheckBox86", "Wysyłaj test okresowy co:"},
        {"CheckBox87", "Wysłanie dowolnego SMS zeruje timer testu"}, {"CheckBox88", "Odebranie RING wymusza test okresowy"},
        {"CheckBox89", "Wysyłaj maksymalnie"}, {"CheckBox90", "Przychodzący RING zeruje licznik wysłanych SMS"},
        {"CheckBox91", "Odeślij SMS z pozycją GPS pod dowolny numer od którego przyszedł RING"},
        {"CheckBox92", "Odeślij SMS z pozycją GPS pod numer od którego przyszedł SMS o treści:"},
        {"CheckBox111", "Wyjście 1: załączone gdy gotowość GSM / wyłączone przy braku gotowości GSM"},
        {"CheckBox112", "Dozwolony restart telefonu po odebraniu SMS o treści:"},
        {"RadioButton509", "Uzbrojony"}, {"RadioButton510", "Rozbrojony"}, {"RadioButton511", "Zgodnie ze stanem wejścia"},
        {"RadioButton539", "Przy odebraniu rozłącz"}, {"RadioButton540", "Przy odebraniu nierozłączaj"},
        {"RadioButton541", "Odrzuć połączenie po czasie:"}, {"RadioButton542", "Zawsze odbieraj połączenie"},
        {"RadioButton543", "Odbierz jednorazowo po SMS:"}, {"RadioButton544", "Godzin"}, {"RadioButton545", "Dni"},
        {"RadioButton546", "Tygodni"},
    };
    for (const auto &[Name, Caption] : Captions) {
        auto *Button = H.Get<QAbstractButton>(Name);
        ASSERT_TRUE(Button) << Name;
        EXPECT_EQ(Button->text(), U(Caption)) << Name;
    }
}

TEST(FormTables, CaptionsOfLabelsAndGroupBoxes)
{
    const TFormHarness &H = SharedHarness();
    std::map<QString, int> Labels, Groups;
    for (QObject *Object : H.Form->Components()) {
        if (auto *Label = qobject_cast<QLabel *>(Object); Label && Label->objectName().startsWith(u"Label"))
            ++Labels[Label->text()];
        if (auto *Group = qobject_cast<QGroupBox *>(Object))
            ++Groups[Group->title()];
    }
    const std::pair<const char *, int> LabelCounts[] = {{"Opis", 13}, {"Treść SMS", 69}, {"sekund", 8},
        {"x 10sek", 5}, {"szt.", 2}, {"Czas zwłoki na reakcję", 8}, {"Kod PIN", 1}, {"Numer centrum SMS", 1},
        {"Identyfikator", 3}, {"Numer telefonu", 3}, {"godzin", 1}, {"SMS w czasie", 1}, {"godzin(y)", 1},
        {"Dzwoń przez czas", 1}, {"Ilość prób przy braku odrzucenia/odebrania", 1},
        {"Zwłoka do kolejnej próby przy niepowodzeniu", 1},
        {"Czas oczekiwania na potwierdzenia przejęcia SMS przez sieć GSM", 1},
        {"Ilość prób wysłania SMS przy braku potwierdzenia do zaniechania", 1},
        {"Samoczynne wysyłanie pozycji GPS co:", 3}, {"Czas do utraty pozycji", 1},
        {"Zwłoka sygnalizacji zaniku gotowości GSM", 1}, {"Typ numeru narodowego", 1}, {"PDU", 1},
        {"Typ numeru międzynarodowego", 1}, {"PID", 1}, {"Typ numeru specjalnego", 1}, {"DCS", 1},
        {"Wersja nadajnika", 1}, {"Model telefonu", 1}, {"Kod PIN nadajnika", 1}, {"Port", 1}};
    int LabelTotal = 0;
    for (const auto &[Caption, Count] : LabelCounts) {
        EXPECT_EQ(Labels[U(Caption)], Count) << Caption;
        LabelTotal += Count;
    }
    EXPECT_EQ(LabelTotal, 136);
    const std::pair<const char *, int> GroupCounts[] = {{" Ustawienia ", 1}, {" Karta SIM ", 1},
        {" Dane użytkownika ", 3}, {" Aktywność ", 8}, {" Filtracja ", 8}, {" Zwarcie ", 8}, {" Rozwarcie ", 8},
        {" Reakcja na ", 48}, {" Sposób reakcji ", 69}, {" GPS ", 48}, {" GSM ", 69}, {" Załączenie ", 2},
        {" Wyłączenie ", 2}, {" Sterowanie stanem uzbrojenia ", 1}, {" Stan przy uruchomieniu ", 1},
        {" Sterowanie wyjściami ", 1}, {" Uzbrojenie ", 1}, {" Rozbrojenie ", 1},
        {" Parametry testu okresowego ", 1}, {" Funkcja GSM dla testu okresowego ", 1}, {" RING wychodzący ", 1},
        {" RING przychodzący ", 1}, {" Ograniczenia wysyłania SMS ", 1}, {" Parametry wysyłania SMS ", 1},
        {" Funkcja GPS dla użytkowników ", 1}, {" Podstawowe ", 3}, {" Rozpoczęcie wysyłania ", 3},
        {"Zakończenie wysyłania ", 3}, {" Pozostałe ", 1}, {" Kontrola GSM ", 1}, {" Czas ważności SMS ", 1},
        {" Kodowanie SMS ", 1}, {" Inne ", 1}, {" Parametry nadajnika ", 1}, {" Komunikacja z nadajnikiem ", 1},
        {" Operacja ", 1}, {" Postęp pracy ", 1}};
    int GroupTotal = 0;
    for (const auto &[Caption, Count] : GroupCounts) {
        EXPECT_EQ(Groups[U(Caption)], Count) << Caption;
        GroupTotal += Count;
    }
    EXPECT_EQ(GroupTotal, 305);
}
