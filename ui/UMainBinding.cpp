#include "UMain.h"
#include "UMainTexts.h"

#include "Cp1250.h"
#include "UDecls.h"
#include "UFields.h"

#include <string>

namespace {

constexpr int MaxTextLength = 255;

// The 16 pages of each user, in the order they are retitled.
constexpr int UserPages[UserCount][16] = {
    {24, 33, 42, 51, 60, 69, 78, 87, 98, 101, 104, 107, 110, 113, 116, 119},
    {25, 36, 45, 54, 63, 72, 81, 90, 99, 102, 105, 108, 111, 114, 117, 120},
    {26, 39, 48, 57, 66, 75, 84, 93, 100, 103, 106, 109, 112, 115, 118, 121},
};

std::string Name(const char *Kind, int N)
{
    return Kind + std::to_string(N);
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
    FormTree->SetTabCaption(Name("TabSheet", N), Text);
}

void TFMain::SetEditText(int N, const QString &Value)
{
    FormTree->SetEditText(Name("Edit", N), Value);
}

QString TFMain::GetEditText(int N) const
{
    return FormTree->EditText(Name("Edit", N));
}

// A value that matches no ordinal leaves the whole group unchecked.
void TFMain::SetRadioChecked(int N, bool Checked)
{
    FormTree->SetChecked(Name("RadioButton", N), Checked);
}

bool TFMain::GetRadioChecked(int N) const
{
    return FormTree->Checked(Name("RadioButton", N));
}

void TFMain::SetCheckBoxChecked(int N, bool Checked)
{
    FormTree->SetChecked(Name("CheckBox", N), Checked);
}

bool TFMain::GetCheckBoxChecked(int N) const
{
    return FormTree->Checked(Name("CheckBox", N));
}

void TFMain::SetSpinValue(int N, int32_t Value)
{
    FormTree->SetSpinValue(Name("SpinEdit", N), Value);
}

int32_t TFMain::GetSpinValue(int N) const
{
    return FormTree->SpinValue(Name("SpinEdit", N));
}

void TFMain::SettingsToForm()
{
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Text:
            if (F.Direct)
                FormTree->SetEditText("Edit108", RecordText(F));
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
        case TFieldKind::List:
            // An index outside the items selects none.
            FormTree->SetItemIndex(Name("ComboBox", F.Control), FieldInt(Settings, F));
            break;
        }
    }
}

void TFMain::FormToSettings()
{
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Text:
            SetFieldText(Settings, F, WindowText(F.Direct ? FormTree->EditText("Edit108") : GetEditText(F.Control)));
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
            SetFieldInt(Settings, F, FormTree->ItemIndex(Name("ComboBox", F.Control)));
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
