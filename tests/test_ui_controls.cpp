// The controls as a user types and clicks, on a shown window (offscreen).
#include "test_ui_form_support.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using TPath = std::vector<std::pair<const char *, int>>; // tab set, page index

TFormHarness &ShownHarness()
{
    TFormHarness &H = SharedHarness();
    if (!H.Client->isVisible()) {
        H.Client->show();
        H.Client->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(H.Client.get()));
    }
    return H;
}

void Open(const TFormHarness &H, const TPath &Path)
{
    for (const auto &[Tabs, Index] : Path)
        H.Get<QTabWidget>(Tabs)->setCurrentIndex(Index);
    QCoreApplication::processEvents();
}

const TPath SimTab = {{"PageControl1", 1}};
const TPath ProgTab = {{"PageControl1", 11}};
const TPath SpecTab = {{"PageControl1", 10}};
const TPath Input1 = {{"PageControl1", 3}, {"PageControl3", 0}, {"PageControl4", 0}, {"PageControl5", 0}};
const TPath Output1 = {{"PageControl1", 4}, {"PageControl36", 0}};
const TPath User2 = {{"PageControl1", 2}, {"PageControl2", 1}};
const TPath TestTab = {{"PageControl1", 6}};

// QTest types only ASCII; other characters go as plain key events carrying text.
void KeyClicks(QWidget *Control, const QString &Text)
{
    for (const QChar C : Text) {
        if (C.unicode() < 128) {
            QTest::keyClick(Control, char(C.unicode()));
            continue;
        }
        QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(C));
        QKeyEvent Release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(C));
        QApplication::sendEvent(Control, &Press);
        QApplication::sendEvent(Control, &Release);
    }
}

// Types Text into a control emptied first, then moves the focus to Other.
void TypeInto(QWidget *Control, const QString &Text, QWidget *Other)
{
    Control->setFocus();
    QCoreApplication::processEvents();
    if (auto *Edit = qobject_cast<QLineEdit *>(Control)) {
        Edit->clear();
    } else {
        QTest::keyClick(Control, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Control, Qt::Key_Delete);
    }
    KeyClicks(Control, Text);
    if (Other) {
        Other->setFocus();
        QCoreApplication::processEvents();
    }
}

std::map<std::string, bool> RadioStates(const TFormHarness &H)
{
    std::map<std::string, bool> States;
    for (QObject *Object : H.Form->Components())
        if (auto *Radio = qobject_cast<QRadioButton *>(Object))
            States[Radio->objectName().toStdString()] = Radio->isChecked();
    return States;
}

} // namespace

TEST(ControlsTyping, EditsStopAtTheirMaximumLength)
{
    TFormHarness &H = ShownHarness();
    struct TRow {
        const char *Edit;
        TPath Path;
        QString Typed;
        int Kept;
    };
    const std::vector<TRow> Rows = {
        {"Edit1", SimTab, QStringLiteral("12345"), 4},
        {"Edit2", SimTab, QString(27, u'9'), 26},
        {"Edit108", ProgTab, QStringLiteral("98765"), 4},
        {"Edit109", SpecTab, QStringLiteral("RESET"), 4},
        {"Edit69", Output1, QStringLiteral("ONNN1"), 4},
        {"Edit6", User2, QString::fromUtf8("Użytkownik drugi"), 15},
        {"Edit7", User2, QString(161, QChar(0x0105)), 160},
        {"Edit12", Input1, QString(161, u'o'), 160},
        {"Edit13", Input1, QString::fromUtf8("Zażółć gęślą jaźń ").repeated(9).left(161), 160},
        {"Edit94", TestTab, QString(200, u't'), 160},
    };
    for (const TRow &R : Rows) {
        Open(H, R.Path);
        auto *Edit = H.Get<QLineEdit>(R.Edit);
        ASSERT_TRUE(Edit && Edit->isVisible()) << R.Edit;
        TypeInto(Edit, R.Typed, nullptr);
        EXPECT_EQ(Edit->text(), R.Typed.left(R.Kept)) << R.Edit;
        Edit->setText(QString::fromLatin1(R.Edit).left(Edit->maxLength()));
    }
}

TEST(ControlsTyping, IdentifierEditReportsEveryKeystroke)
{
    TFormHarness &H = ShownHarness();
    Open(H, User2);
    auto *Edit = H.Get<QLineEdit>("Edit6");
    Edit->setFocus();
    Edit->clear();
    H.Calls.clear();
    QTest::keyClicks(Edit, QStringLiteral("Ola"));
    EXPECT_EQ(H.Calls["Edit6Change"], 3);
    QTest::keyClick(Edit, Qt::Key_Backspace);
    EXPECT_EQ(H.Calls["Edit6Change"], 4);
    EXPECT_EQ(H.Calls["Edit3Change"] + H.Calls["Edit9Change"], 0);
    Edit->setText(QStringLiteral("Edit6"));
}

TEST(ControlsTyping, SpinEditsAsTyped)
{
    TFormHarness &H = ShownHarness();
    struct TRow {
        const char *Spin;
        TPath Path;
        const char *Typed;
        const char *Shown;    // after typing
        const char *AfterOut; // after the focus moved on
        int Value;
    };
    const TRow Rows[] = {
        {"SpinEdit1", Input1, "0", "0", "1", 1},
        {"SpinEdit1", Input1, "300", "300", "255", 255},
        {"SpinEdit1", Input1, "-7", "-7", "1", 1},
        {"SpinEdit1", Input1, "+9", "+9", "+9", 9},
        {"SpinEdit1", Input1, "abc", "", "", 1},
        {"SpinEdit1", Input1, "a1b2", "12", "12", 12},
        {"SpinEdit1", Input1, "1,5", "1,5", "1,5", 1},
        {"SpinEdit1", Input1, "2.5", "2.5", "2.5", 1},
        {"SpinEdit1", Input1, "1234", "123", "123", 123},
        {"SpinEdit1", Input1, "", "", "", 1},
        {"SpinEdit9", Output1, "0", "0", "1", 1},
        {"SpinEdit13", TestTab, "50", "50", "42", 42},
        {"SpinEdit28", SpecTab, "", "", "", 0},
        {"SpinEdit28", SpecTab, "-", "-", "-", 0},
        {"SpinEdit28", SpecTab, "999", "999", "255", 255},
    };
    for (const TRow &R : Rows) {
        Open(H, R.Path);
        auto *Spin = H.Get<TSpinEdit>(R.Spin);
        ASSERT_TRUE(Spin && Spin->isVisible()) << R.Spin;
        QWidget *Other = H.Get<QWidget>(R.Path == SpecTab ? "Edit109" : R.Path == TestTab ? "Edit94"
                                                     : R.Path == Output1 ? "Edit68" : "Edit12");
        TypeInto(Spin, QString::fromLatin1(R.Typed), nullptr);
        EXPECT_EQ(Spin->text(), QString::fromLatin1(R.Shown)) << R.Spin << " typed " << R.Typed;
        Other->setFocus();
        QCoreApplication::processEvents();
        EXPECT_FALSE(Spin->hasFocus());
        EXPECT_EQ(Spin->text(), QString::fromLatin1(R.AfterOut)) << R.Spin << " typed " << R.Typed;
        EXPECT_EQ(Spin->Value(), R.Value) << R.Spin << " typed " << R.Typed;
    }
    // Every spin edit of " Kodowanie SMS " takes 0.
    Open(H, SpecTab);
    for (int s = 28; s <= 33; ++s) {
        auto *Spin = H.Get<TSpinEdit>("SpinEdit" + std::to_string(s));
        TypeInto(Spin, QStringLiteral("0"), H.Get<QWidget>("Edit109"));
        EXPECT_EQ(Spin->text(), QStringLiteral("0")) << s;
        EXPECT_EQ(Spin->Value(), 0) << s;
    }
}

TEST(ControlsTyping, ArrowsStayWithinTheRange)
{
    TFormHarness &H = ShownHarness();
    struct TRow {
        const char *Spin;
        TPath Path;
        int Start;
        Qt::Key Key;
        int Presses;
        int Expected;
    };
    const TRow Rows[] = {
        {"SpinEdit1", Input1, 255, Qt::Key_Up, 1, 255},
        {"SpinEdit1", Input1, 253, Qt::Key_Up, 5, 255},
        {"SpinEdit1", Input1, 1, Qt::Key_Down, 1, 1},
        {"SpinEdit1", Input1, 10, Qt::Key_Down, 3, 7},
        {"SpinEdit13", TestTab, 42, Qt::Key_Up, 2, 42},
        {"SpinEdit28", SpecTab, 0, Qt::Key_Down, 1, 0},
    };
    for (const TRow &R : Rows) {
        Open(H, R.Path);
        auto *Spin = H.Get<TSpinEdit>(R.Spin);
        Spin->SetValue(R.Start);
        Spin->setFocus();
        for (int n = 0; n < R.Presses; ++n)
            QTest::keyClick(Spin, R.Key);
        EXPECT_EQ(Spin->Value(), R.Expected) << R.Spin << " from " << R.Start;
        EXPECT_EQ(Spin->text(), QString::number(R.Expected)) << R.Spin;
    }
    // From a text that is no integer the arrows start at the minimum.
    Open(H, Input1);
    auto *Spin = H.Get<TSpinEdit>("SpinEdit1");
    TypeInto(Spin, QStringLiteral("1,5"), nullptr);
    QTest::keyClick(Spin, Qt::Key_Up);
    EXPECT_EQ(Spin->text(), QStringLiteral("2"));
    Spin->SetValue(1);
}

TEST(ControlsSetValue, ValuesAreBroughtToTheNearerBound)
{
    TFormHarness &H = SharedHarness();
    const std::pair<const char *, std::vector<std::pair<int, int>>> Rows[] = {
        {"SpinEdit9", {{0, 1}, {-100, 1}, {1000, 255}, {INT32_MAX, 255}, {INT32_MIN, 1}, {77, 77}}},
        {"SpinEdit13", {{43, 42}, {0, 1}, {42, 42}}},
        {"SpinEdit28", {{-1, 0}, {256, 255}, {0, 0}}},
    };
    for (const auto &[Name, Cases] : Rows) {
        auto *Spin = H.Get<TSpinEdit>(Name);
        for (const auto &[Set, Shown] : Cases) {
            Spin->SetValue(Set);
            EXPECT_EQ(Spin->text(), QString::number(Shown)) << Name << " set " << Set;
            EXPECT_EQ(Spin->Value(), Shown) << Name << " set " << Set;
        }
    }
    H.Get<TSpinEdit>("SpinEdit9")->SetValue(30);
    H.Get<TSpinEdit>("SpinEdit13")->SetValue(1);
    H.Get<TSpinEdit>("SpinEdit28")->SetValue(17);
    // A field whose bounds are equal is not limited.
    TSpinEdit Fixed(5, 5, 5, nullptr);
    Fixed.SetValue(9);
    EXPECT_EQ(Fixed.Value(), 9);
}

TEST(ControlsClicking, AnOptionClearsOnlyItsOwnGroup)
{
    TFormHarness &H = ShownHarness();
    struct TRow {
        TPath Path;
        const char *Clicked;
        const char *Cleared;
    };
    const std::vector<TRow> Rows = {
        {Input1, "RadioButton7", "RadioButton6"},
        {{{"PageControl1", 3}, {"PageControl3", 4}, {"PageControl20", 2}, {"PageControl23", 1}}, "RadioButton288",
            "RadioButton287"},
        {{{"PageControl1", 3}, {"PageControl3", 4}, {"PageControl20", 2}, {"PageControl23", 1}}, "RadioButton294",
            "RadioButton292"},
        {{{"PageControl1", 3}, {"PageControl3", 7}}, "RadioButton418", "RadioButton417"},
        {{{"PageControl1", 5}}, "RadioButton511", "RadioButton509"},
        {{{"PageControl1", 10}}, "RadioButton544", "RadioButton546"},
    };
    for (const TRow &R : Rows) {
        Open(H, R.Path);
        auto *Radio = H.Get<QRadioButton>(R.Clicked);
        ASSERT_TRUE(Radio && Radio->isVisible()) << R.Clicked;
        std::map<std::string, bool> Expected = RadioStates(H);
        ASSERT_TRUE(Expected[R.Cleared]) << R.Cleared;
        Expected[R.Clicked] = true;
        Expected[R.Cleared] = false;
        QTest::mouseClick(Radio, Qt::LeftButton, {}, QPoint(6, Radio->height() / 2));
        EXPECT_EQ(RadioStates(H), Expected) << R.Clicked;
        SetButtonChecked(H.Get<QRadioButton>(R.Cleared), true);
    }
}

TEST(ControlsClicking, ButtonsAndLists)
{
    TFormHarness &H = ShownHarness();
    Open(H, ProgTab);
    H.Calls.clear();
    QTest::mouseClick(H.Get<QPushButton>("Button10"), Qt::LeftButton);
    QTest::mouseClick(H.Get<QPushButton>("Button8"), Qt::LeftButton);
    EXPECT_EQ(H.Calls, (std::map<std::string, int>{{"Button8Click", 1}}));

    auto *Combo = H.Get<QComboBox>("ComboBox2");
    Combo->setFocus();
    QTest::keyClicks(Combo, QStringLiteral("Siemens"));
    EXPECT_EQ(Combo->count(), 3);
    EXPECT_FALSE(Combo->isEditable());
    EXPECT_GE(Combo->currentIndex(), 0);
    Combo->setCurrentIndex(0);
}
