// Pages of the window's tab set are made on first need: what exists after
// start-up, and that a window whose pages are made late holds, shows and
// stores exactly what a window made whole at once does.
#include "test_ui_main_support.h"

#include "UFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// "Name=value" for every control that holds state, read through the form's
// accessors, which do not make a page.
std::vector<std::string> Snapshot(const TForm &Form, const std::vector<std::string> &Names)
{
    std::vector<std::string> Rows;
    for (const std::string &Name : Names) {
        std::string Value;
        if (Name.rfind("Edit", 0) == 0)
            Value = Form.EditText(Name).toStdString();
        else if (Name.rfind("CheckBox", 0) == 0 || Name.rfind("RadioButton", 0) == 0)
            Value = Form.Checked(Name) ? "1" : "0";
        else if (Name.rfind("SpinEdit", 0) == 0)
            Value = std::to_string(Form.SpinValue(Name));
        else if (Name.rfind("ComboBox", 0) == 0)
            Value = std::to_string(Form.ItemIndex(Name));
        else if (Name.rfind("TabSheet", 0) == 0)
            Value = Form.TabCaption(Name).toStdString();
        else
            continue;
        Rows.push_back(Name + "=" + Value);
    }
    return Rows;
}

std::vector<std::string> StateNames(TForm &Whole)
{
    std::vector<std::string> Names;
    for (QObject *Object : Whole.Components())
        Names.push_back(Object->objectName().toStdString());
    return Names;
}

void ExpectSameState(const TForm &A, const TForm &B, const std::vector<std::string> &Names, const char *When)
{
    const std::vector<std::string> InA = Snapshot(A, Names);
    const std::vector<std::string> InB = Snapshot(B, Names);
    ASSERT_EQ(InA.size(), InB.size());
    ASSERT_EQ(InA.size(), 109u + 250u + 339u + 35u + 3u + 121u);
    for (size_t I = 0; I < InA.size(); ++I)
        ASSERT_EQ(InA[I], InB[I]) << When;
}

uint8_t *Bytes(TSettings &S)
{
    return reinterpret_cast<uint8_t *>(&S);
}

// Any bytes; every second record also has radio ordinals, spin values and
// list indexes near their ranges, so groups get selections and bounds bite.
void FillRecord(std::mt19937 &Random, bool NearRanges)
{
    for (size_t I = 0; I < SettingsSize; ++I)
        Bytes(Settings)[I] = static_cast<uint8_t>(Random());
    if (!NearRanges)
        return;
    for (const TFieldDesc &F : SettingsFields()) {
        const int R = static_cast<int>(Random() % 1000);
        switch (F.Kind) {
        case TFieldKind::RadioGroup: SetFieldInt(Settings, F, F.FirstOrdinal - 1 + R % (F.RadioCount + 2)); break;
        case TFieldKind::RadioPair:
        case TFieldKind::Flag: SetFieldByte(Settings, F, static_cast<uint8_t>(R % 3)); break;
        case TFieldKind::Number: SetFieldInt(Settings, F, R % 320 - 10); break;
        case TFieldKind::List: SetFieldInt(Settings, F, R % 6 - 2); break;
        default: break;
        }
    }
}

class Pages : public ::testing::Test {
protected:
    void SetUp() override
    {
        Late = std::make_unique<TTestWindow>(LateFolder.Path);
        Whole = std::make_unique<TTestWindow>(WholeFolder.Path);
        Names = StateNames(Whole->Window->Form());
    }
    TForm &LateForm() { return Late->Window->Form(); }
    TForm &WholeForm() { return Whole->Window->Form(); }

    TTestFolder LateFolder, WholeFolder;
    std::unique_ptr<TTestWindow> Late, Whole;
    std::vector<std::string> Names;
};

TEST_F(Pages, StartUpMakesTheTabSetAndTheFirstPageOnly)
{
    const TForm &Form = LateForm();
    for (int K = 1; K <= 12; ++K)
        EXPECT_TRUE(Form.Made("TabSheet" + std::to_string(K))) << K;
    EXPECT_TRUE(Form.Made("PageControl1"));
    EXPECT_TRUE(Form.Made("StatusBar1"));
    EXPECT_TRUE(Form.Made("Timer1"));
    EXPECT_TRUE(Form.Made("Button1")); // PLIKI
    EXPECT_FALSE(Form.Made("Edit1"));  // SIM
    EXPECT_FALSE(Form.Made("Edit3"));  // UŻYT
    EXPECT_FALSE(Form.Made("PageControl3"));
    EXPECT_FALSE(Form.Made("Memo1")); // PROG
    EXPECT_FALSE(Form.Made("Nothing1"));

    // A lookup makes the control's page, and only that page.
    auto *Pin = Form.Control<QLineEdit>("Edit1");
    ASSERT_NE(Pin, nullptr);
    EXPECT_EQ(Pin->maxLength(), 4);
    EXPECT_TRUE(Form.Made("Label1"));
    EXPECT_FALSE(Form.Made("Edit3"));
    EXPECT_EQ(Form.FindControl("Nothing1"), nullptr);
}

TEST_F(Pages, LateMadePagesHoldWhatWholeWindowsHold)
{
    std::mt19937 Random(8122026);
    TSettings Scratch;
    for (int Round = 0; Round < 12; ++Round) {
        FillRecord(Random, Round % 2 == 1);
        const TSettings Record = Settings;
        Late->Window->SettingsToForm();
        Settings = Record;
        Whole->Window->SettingsToForm();
        ASSERT_NO_FATAL_FAILURE(ExpectSameState(LateForm(), WholeForm(), Names, "after SettingsToForm"));

        // What is stored back: fill with other bytes first, so untouched bytes differ visibly.
        std::memset(&Settings, 0xA5, SettingsSize);
        Late->Window->FormToSettings();
        Scratch = Settings;
        std::memset(&Settings, 0xA5, SettingsSize);
        Whole->Window->FormToSettings();
        ASSERT_EQ(std::memcmp(&Scratch, &Settings, SettingsSize), 0) << "round " << Round;
    }

    // The setters one by one: a radio selected after another, a selection
    // cleared, values out of range, a long identifier retitling 16 pages.
    for (TFMain *Window : {Late->Window.get(), Whole->Window.get()}) {
        Window->SetRadioChecked(3, true);
        Window->SetRadioChecked(2, true);
        Window->SetRadioChecked(40, true);
        Window->SetRadioChecked(40, false);
        Window->SetSpinValue(1, 100000);
        Window->SetSpinValue(2, -100000);
        Window->SetEditText(6, QString(40, QChar(u'ż')));
        Window->SetEditText(1, QStringLiteral("123456"));
        Window->Form().SetItemIndex("ComboBox1", 7);
        Window->Form().SetItemIndex("ComboBox2", 1);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameState(LateForm(), WholeForm(), Names, "after the setters"));
    EXPECT_EQ(LateForm().TabCaption("TabSheet25"), QString(15, QChar(u'ż')));

    // Until now the late window kept all of it without widgets.
    for (const char *Name : {"Edit1", "Edit6", "SpinEdit1", "RadioButton2", "ComboBox1", "TabSheet25"})
        EXPECT_FALSE(LateForm().Made(Name)) << Name;

    // Made now, its widgets show the same.
    LateForm().Components();
    ASSERT_NO_FATAL_FAILURE(ExpectSameState(LateForm(), WholeForm(), Names, "after the pages were made"));
    EXPECT_EQ(LateForm().Control<QLineEdit>("Edit6")->text(), QString(15, QChar(u'ż')));
    EXPECT_FALSE(LateForm().Control<QRadioButton>("RadioButton3")->isChecked());
    EXPECT_TRUE(LateForm().Control<QRadioButton>("RadioButton2")->isChecked());
}

TEST(PagesAlone, AClientAreaThatOutlivesItsFormShowsItsPagesEmpty)
{
    TestApplication();
    auto Client = std::make_unique<QWidget>();
    auto Form = std::make_unique<TForm>(Client.get(), std::unordered_map<std::string, THandler>{});
    QPointer<QTabWidget> Tabs = Form->Control<QTabWidget>("PageControl1");
    QPointer<QWidget> Wej = Form->Control<QWidget>("TabSheet4");
    ASSERT_TRUE(Tabs && Wej);
    Form.reset();
    Client->show();
    Tabs->setCurrentIndex(3);
    EXPECT_TRUE(Wej->isVisible());
    EXPECT_TRUE(Wej->children().isEmpty());
}

// Visible, enabled widgets that Tab reaches, in the order it reaches them.
std::vector<std::string> TabStops(QWidget *Window)
{
    std::vector<std::string> Stops;
    QWidget *At = Window;
    do {
        At = At->nextInFocusChain();
        if (At->isVisible() && At->isEnabled() && (At->focusPolicy() & Qt::TabFocus))
            Stops.push_back(At->objectName().toStdString() + "@" +
                            (At->parentWidget() ? At->parentWidget()->objectName().toStdString() : std::string()));
    } while (At != Window);
    return Stops;
}

// Named widgets on screen with their places.
std::set<std::string> VisibleNames(QWidget *Window)
{
    std::set<std::string> Names;
    for (const QWidget *Widget : Window->findChildren<QWidget *>()) {
        if (!Widget->isVisible() || Widget->objectName().isEmpty())
            continue;
        const QRect At = Widget->geometry();
        Names.insert(Widget->objectName().toStdString() + " " + std::to_string(At.x()) + "," + std::to_string(At.y()) +
                     " " + std::to_string(At.width()) + "x" + std::to_string(At.height()));
    }
    return Names;
}

TEST_F(Pages, APageShownLateShowsItsControlsAsAWholeWindowDoes)
{
    Late->Window->show();
    Whole->Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Late->Window.get()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Whole->Window.get()));
    EXPECT_FALSE(LateForm().Made("Edit1"));
    auto *LateTabs = LateForm().Control<QTabWidget>("PageControl1");
    auto *WholeTabs = WholeForm().Control<QTabWidget>("PageControl1");
    // Last page first, so the late pages are made in the reverse order.
    for (int K = 11; K >= 0; --K) {
        LateTabs->setCurrentIndex(K);
        WholeTabs->setCurrentIndex(K);
        const std::set<std::string> Shown = VisibleNames(Whole->Window.get());
        EXPECT_EQ(VisibleNames(Late->Window.get()), Shown) << "page " << K + 1;
        EXPECT_GE(Shown.size(), 8u) << "page " << K + 1;
        EXPECT_EQ(TabStops(Late->Window.get()), TabStops(Whole->Window.get())) << "page " << K + 1;
        if (K == 11) {
            EXPECT_FALSE(LateForm().Made("Edit1")) << "showing PROG made SIM";
        }
    }
}

} // namespace
