// The binding between the window and Settings: conversions, edge cases and
// the round trip record -> window -> record.
#include "test_ui_main_support.h"

#include "UFields.h"
#include "UProcs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <cstring>
#include <map>
#include <random>
#include <set>

namespace {

const TFieldDesc &Field(const std::string &Name)
{
    for (const TFieldDesc &F : SettingsFields())
        if (F.Name == Name)
            return F;
    throw std::runtime_error("no field " + Name);
}

uint8_t *FieldBytes(TSettings &S, const TFieldDesc &F)
{
    return reinterpret_cast<uint8_t *>(&S) + F.Offset;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        W = std::make_unique<TTestWindow>(Folder.Path);
        Main = W->Window.get();
    }
    template <typename T>
    T *Get(const std::string &Name)
    {
        T *Control = Main->Form().Control<T>(Name);
        EXPECT_NE(Control, nullptr) << Name;
        return Control;
    }

    TTestFolder Folder;
    std::unique_ptr<TTestWindow> W;
    TFMain *Main = nullptr;
};

// ---- texts

struct TTextRow {
    const char *Field;
    const char *Edit;
    int Typed;  // characters put into the edit
    int Stored; // characters the record keeps
};

class TextCut : public Binding, public ::testing::WithParamInterface<TTextRow> {};

TEST_P(TextCut, KeepsFirstCharactersAndTheOldTail)
{
    const TTextRow Row = GetParam();
    const TFieldDesc &F = Field(Row.Field);
    // A long earlier value whose tail must survive a shorter one.
    std::memset(FieldBytes(Settings, F) + 1, 'Z', static_cast<size_t>(F.Capacity));
    FieldBytes(Settings, F)[0] = static_cast<uint8_t>(F.Capacity);

    QString Text;
    for (int I = 0; I < Row.Typed; ++I)
        Text += QChar('a' + I % 26);
    Get<QLineEdit>(Row.Edit)->setText(Text);
    ASSERT_EQ(Get<QLineEdit>(Row.Edit)->text().size(), Row.Typed) << "the edit itself cut the text";
    Main->FormToSettings();

    const uint8_t *Bytes = FieldBytes(Settings, F);
    EXPECT_EQ(Bytes[0], Row.Stored);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(Bytes + 1), static_cast<size_t>(Row.Stored)),
              Text.left(Row.Stored).toStdString());
    for (int I = Row.Stored; I < F.Capacity; ++I)
        EXPECT_EQ(Bytes[1 + I], 'Z') << "tail position " << I;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, TextCut,
    ::testing::Values(TTextRow{"SmsCentreNumber", "Edit2", 26, 23}, TTextRow{"Users[2].PhoneNumber", "Edit8", 26, 23},
                      TTextRow{"Users[1].Description", "Edit4", 100, 80},
                      TTextRow{"Inputs[8].Description", "Edit61", 100, 80},
                      TTextRow{"Outputs[2].Description", "Edit77", 100, 80},
                      TTextRow{"Inputs[1].Users[1].Functions[1].SmsText", "Edit13", 160, 160},
                      TTextRow{"Users[3].Identifier", "Edit9", 15, 15}, TTextRow{"SimPin", "Edit1", 4, 4},
                      TTextRow{"DevicePin", "Edit108", 4, 4}, TTextRow{"SimPin", "Edit1", 2, 2},
                      TTextRow{"Users[1].Description", "Edit4", 0, 0}));

struct TCharsRow {
    const char *Utf8;        // as the edit shows it
    std::string Cp1250;      // as the record stores it
    const char *ShownBack;   // as the edit shows the stored record
};

class TextCharacters : public Binding, public ::testing::WithParamInterface<TCharsRow> {};

TEST_P(TextCharacters, TravelInWindows1250)
{
    const TCharsRow Row = GetParam();
    const TFieldDesc &F = Field("Inputs[2].Users[3].Functions[2].SmsText");
    Get<QLineEdit>("Edit25")->setText(QString::fromUtf8(Row.Utf8));
    Main->FormToSettings();
    EXPECT_EQ(FieldText(Settings, F), Row.Cp1250);

    Get<QLineEdit>("Edit25")->clear();
    Main->SettingsToForm();
    EXPECT_EQ(Get<QLineEdit>("Edit25")->text(), QString::fromUtf8(Row.ShownBack));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextCharacters,
    ::testing::Values(TCharsRow{"Zażółć gęślą jaźń", "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1", "Zażółć gęślą jaźń"},
                      TCharsRow{"ĄĆĘŁŃÓŚŹŻ", "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF", "ĄĆĘŁŃÓŚŹŻ"},
                      TCharsRow{"Cena 5€", "Cena 5\x80", "Cena 5€"},
                      TCharsRow{"日本 ok", "?? ok", "?? ok"},
                      TCharsRow{"a😀b", "a?b", "a?b"},
                      TCharsRow{"  spacje  ", "  spacje  ", "  spacje  "}));

TEST_F(Binding, LengthAboveCapacityShowsOnlyTheField)
{
    struct TRow {
        const char *Field;
        const char *Edit;
        uint8_t Length;
    } Rows[] = {{"SimPin", "Edit1", 255}, {"Outputs[1].Actions[2].SmsCode", "Edit73", 5},
                {"SmsCentreNumber", "Edit2", 200}, {"DevicePin", "Edit108", 255}};
    for (const TRow &Row : Rows) {
        const TFieldDesc &F = Field(Row.Field);
        uint8_t *Bytes = FieldBytes(Settings, F);
        Bytes[0] = Row.Length;
        std::memset(Bytes + 1, 'x', static_cast<size_t>(F.Capacity));
        Main->SettingsToForm();
        EXPECT_EQ(Get<QLineEdit>(Row.Edit)->text(), QString(F.Capacity, QChar('x'))) << Row.Field;
        Main->FormToSettings();
        EXPECT_EQ(FieldBytes(Settings, F)[0], F.Capacity) << Row.Field;
    }
}

// ---- radio groups, radio pairs, lists

TEST_F(Binding, RadioGroupsShowTheirOrdinalOrNothing)
{
    struct TRow {
        const char *Field;
        int32_t Value;
        std::vector<int> Radios;
        int Checked; // index into Radios, -1 none
    } Rows[] = {
        {"Inputs[1].Activity", 5, {1, 2, 3}, -1},
        {"Inputs[1].Activity", 2, {1, 2, 3}, 2},
        {"Inputs[1].Activity", -1, {1, 2, 3}, -1},
        {"Inputs[8].Users[3].Functions[2].GpsAction", 3, {469, 470, 471, 472}, 3},
        {"Inputs[8].Users[3].Functions[2].GpsAction", 4, {469, 470, 471, 472}, -1},
        {"PowerUpArmState", 0, {509, 510, 511}, -1},
        {"PowerUpArmState", 2, {509, 510, 511}, 1},
        {"RingInMode", 3, {541, 542, 543}, 2},
        {"SmsValidityUnit", 1, {544, 545, 546}, 0},
        {"SmsValidityUnit", 99, {544, 545, 546}, -1},
    };
    for (const TRow &Row : Rows) {
        SetDefaultSettings();
        SetFieldInt(Settings, Field(Row.Field), Row.Value);
        Main->SettingsToForm();
        for (size_t K = 0; K < Row.Radios.size(); ++K)
            EXPECT_EQ(Main->GetRadioChecked(Row.Radios[K]), static_cast<int>(K) == Row.Checked)
                << Row.Field << " = " << Row.Value << ", RadioButton" << Row.Radios[K];
        Main->FormToSettings();
        EXPECT_EQ(FieldInt(Settings, Field(Row.Field)), Row.Value) << Row.Field;
    }
}

TEST_F(Binding, RadioPairsKeepExactlyOneChecked)
{
    struct TRow {
        const char *Field;
        int True, False;
        uint8_t Value, Stored;
    } Rows[] = {
        {"Inputs[1].DelayUnit10s", 5, 4, 1, 1},
        {"Inputs[1].DelayUnit10s", 5, 4, 0, 0},
        {"Inputs[8].DelayUnit10s", 418, 417, 7, 1},
        {"Inputs[8].Users[3].Functions[2].ReactOnShort", 464, 465, 0, 0},
        {"Inputs[3].Users[2].Functions[1].ReactOnShort", 142, 143, 255, 1},
        {"RingOutHangUpOnAnswer", 539, 540, 0, 0},
        {"RingOutHangUpOnAnswer", 539, 540, 1, 1},
    };
    for (const TRow &Row : Rows) {
        SetFieldByte(Settings, Field(Row.Field), Row.Value);
        Main->SettingsToForm();
        EXPECT_EQ(Main->GetRadioChecked(Row.True), Row.Stored == 1) << Row.Field << " = " << int(Row.Value);
        EXPECT_EQ(Main->GetRadioChecked(Row.False), Row.Stored == 0) << Row.Field << " = " << int(Row.Value);
        Main->FormToSettings();
        EXPECT_EQ(FieldByte(Settings, Field(Row.Field)), Row.Stored) << Row.Field;
    }
}

TEST_F(Binding, ListIndexesOutsideTheListComeBackAsMinusOne)
{
    struct TRow {
        const char *Field;
        const char *Combo;
        int32_t Value, Shown;
    } Rows[] = {{"DeviceVersion", "ComboBox1", 1, 1}, {"DeviceVersion", "ComboBox1", 2, -1},
                {"PhoneModel", "ComboBox2", 2, 2},    {"PhoneModel", "ComboBox2", -7, -1},
                {"PhoneModel", "ComboBox2", 0, 0}};
    for (const TRow &Row : Rows) {
        SetFieldInt(Settings, Field(Row.Field), Row.Value);
        Main->SettingsToForm();
        EXPECT_EQ(Get<QComboBox>(Row.Combo)->currentIndex(), Row.Shown) << Row.Field << " = " << Row.Value;
        Main->FormToSettings();
        EXPECT_EQ(FieldInt(Settings, Field(Row.Field)), Row.Shown) << Row.Field;
    }
}

// ---- numbers

TEST_F(Binding, NumbersAreLimitedByTheirSpinEdits)
{
    struct TRow {
        const char *Field;
        int Spin;
        int32_t Value, Shown;
    } Rows[] = {
        {"Outputs[1].Actions[1].AutoRevertTime", 9, 0, 1}, {"Outputs[2].Actions[2].AutoRevertTime", 12, 256, 255},
        {"TestPeriod", 13, 43, 42},                         {"TestPeriod", 13, 42, 42},
        {"SmsPduType", 28, -5, 0},                          {"SmsDcs", 33, 0, 0},
        {"Inputs[8].DelayTime", 8, 1000000, 255},           {"GpsUsers[3].AutoSendPeriod", 23, -2147483647 - 1, 1},
    };
    for (const TRow &Row : Rows) {
        SetFieldInt(Settings, Field(Row.Field), Row.Value);
        Main->SettingsToForm();
        EXPECT_EQ(Main->GetSpinValue(Row.Spin), Row.Shown) << Row.Field << " = " << Row.Value;
        Main->FormToSettings();
        EXPECT_EQ(FieldInt(Settings, Field(Row.Field)), Row.Shown) << Row.Field;
    }
}

TEST_F(Binding, SpinTextThatIsNoIntegerReadsAsTheMinimum)
{
    struct TRow {
        const char *Spin;
        const char *Text;
        int32_t Read;
    } Rows[] = {{"SpinEdit28", "", 0}, {"SpinEdit1", "", 1}, {"SpinEdit1", "1,5", 1}, {"SpinEdit1", "1.5", 1},
                {"SpinEdit13", "-", 1}, {"SpinEdit14", "77", 77}};
    for (const TRow &Row : Rows) {
        auto *Line = Get<TSpinEdit>(Row.Spin)->findChild<QLineEdit *>();
        ASSERT_NE(Line, nullptr);
        Line->setText(QString::fromUtf8(Row.Text));
        EXPECT_EQ(Get<TSpinEdit>(Row.Spin)->Value(), Row.Read) << Row.Spin << " \"" << Row.Text << "\"";
    }
    Get<TSpinEdit>("SpinEdit1")->findChild<QLineEdit *>()->setText("");
    Main->FormToSettings();
    EXPECT_EQ(Settings.Inputs[1].DelayTime, 1);
}

// ---- reaction pairs

TEST_F(Binding, ReactionPairsBothWays)
{
    struct TRow {
        const char *Field;
        int Sms, Ring;
    } Pairs[] = {{"Inputs[1].Users[1].Functions[1].Reaction", 113, 114},
                 {"Inputs[8].Users[3].Functions[2].Reaction", 207, 208},
                 {"Outputs[2].Actions[2].Notify[3].Reaction", 231, 232},
                 {"ArmNotify[3].Reaction", 237, 238},
                 {"TestNotify[1].Reaction", 245, 246}};
    for (const TRow &Pair : Pairs) {
        const TFieldDesc &F = Field(Pair.Field);
        for (int32_t Value = 0; Value <= 3; ++Value) {
            SetFieldInt(Settings, F, Value);
            Main->SettingsToForm();
            EXPECT_EQ(Main->GetCheckBoxChecked(Pair.Sms), (Value & 2) != 0) << Pair.Field << " = " << Value;
            EXPECT_EQ(Main->GetCheckBoxChecked(Pair.Ring), (Value & 1) != 0) << Pair.Field << " = " << Value;
        }
        const bool Boxes[4][2] = {{false, false}, {false, true}, {true, false}, {true, true}};
        for (int32_t Expected = 0; Expected <= 3; ++Expected) {
            Main->SetCheckBoxChecked(Pair.Sms, Boxes[Expected][0]);
            Main->SetCheckBoxChecked(Pair.Ring, Boxes[Expected][1]);
            Main->FormToSettings();
            EXPECT_EQ(FieldInt(Settings, F), Expected) << Pair.Field;
        }
    }
    // Only the lowest byte counts on the way to the window.
    SetFieldInt(Settings, Field("ArmNotify[3].Reaction"), 0x106);
    Main->SettingsToForm();
    EXPECT_TRUE(Main->GetCheckBoxChecked(237));
    EXPECT_FALSE(Main->GetCheckBoxChecked(238));
    Main->FormToSettings();
    EXPECT_EQ(Settings.ArmNotify[3].Reaction, 2);
}

// ---- hidden controls, identifiers, presets

TEST_F(Binding, HiddenControlsTravelBothWays)
{
    for (uint8_t Value : {uint8_t(0), uint8_t(1)}) {
        Settings.RingOutHangUpOnAnswer = Value;
        Settings.GpsReplyToAnyRing = Value;
        Settings.GpsReplyToAnySms = static_cast<uint8_t>(1 - Value);
        Settings.GpsReplySmsCode.Assign(Value ? "GPS1" : "ab");
        Main->SettingsToForm();
        EXPECT_EQ(Main->GetRadioChecked(539), Value == 1);
        EXPECT_EQ(Main->GetRadioChecked(540), Value == 0);
        EXPECT_EQ(Main->GetCheckBoxChecked(91), Value == 1);
        EXPECT_EQ(Main->GetCheckBoxChecked(92), Value == 0);
        EXPECT_EQ(Main->GetEditText(98), Value ? "GPS1" : "ab");

        Main->SetRadioChecked(Value ? 540 : 539, true);
        Main->SetCheckBoxChecked(91, Value == 0);
        Main->SetCheckBoxChecked(92, Value == 1);
        Main->SetEditText(98, "Q9");
        Main->FormToSettings();
        EXPECT_EQ(Settings.RingOutHangUpOnAnswer, 1 - Value);
        EXPECT_EQ(Settings.GpsReplyToAnyRing, 1 - Value);
        EXPECT_EQ(Settings.GpsReplyToAnySms, Value);
        EXPECT_EQ(Settings.GpsReplySmsCode.Str(), "Q9");
    }
}

const std::vector<int> UserPages[3] = {
    {24, 33, 42, 51, 60, 69, 78, 87, 98, 101, 104, 107, 110, 113, 116, 119},
    {25, 36, 45, 54, 63, 72, 81, 90, 99, 102, 105, 108, 111, 114, 117, 120},
    {26, 39, 48, 57, 66, 75, 84, 93, 100, 103, 106, 109, 112, 115, 118, 121},
};

TEST_F(Binding, IdentifiersRetitleTheirUsersPages)
{
    auto Captions = [&](int User) {
        std::vector<QString> Result;
        for (int Page : UserPages[User - 1])
            Result.push_back(PageCaption(Get<QWidget>("TabSheet" + std::to_string(Page))));
        return Result;
    };
    const std::vector<QString> User1Before = Captions(1);
    const std::vector<QString> User3Before = Captions(3);

    QLineEdit *Edit6 = Get<QLineEdit>("Edit6");
    Edit6->clear();
    Edit6->setFocus();
    const QString Typed = QString::fromUtf8("Ala 2");
    for (int I = 0; I < Typed.size(); ++I) {
        QTest::keyClicks(Edit6, Typed.mid(I, 1));
        EXPECT_EQ(Captions(2), std::vector<QString>(16, Typed.left(I + 1))) << "after keystroke " << I + 1;
    }
    Edit6->setText(QString::fromUtf8("Żaneta"));
    EXPECT_EQ(Captions(2), std::vector<QString>(16, QString::fromUtf8("Żaneta")));
    Edit6->clear();
    EXPECT_EQ(Captions(2), std::vector<QString>(16, QString()));
    EXPECT_EQ(Captions(1), User1Before);
    EXPECT_EQ(Captions(3), User3Before);

    // The copy into the window retitles too; the record waits for FormToSettings.
    Settings.Users[1].Identifier.Assign("Jan");
    Main->SettingsToForm();
    EXPECT_EQ(Captions(1), std::vector<QString>(16, "Jan"));
    Main->SetEditText(3, "Ola");
    EXPECT_EQ(Settings.Users[1].Identifier.Str(), "Jan");
    EXPECT_EQ(Captions(1), std::vector<QString>(16, "Ola"));
}

TEST_F(Binding, PresetsPutTheirNumberIntoEdit2)
{
    struct TRow {
        const char *Button;
        const char *Number;
    } Rows[] = {{"Button5", "+48602951111"}, {"Button6", "+48601000310"}, {"Button7", "+48501200777"}};
    for (const TRow &Row : Rows) {
        Settings.SmsCentreNumber.Assign("0");
        Get<QPushButton>(Row.Button)->click();
        EXPECT_EQ(Main->GetEditText(2), Row.Number);
        EXPECT_EQ(Settings.SmsCentreNumber.Str(), "0");
        Main->FormToSettings();
        EXPECT_EQ(Settings.SmsCentreNumber.Str(), Row.Number);
    }
}

// ---- what a user types

TEST_F(Binding, TypingIsHeldToTheLimits)
{
    Main->show();
    Main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main));
    struct TEditRow {
        const char *Edit;
        int MaxLength;
    } Edits[] = {{"Edit1", 4}, {"Edit108", 4}, {"Edit69", 4}, {"Edit12", 160}, {"Edit13", 160}};
    for (const TEditRow &Row : Edits) {
        QLineEdit *Edit = Get<QLineEdit>(Row.Edit);
        Edit->clear();
        Edit->setFocus();
        QTest::keyClicks(Edit, QString(Row.MaxLength + 1, QChar('7')));
        EXPECT_EQ(Edit->text().size(), Row.MaxLength) << Row.Edit;
    }

    struct TSpinRow {
        const char *Spin;
        const char *Typed;
        int32_t Left;
    } Spins[] = {{"SpinEdit1", "0", 1}, {"SpinEdit1", "300", 255}, {"SpinEdit14", "1x7", 17},
                 {"SpinEdit28", "0", 0}, {"SpinEdit13", "99", 42}};
    for (const TSpinRow &Row : Spins) {
        TSpinEdit *Spin = Get<TSpinEdit>(Row.Spin);
        QLineEdit *Line = Spin->findChild<QLineEdit *>();
        ASSERT_NE(Line, nullptr);
        Spin->setFocus();
        Line->selectAll();
        QTest::keyClick(Line, Qt::Key_Delete);
        QTest::keyClicks(Spin, Row.Typed);
        Get<QLineEdit>("Edit1")->setFocus(); // focus elsewhere
        QApplication::processEvents();
        EXPECT_EQ(Spin->Value(), Row.Left) << Row.Spin << " typed " << Row.Typed;
    }
}

// ---- names

TEST_F(Binding, EveryComposedNameExistsOnceWithItsKind)
{
    std::map<std::string, int> Seen;
    for (QObject *Component : Main->Form().Components())
        ++Seen[Component->objectName().toStdString()];

    std::vector<std::pair<std::string, const char *>> Names; // name, class
    auto Add = [&](const char *Kind, int N, const char *Class) {
        Names.emplace_back(Kind + std::to_string(N), Class);
    };
    std::set<std::string> Bound;
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Text: Add("Edit", F.Control, "QLineEdit"); break;
        case TFieldKind::Flag: Add("CheckBox", F.Control, "QCheckBox"); break;
        case TFieldKind::RadioGroup:
            for (int K = 0; K < F.RadioCount; ++K)
                Add("RadioButton", F.Control + K, "QRadioButton");
            break;
        case TFieldKind::RadioPair:
            Add("RadioButton", F.Control, "QRadioButton");
            Add("RadioButton", F.Control2, "QRadioButton");
            break;
        case TFieldKind::Reaction:
            Add("CheckBox", F.Control, "QCheckBox");
            Add("CheckBox", F.Control2, "QCheckBox");
            break;
        case TFieldKind::Number: Add("SpinEdit", F.Control, "TSpinEdit"); break;
        case TFieldKind::List: Add("ComboBox", F.Control, "QComboBox"); break;
        }
    }
    for (const std::vector<int> &Pages : UserPages)
        for (int Page : Pages)
            Add("TabSheet", Page, "QWidget");

    std::map<std::string, int> PerKind;
    for (const auto &[Name, Class] : Names) {
        EXPECT_EQ(Seen[Name], 1) << Name;
        QObject *Found = Main->FindControl(Name);
        ASSERT_NE(Found, nullptr) << Name;
        EXPECT_TRUE(Found->inherits(Class)) << Name << " is a " << Found->metaObject()->className();
        if (Bound.insert(Name).second)
            ++PerKind[Name.substr(0, Name.find_first_of("0123456789"))];
    }
    EXPECT_EQ(PerKind["Edit"], 109);
    EXPECT_EQ(PerKind["CheckBox"], 250);
    EXPECT_EQ(PerKind["RadioButton"], 339);
    EXPECT_EQ(PerKind["SpinEdit"], 35);
    EXPECT_EQ(PerKind["TabSheet"], 48);
    EXPECT_EQ(Main->FindControl("edit1"), nullptr);
    EXPECT_EQ(Main->FindControl("Edit01"), nullptr);
}

// ---- round trip

// Characters an edit shows as they are.
const std::string Printable = [] {
    std::string Chars;
    for (int C = 0x20; C < 0x7F; ++C)
        Chars += static_cast<char>(C);
    Chars += "\xA5\xB9\xC6\xE6\xCA\xEA\xA3\xB3\xD1\xF1\xD3\xF3\x8C\x9C\x8F\x9F\xAF\xBF\x80\xDF\xE4\xFC";
    return Chars;
}();

TEST_F(Binding, RandomRecordsSurviveTheRoundTrip)
{
    std::mt19937 Random(20261208);
    auto Below = [&](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
    for (int Round = 0; Round < 25; ++Round) {
        // Gaps and tails get any bytes; what the window shows only values it can show.
        for (size_t I = 0; I < SettingsSize; ++I)
            reinterpret_cast<uint8_t *>(&Settings)[I] = static_cast<uint8_t>(Random());
        for (const TFieldDesc &F : SettingsFields()) {
            switch (F.Kind) {
            case TFieldKind::Text: {
                uint8_t *Bytes = FieldBytes(Settings, F);
                const int Length = Below(F.Capacity + 1);
                Bytes[0] = static_cast<uint8_t>(Length);
                for (int I = 0; I < Length; ++I)
                    Bytes[1 + I] = static_cast<uint8_t>(Printable[static_cast<size_t>(Below(int(Printable.size())))]);
                break;
            }
            case TFieldKind::Flag:
            case TFieldKind::RadioPair: SetFieldByte(Settings, F, static_cast<uint8_t>(Below(2))); break;
            case TFieldKind::RadioGroup: SetFieldInt(Settings, F, F.FirstOrdinal + Below(F.RadioCount)); break;
            case TFieldKind::Reaction: SetFieldInt(Settings, F, Below(4)); break;
            case TFieldKind::Number: {
                const TSpinEdit *Spin = Get<TSpinEdit>("SpinEdit" + std::to_string(F.Control));
                SetFieldInt(Settings, F, Spin->MinValue() + Below(Spin->MaxValue() - Spin->MinValue() + 1));
                break;
            }
            case TFieldKind::List: {
                const QComboBox *Combo = Get<QComboBox>("ComboBox" + std::to_string(F.Control));
                SetFieldInt(Settings, F, Below(Combo->count()));
                break;
            }
            }
        }
        const TSettings Before = Settings;
        Main->SettingsToForm();
        Main->FormToSettings();
        if (std::memcmp(&Before, &Settings, SettingsSize) != 0) {
            for (size_t I = 0; I < SettingsSize; ++I)
                if (reinterpret_cast<const uint8_t *>(&Before)[I] != reinterpret_cast<const uint8_t *>(&Settings)[I]) {
                    ADD_FAILURE() << "round " << Round << ": first difference at offset " << I;
                    break;
                }
            return;
        }
    }
}

} // namespace
