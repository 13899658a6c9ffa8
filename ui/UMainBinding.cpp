#include "UMain.h"
#include "UMainTexts.h"

#include "Cp1250.h"
#include "UDecls.h"
#include "UFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int MaxTextLength = 255;

// The 16 pages of each user, in the order they are retitled.
constexpr int UserPages[UserCount][16] = {
    {24, 33, 42, 51, 60, 69, 78, 87, 98, 101, 104, 107, 110, 113, 116, 119},
    {25, 36, 45, 54, 63, 72, 81, 90, 99, 102, 105, 108, 111, 114, 117, 120},
    {26, 39, 48, 57, 66, 75, 84, 93, 100, 103, 106, 109, 112, 115, 118, 121},
};

// Every composed name exists in a correct build; a missing one is a bug.
template <typename T>
T *Composed(const TFMain &Window, const char *Kind, int N)
{
    const std::string Name = Kind + std::to_string(N);
    T *Control = qobject_cast<T *>(Window.FindControl(Name));
    if (Control == nullptr) {
        std::fprintf(stderr, "The window has no control %s of the expected kind\n", Name.c_str());
        std::abort();
    }
    return Control;
}

QString RecordText(const TFieldDesc &F)
{
    return QString::fromStdString(Cp1250ToUtf8(FieldText(Settings, F)));
}

// Lengths count characters: every character becomes one byte or '?'.
std::string WindowText(const QString &Text)
{
    std::string Bytes = Utf8ToCp1250(Text.toStdString());
    if (Bytes.size() > static_cast<size_t>(MaxTextLength))
        Bytes.resize(MaxTextLength);
    return Bytes;
}

} // namespace

void TFMain::SetTabCaption(int N, const QString &Text)
{
    SetPageCaption(Composed<QWidget>(*this, "TabSheet", N), Text);
}

void TFMain::SetEditText(int N, const QString &Value)
{
    Composed<QLineEdit>(*this, "Edit", N)->setText(Value);
}

QString TFMain::GetEditText(int N) const
{
    return Composed<QLineEdit>(*this, "Edit", N)->text();
}

void TFMain::SetRadioChecked(int N, bool Checked)
{
    QRadioButton *Radio = Composed<QRadioButton>(*this, "RadioButton", N);
    if (Checked || !Radio->isChecked()) {
        Radio->setChecked(Checked);
        return;
    }
    // An exclusive group refuses to clear its checked button; a value that
    // matches no ordinal has to leave the whole group unchecked.
    Radio->setAutoExclusive(false);
    Radio->setChecked(false);
    Radio->setAutoExclusive(true);
}

bool TFMain::GetRadioChecked(int N) const
{
    return Composed<QRadioButton>(*this, "RadioButton", N)->isChecked();
}

void TFMain::SetCheckBoxChecked(int N, bool Checked)
{
    Composed<QCheckBox>(*this, "CheckBox", N)->setChecked(Checked);
}

bool TFMain::GetCheckBoxChecked(int N) const
{
    return Composed<QCheckBox>(*this, "CheckBox", N)->isChecked();
}

void TFMain::SetSpinValue(int N, int32_t Value)
{
    Composed<TSpinEdit>(*this, "SpinEdit", N)->SetValue(Value);
}

int32_t TFMain::GetSpinValue(int N) const
{
    return Composed<TSpinEdit>(*this, "SpinEdit", N)->Value();
}

void TFMain::SettingsToForm()
{
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Text:
            if (F.Direct)
                Edit108->setText(RecordText(F));
            else
                SetEditText(F.Control, RecordText(F));
            break;
        case TFieldKind::Flag:
            SetCheckBoxChecked(F.Control, FieldByte(Settings, F) != 0);
            break;
        case TFieldKind::RadioGroup: {
            const int32_t Value = FieldInt(Settings, F);
            for (int K = 0; K < F.RadioCount; ++K)
                SetRadioChecked(F.Control + K, Value == F.FirstOrdinal + K);
            break;
        }
        case TFieldKind::RadioPair: {
            // A foreign byte other than 0 or 1 shows as true, as a check box would.
            const bool Value = FieldByte(Settings, F) != 0;
            SetRadioChecked(F.Control, Value);
            SetRadioChecked(F.Control2, !Value);
            break;
        }
        case TFieldKind::Reaction: {
            const int32_t Low = FieldInt(Settings, F) & 0xFF;
            SetCheckBoxChecked(F.Control, (Low & ReactionSms) != 0);
            SetCheckBoxChecked(F.Control2, (Low & ReactionRing) != 0);
            break;
        }
        case TFieldKind::Number:
            SetSpinValue(F.Control, FieldInt(Settings, F));
            break;
        case TFieldKind::List: {
            QComboBox *Combo = F.Control == 1 ? ComboBox1 : ComboBox2;
            const int32_t Index = FieldInt(Settings, F);
            Combo->setCurrentIndex(Index >= 0 && Index < Combo->count() ? Index : -1);
            break;
        }
        }
    }
}

void TFMain::FormToSettings()
{
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Text:
            SetFieldText(Settings, F, WindowText(F.Direct ? Edit108->text() : GetEditText(F.Control)));
            break;
        case TFieldKind::Flag:
            SetFieldByte(Settings, F, GetCheckBoxChecked(F.Control) ? 1 : 0);
            break;
        case TFieldKind::RadioGroup:
            for (int K = 0; K < F.RadioCount; ++K)
                if (GetRadioChecked(F.Control + K))
                    SetFieldInt(Settings, F, F.FirstOrdinal + K);
            break;
        case TFieldKind::RadioPair:
            SetFieldByte(Settings, F, GetRadioChecked(F.Control) ? 1 : 0);
            break;
        case TFieldKind::Reaction: {
            int32_t Value = 0;
            if (GetCheckBoxChecked(F.Control))
                Value += ReactionSms;
            if (GetCheckBoxChecked(F.Control2))
                Value += ReactionRing;
            SetFieldInt(Settings, F, Value);
            break;
        }
        case TFieldKind::Number:
            SetFieldInt(Settings, F, GetSpinValue(F.Control));
            break;
        case TFieldKind::List:
            SetFieldInt(Settings, F, (F.Control == 1 ? ComboBox1 : ComboBox2)->currentIndex());
            break;
        }
    }
}

void TFMain::RetitleUser(int User, int IdentifierEdit)
{
    const QString Caption = GetEditText(IdentifierEdit).left(MaxTextLength);
    for (int Page : UserPages[User - 1])
        SetTabCaption(Page, Caption);
}

void TFMain::Edit3Change()
{
    RetitleUser(1, 3);
}

void TFMain::Edit6Change()
{
    RetitleUser(2, 6);
}

void TFMain::Edit9Change()
{
    RetitleUser(3, 9);
}

void TFMain::Button5Click()
{
    SetEditText(2, QString::fromUtf8(PresetEra));
}

void TFMain::Button6Click()
{
    SetEditText(2, QString::fromUtf8(PresetPlus));
}

void TFMain::Button7Click()
{
    SetEditText(2, QString::fromUtf8(PresetIdea));
}
