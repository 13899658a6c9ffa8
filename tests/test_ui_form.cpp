// Names, counts, limits and properties of the window's components.
#include "test_ui_form_support.h"

#include "UFields.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

std::pair<std::string, int> SplitName(const std::string &Name)
{
    size_t Digits = Name.size();
    while (Digits > 0 && std::isdigit(static_cast<unsigned char>(Name[Digits - 1])))
        --Digits;
    const std::string Number = Name.substr(Digits);
    return {Name.substr(0, Digits), Number.empty() || Number[0] == '0' ? -1 : std::stoi(Number)};
}

bool OfKind(QObject *Object, const std::string &Kind)
{
    if (Kind == "PageControl") return qobject_cast<QTabWidget *>(Object);
    if (Kind == "TabSheet") {
        auto *Page = qobject_cast<QWidget *>(Object);
        return Page && Page->metaObject() == &QWidget::staticMetaObject;
    }
    if (Kind == "GroupBox") return qobject_cast<QGroupBox *>(Object);
    if (Kind == "Label") return qobject_cast<QLabel *>(Object);
    if (Kind == "Edit") return qobject_cast<QLineEdit *>(Object);
    if (Kind == "CheckBox") return qobject_cast<QCheckBox *>(Object);
    if (Kind == "RadioButton") return qobject_cast<QRadioButton *>(Object);
    if (Kind == "SpinEdit") return qobject_cast<TSpinEdit *>(Object);
    if (Kind == "ComboBox") return qobject_cast<QComboBox *>(Object);
    if (Kind == "Button") return qobject_cast<QPushButton *>(Object);
    if (Kind == "ProgressBar") return qobject_cast<QProgressBar *>(Object);
    if (Kind == "Memo") return qobject_cast<QPlainTextEdit *>(Object);
    if (Kind == "StatusBar") return qobject_cast<QStatusBar *>(Object);
    if (Kind == "Timer") return qobject_cast<QTimer *>(Object);
    return false;
}

std::set<int> UnusedRadioNumbers()
{
    std::set<int> Unused;
    for (int k = 0; k < 48; ++k) {
        const int i = k / 6 + 1, m = k % 6;
        const int b = 59 * (i - 1) + 6 + 9 * m;
        Unused.insert({b + 2, b + 3, b + 4});
    }
    for (int n = 473; n <= 508; ++n)
        Unused.insert(n);
    for (int n = 512; n <= 538; ++n)
        Unused.insert(n);
    return Unused;
}

} // namespace

TEST(FormNames, EveryKindNumberedFromOneWithoutGaps)
{
    const TFormHarness &H = SharedHarness();
    std::map<std::string, std::set<int>> Numbers;
    std::set<std::string> Seen;
    for (QObject *Object : H.Form->Components()) {
        const std::string Name = Object->objectName().toStdString();
        EXPECT_TRUE(Seen.insert(Name).second) << "twice: " << Name;
        const auto [Kind, Number] = SplitName(Name);
        ASSERT_GT(Number, 0) << Name;
        EXPECT_TRUE(OfKind(Object, Kind)) << Name << " is a " << Object->metaObject()->className();
        EXPECT_EQ(H.Find(Name), Object) << Name;
        Numbers[Kind].insert(Number);
    }
    const std::pair<const char *, int> Totals[] = {{"Button", 10}, {"CheckBox", 250}, {"ComboBox", 3},
        {"Edit", 109}, {"GroupBox", 305}, {"Label", 136}, {"PageControl", 44}, {"SpinEdit", 35},
        {"TabSheet", 121}, {"ProgressBar", 1}, {"Memo", 1}, {"StatusBar", 1}, {"Timer", 1}};
    size_t Components = 0;
    for (const auto &[Kind, Count] : Totals) {
        std::set<int> Expected;
        for (int n = 1; n <= Count; ++n)
            Expected.insert(n);
        EXPECT_EQ(Numbers[Kind], Expected) << Kind;
        Components += static_cast<size_t>(Count);
    }
    std::set<int> Radios;
    const std::set<int> Unused = UnusedRadioNumbers();
    for (int n = 1; n <= 546; ++n)
        if (!Unused.count(n))
            Radios.insert(n);
    EXPECT_EQ(Radios.size(), 339u);
    EXPECT_EQ(Numbers["RadioButton"], Radios);
    EXPECT_EQ(Numbers.size(), std::size(Totals) + 1);
    EXPECT_EQ(H.Form->Components().size(), Components + Radios.size());
}

TEST(FormNames, EveryComposedNameOfTheBindingExistsOnceWithItsKind)
{
    const TFormHarness &H = SharedHarness();
    std::map<std::string, int> Composed;
    for (const TFieldDesc &F : SettingsFields()) {
        const std::string Kind = ControlKindWord(F.Kind);
        std::vector<int> Controls = {F.Control};
        if (F.Kind == TFieldKind::RadioGroup)
            for (int n = 1; n < F.RadioCount; ++n)
                Controls.push_back(F.Control + n);
        if (F.Kind == TFieldKind::RadioPair || F.Kind == TFieldKind::Reaction)
            Controls.push_back(F.Control2);
        for (const int N : Controls) {
            const std::string Name = Kind + std::to_string(N);
            ++Composed[Name];
            QObject *Object = H.Find(Name);
            ASSERT_NE(Object, nullptr) << F.Name << ": " << Name;
            EXPECT_TRUE(OfKind(Object, Kind)) << F.Name << ": " << Name;
        }
    }
    for (const auto &[Name, Count] : Composed)
        EXPECT_EQ(Count, 1) << Name;
    // Everything that holds a value is bound, except the port list.
    for (QObject *Object : H.Form->Components()) {
        const std::string Name = Object->objectName().toStdString();
        const std::string Kind = SplitName(Name).first;
        if (Kind == "Edit" || Kind == "CheckBox" || Kind == "RadioButton" || Kind == "SpinEdit" ||
            (Kind == "ComboBox" && Name != "ComboBox3")) {
            EXPECT_EQ(Composed.count(Name), 1u) << Name << " shows no field";
        }
    }
}

TEST(FormNames, LookupIsExactAndCaseSensitive)
{
    const TFormHarness &H = SharedHarness();
    for (const char *Absent : {"edit1", "EDIT1", "Edit01", "Edit1 ", " Edit1", "Edit110", "Edit0", "Edit",
             "RadioButton8", "RadioButton473", "RadioButton508", "RadioButton512", "RadioButton538",
             "RadioButton547", "TabSheet122", "PageControl45", "Label137", "GroupBox306", "OpenDialog1", ""})
        EXPECT_EQ(H.Find(Absent), nullptr) << Absent;
    for (const char *Present : {"Edit1", "RadioButton509", "RadioButton511", "RadioButton539", "TabSheet24",
             "Timer1", "StatusBar1", "Memo1", "ProgressBar1", "Label136", "GroupBox305"}) {
        QObject *Object = H.Find(Present);
        ASSERT_NE(Object, nullptr) << Present;
        EXPECT_EQ(Object->objectName(), QString::fromLatin1(Present));
    }
    EXPECT_EQ(H.Form->Components().front(), H.Find("PageControl1"));
}

TEST(FormWindow, ClientFontStatusBarMemoAndTimer)
{
    TFormHarness &H = SharedHarness();
    EXPECT_EQ(H.Client->minimumSize(), QSize(503, 508));
    EXPECT_EQ(H.Client->maximumSize(), QSize(503, 508));
    EXPECT_EQ(H.Client->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(H.Client->font().pointSize(), 8);
    auto *Main = H.Get<QTabWidget>("PageControl1");
    auto *Status = H.Get<QStatusBar>("StatusBar1");
    ASSERT_TRUE(Main && Status);
    EXPECT_EQ(Status->geometry().bottom(), 507);
    EXPECT_EQ(Status->width(), 503);
    EXPECT_EQ(Main->geometry(), QRect(0, 0, 503, Status->geometry().top()));
    H.Form->SetStatusText(QStringLiteral("zestaw.set"));
    EXPECT_EQ(H.Form->StatusText(), QStringLiteral("zestaw.set"));
    const auto Panels = Status->findChildren<QLabel *>();
    ASSERT_EQ(Panels.size(), 1);
    EXPECT_EQ(Panels[0]->width(), 250);
    EXPECT_EQ(Panels[0]->text(), QStringLiteral("zestaw.set"));

    auto *Memo = H.Get<QPlainTextEdit>("Memo1");
    ASSERT_TRUE(Memo);
    EXPECT_TRUE(Memo->isReadOnly());
    EXPECT_EQ(Memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Memo->palette().color(QPalette::Base), QColor(255, 255, 225));
    EXPECT_EQ(Memo->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_TRUE(Memo->font().bold());
    EXPECT_EQ(Memo->font().pointSize(), 8);
    EXPECT_FALSE(H.Get<QLabel>("Label1")->font().bold());

    auto *Progress = H.Get<QProgressBar>("ProgressBar1");
    ASSERT_TRUE(Progress);
    EXPECT_EQ(Progress->minimum(), 0);
    EXPECT_EQ(Progress->maximum(), 100);

    auto *Timer = H.Get<QTimer>("Timer1");
    ASSERT_TRUE(Timer);
    EXPECT_FALSE(Timer->isActive());
    EXPECT_EQ(Timer->interval(), 10);
    H.Calls.clear();
    Timer->start();
    EXPECT_TRUE(QTest::qWaitFor([&H] { return H.Calls["Timer1Timer"] >= 3; }, 2000));
    Timer->stop();
    EXPECT_GE(H.Calls["Timer1Timer"], 3);
}

// Timer1 ends a reply after 5 ticks of 10 ms. A coarse timer may fire 5%
// late, and on Windows only on the system's 15.6 ms tick: then hardly any
// interval would be shorter than 15 ms. A loaded machine delays single ticks
// (and the next one comes sooner), so the lower quartile is what is checked.
TEST(FormWindow, Timer1TicksEveryTenMilliseconds)
{
    TFormHarness &H = SharedHarness();
    auto *Timer = H.Get<QTimer>("Timer1");
    ASSERT_TRUE(Timer);
    EXPECT_EQ(Timer->timerType(), Qt::PreciseTimer);
    QElapsedTimer Clock;
    std::vector<qint64> At;
    QEventLoop Loop;
    const auto Tick = QObject::connect(Timer, &QTimer::timeout, &Loop, [&] {
        At.push_back(Clock.nsecsElapsed());
        if (At.size() == 41)
            Loop.quit();
    });
    QTimer::singleShot(5000, &Loop, &QEventLoop::quit);
    Clock.start();
    Timer->start();
    Loop.exec();
    Timer->stop();
    QObject::disconnect(Tick);
    ASSERT_EQ(At.size(), 41u);
    std::vector<double> Ms;
    for (size_t I = 1; I < At.size(); ++I)
        Ms.push_back(static_cast<double>(At[I] - At[I - 1]) / 1e6);
    std::sort(Ms.begin(), Ms.end());
    EXPECT_LE(Ms[Ms.size() / 4], 12.0) << "lower quartile of 40 intervals, ms";
}

TEST(FormWindow, HandlersAreBoundToTheirControlsOnly)
{
    TFormHarness &H = SharedHarness();
    H.Calls.clear();
    for (int b = 1; b <= 10; ++b) {
        auto *Button = H.Get<QPushButton>("Button" + std::to_string(b));
        ASSERT_TRUE(Button);
        EXPECT_EQ(Button->isEnabled(), b != 10) << b;
        Button->click();
    }
    for (int b = 1; b <= 9; ++b)
        EXPECT_EQ(H.Calls["Button" + std::to_string(b) + "Click"], 1) << b;
    EXPECT_EQ(H.Calls.count("Button10Click"), 0u);

    for (const int e : {3, 6, 9}) {
        auto *Edit = H.Get<QLineEdit>("Edit" + std::to_string(e));
        Edit->setText(QStringLiteral("Ala"));
        Edit->setText(QStringLiteral("Ala"));
        Edit->setText(QString());
        EXPECT_EQ(H.Calls["Edit" + std::to_string(e) + "Change"], 2) << e;
    }
    H.Get<QLineEdit>("Edit4")->setText(QStringLiteral("x"));
    H.Get<QCheckBox>("CheckBox1")->click();
    H.Get<QCheckBox>("CheckBox1")->click();
    int Total = 0;
    for (const auto &[Name, Count] : H.Calls)
        Total += Count;
    EXPECT_EQ(Total, 9 + 6);
    for (const int e : {3, 4, 6, 9})
        H.Get<QLineEdit>("Edit" + std::to_string(e))->setText(QStringLiteral("Edit%1").arg(e));
}

struct TEditLimit {
    int First, Last, MaxLength;
};

TEST(FormLimits, EditsHaveTheirMaximumLengths)
{
    const TFormHarness &H = SharedHarness();
    std::vector<TEditLimit> Limits = {{1, 1, 4}, {2, 2, 26}, {12, 67, 160}, {68, 68, 160}, {69, 69, 4},
        {70, 72, 160}, {73, 73, 4}, {74, 77, 160}, {78, 78, 4}, {79, 81, 160}, {82, 82, 4}, {83, 85, 160},
        {86, 87, 4}, {88, 96, 160}, {97, 109, 4}};
    for (int u = 1; u <= 3; ++u)
        Limits.insert(Limits.end(), {{3 * u, 3 * u, 15}, {3 * u + 1, 3 * u + 1, 160}, {3 * u + 2, 3 * u + 2, 26}});
    std::set<int> Covered;
    for (const TEditLimit &L : Limits)
        for (int e = L.First; e <= L.Last; ++e) {
            auto *Edit = H.Get<QLineEdit>("Edit" + std::to_string(e));
            ASSERT_TRUE(Edit) << e;
            EXPECT_EQ(Edit->maxLength(), L.MaxLength) << "Edit" << e;
            // The design-time text is the name, cut to the limit.
            EXPECT_EQ(Edit->text(), QStringLiteral("Edit%1").arg(e).left(L.MaxLength)) << e;
            EXPECT_FALSE(Edit->isReadOnly()) << e;
            Covered.insert(e);
        }
    EXPECT_EQ(Covered.size(), 109u);
}

struct TSpinLimit {
    int First, Last, Min, Max, Value;
};

TEST(FormLimits, SpinEditsHaveTheirRangesAndValues)
{
    const TFormHarness &H = SharedHarness();
    const TSpinLimit Limits[] = {{1, 8, 1, 255, 1}, {9, 12, 1, 255, 30}, {13, 13, 1, 42, 1}, {14, 14, 1, 255, 30},
        {15, 15, 1, 255, 30}, {16, 16, 1, 255, 20}, {17, 17, 1, 42, 1}, {18, 18, 1, 255, 15}, {19, 19, 1, 255, 5},
        {20, 20, 1, 255, 1}, {21, 23, 1, 255, 3}, {24, 27, 1, 255, 1}, {28, 28, 0, 255, 17}, {29, 29, 0, 255, 145},
        {30, 30, 0, 255, 177}, {31, 31, 0, 255, 129}, {32, 33, 0, 255, 0}, {34, 34, 1, 255, 15},
        {35, 35, 1, 255, 5}};
    int Count = 0;
    for (const TSpinLimit &L : Limits)
        for (int s = L.First; s <= L.Last; ++s, ++Count) {
            auto *Spin = H.Get<TSpinEdit>("SpinEdit" + std::to_string(s));
            ASSERT_TRUE(Spin) << s;
            EXPECT_EQ(Spin->MinValue(), L.Min) << s;
            EXPECT_EQ(Spin->MaxValue(), L.Max) << s;
            EXPECT_EQ(Spin->Value(), L.Value) << s;
            EXPECT_EQ(Spin->text(), QString::number(L.Value)) << s;
        }
    EXPECT_EQ(Count, 35);
}

TEST(FormLimits, ComboBoxesHoldTheirItemsWithoutTyping)
{
    const TFormHarness &H = SharedHarness();
    const std::pair<const char *, std::vector<const char *>> Lists[] = {
        {"ComboBox1", {"BRAK", "Trackwarden V1.1.1"}},
        {"ComboBox2", {"BRAK", "Nokia 5110", "Nokia 3410"}},
        {"ComboBox3", {"BRAK", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}},
    };
    for (const auto &[Name, Items] : Lists) {
        auto *Combo = H.Get<QComboBox>(Name);
        ASSERT_TRUE(Combo) << Name;
        EXPECT_FALSE(Combo->isEditable()) << Name;
        ASSERT_EQ(Combo->count(), static_cast<int>(Items.size())) << Name;
        for (int n = 0; n < Combo->count(); ++n)
            EXPECT_EQ(Combo->itemText(n), QString::fromUtf8(Items[n])) << Name;
        EXPECT_EQ(Combo->currentIndex(), 0) << Name;
    }
    // The field table's range of each list (the image check and the units table use it) is its items.
    for (int Combo : {1, 2}) {
        const TFieldDesc *F = FieldOfControl(TFieldKind::List, Combo);
        ASSERT_TRUE(F) << Combo;
        EXPECT_EQ(F->Min, 0) << F->Name;
        EXPECT_EQ(F->Max + 1, H.Get<QComboBox>("ComboBox" + std::to_string(Combo))->count()) << F->Name;
    }
}

TEST(FormLimits, OnlyTheDeclaredControlsAreHiddenOrDisabled)
{
    const TFormHarness &H = SharedHarness();
    const std::set<std::string> Hidden = {"RadioButton539", "RadioButton540", "CheckBox91", "CheckBox92", "Edit98"};
    for (QObject *Object : H.Form->Components()) {
        auto *Widget = qobject_cast<QWidget *>(Object);
        if (!Widget || qobject_cast<QTabWidget *>(Widget->parentWidget() ? Widget->parentWidget()->parentWidget() : nullptr))
            continue; // pages are shown by their tab set
        const std::string Name = Object->objectName().toStdString();
        EXPECT_EQ(Widget->isHidden(), Hidden.count(Name) == 1) << Name;
        EXPECT_EQ(Widget->isEnabled(), Name != "Button10") << Name;
    }
    // Hidden controls keep their states.
    auto *Radio540 = H.Get<QRadioButton>("RadioButton540");
    auto *Radio539 = H.Get<QRadioButton>("RadioButton539");
    auto *Box = H.Get<QCheckBox>("CheckBox91");
    auto *Edit = H.Get<QLineEdit>("Edit98");
    EXPECT_TRUE(Radio539->isChecked());
    Radio540->setChecked(true);
    Box->setChecked(true);
    Edit->setText(QStringLiteral("GPS"));
    EXPECT_FALSE(Radio539->isChecked());
    EXPECT_TRUE(Radio540->isChecked());
    EXPECT_TRUE(Box->isChecked());
    EXPECT_EQ(Edit->text(), QStringLiteral("GPS"));
    Radio539->setChecked(true);
    Box->setChecked(false);
}

TEST(FormLimits, SetButtonCheckedCanEmptyAGroup)
{
    const TFormHarness &H = SharedHarness();
    auto *Armed = H.Get<QRadioButton>("RadioButton509");
    auto *Disarmed = H.Get<QRadioButton>("RadioButton510");
    auto *ByInput = H.Get<QRadioButton>("RadioButton511");
    ASSERT_TRUE(Armed && Disarmed && ByInput);
    ASSERT_TRUE(Armed->isChecked());
    Armed->setChecked(false);
    EXPECT_TRUE(Armed->isChecked()) << "Qt refuses this, hence SetButtonChecked";
    SetButtonChecked(Armed, false);
    EXPECT_FALSE(Armed->isChecked() || Disarmed->isChecked() || ByInput->isChecked());
    EXPECT_TRUE(Armed->autoExclusive());
    SetButtonChecked(ByInput, true);
    SetButtonChecked(Disarmed, true);
    EXPECT_TRUE(Disarmed->isChecked());
    EXPECT_FALSE(Armed->isChecked() || ByInput->isChecked());
    SetButtonChecked(Armed, true);
    EXPECT_FALSE(Disarmed->isChecked());
}
