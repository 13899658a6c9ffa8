// The state of controls by name, whether their page is made yet or not. A
// control that is not made keeps what the widget would hold after the same
// calls: an edit cuts its text to its maximum length, a spin edit brings a
// value to its range, a combo box takes -1 for an index outside its items,
// selecting a radio button clears the others of its parent.
#include "UForm.h"
#include "UFormData.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

TFormEntry &Need(TFormData &D, std::string_view Name, std::initializer_list<TNodeKind> Kinds)
{
    const auto Found = D.Index.find(std::string(Name));
    if (Found != D.Index.end()) {
        TFormEntry &E = D.Entries[Found->second];
        if (std::find(Kinds.begin(), Kinds.end(), E.Node->Kind) != Kinds.end())
            return E;
    }
    // Every name the window composes exists in a correct build; a missing one is a bug.
    std::fprintf(stderr, "The window has no control %.*s of the expected kind\n", int(Name.size()), Name.data());
    std::abort();
}

int32_t SpinInRange(const TNode &Node, int32_t Value)
{
    return Node.Min != Node.Max ? std::clamp(Value, Node.Min, Node.Max) : Value;
}

int ComboIndex(const TNode &Node, int Index)
{
    return Index >= 0 && Index < int(Node.Items.size()) ? Index : -1;
}

void SetPendingChecked(TFormData &D, TFormEntry &E, bool Checked)
{
    if (E.State.Checked == Checked)
        return;
    if (Checked && E.Node->Kind == TNodeKind::RadioButton)
        for (int Other : D.RadioGroups[E.Parent])
            D.Entries[Other].State.Checked = false;
    E.State.Checked = Checked;
}

} // namespace

void InitPendingState(TFormData &D, int At)
{
    TFormEntry &E = D.Entries[At];
    const TNode &Node = *E.Node;
    switch (Node.Kind) {
    case TNodeKind::Edit:
        E.State.Text = QString::fromStdString(Node.Caption).left(Node.MaxLength);
        break;
    case TNodeKind::TabSheet: E.State.Text = QString::fromStdString(Node.Caption); break;
    case TNodeKind::CheckBox:
    case TNodeKind::RadioButton: SetPendingChecked(D, E, Node.Checked); break;
    case TNodeKind::SpinEdit: E.State.Value = SpinInRange(Node, Node.Value); break;
    case TNodeKind::ComboBox: E.State.Value = ComboIndex(Node, Node.Value); break;
    default: break;
    }
}

void ApplyPendingState(TFormEntry &E)
{
    switch (E.Node->Kind) {
    case TNodeKind::Edit: static_cast<QLineEdit *>(E.Object)->setText(E.State.Text); break;
    case TNodeKind::TabSheet: SetPageCaption(static_cast<QWidget *>(E.Object), E.State.Text); break;
    case TNodeKind::CheckBox:
    case TNodeKind::RadioButton: SetButtonChecked(static_cast<QAbstractButton *>(E.Object), E.State.Checked); break;
    case TNodeKind::SpinEdit: static_cast<TSpinEdit *>(E.Object)->SetValue(E.State.Value); break;
    case TNodeKind::ComboBox: static_cast<QComboBox *>(E.Object)->setCurrentIndex(E.State.Value); break;
    default: break;
    }
}

QString TForm::EditText(std::string_view Name) const
{
    const TFormEntry &E = Need(*D, Name, {TNodeKind::Edit});
    return E.Object ? static_cast<QLineEdit *>(E.Object)->text() : E.State.Text;
}

void TForm::SetEditText(std::string_view Name, const QString &Text)
{
    TFormEntry &E = Need(*D, Name, {TNodeKind::Edit});
    if (E.Object) {
        static_cast<QLineEdit *>(E.Object)->setText(Text);
        return;
    }
    QString Kept = Text.left(E.Node->MaxLength);
    if (Kept == E.State.Text)
        return;
    E.State.Text = std::move(Kept);
    if (E.Handler)
        E.Handler();
}

bool TForm::Checked(std::string_view Name) const
{
    const TFormEntry &E = Need(*D, Name, {TNodeKind::CheckBox, TNodeKind::RadioButton});
    return E.Object ? static_cast<QAbstractButton *>(E.Object)->isChecked() : E.State.Checked;
}

void TForm::SetChecked(std::string_view Name, bool Checked)
{
    TFormEntry &E = Need(*D, Name, {TNodeKind::CheckBox, TNodeKind::RadioButton});
    if (E.Object)
        SetButtonChecked(static_cast<QAbstractButton *>(E.Object), Checked);
    else
        SetPendingChecked(*D, E, Checked);
}

int32_t TForm::SpinValue(std::string_view Name) const
{
    const TFormEntry &E = Need(*D, Name, {TNodeKind::SpinEdit});
    return E.Object ? static_cast<TSpinEdit *>(E.Object)->Value() : E.State.Value;
}

void TForm::SetSpinValue(std::string_view Name, int32_t Value)
{
    TFormEntry &E = Need(*D, Name, {TNodeKind::SpinEdit});
    if (E.Object)
        static_cast<TSpinEdit *>(E.Object)->SetValue(Value);
    else
        E.State.Value = SpinInRange(*E.Node, Value);
}

int TForm::ItemIndex(std::string_view Name) const
{
    const TFormEntry &E = Need(*D, Name, {TNodeKind::ComboBox});
    return E.Object ? static_cast<QComboBox *>(E.Object)->currentIndex() : E.State.Value;
}

void TForm::SetItemIndex(std::string_view Name, int Index)
{
    TFormEntry &E = Need(*D, Name, {TNodeKind::ComboBox});
    if (E.Object)
        static_cast<QComboBox *>(E.Object)->setCurrentIndex(ComboIndex(*E.Node, Index));
    else
        E.State.Value = ComboIndex(*E.Node, Index);
}

QString TForm::TabCaption(std::string_view Name) const
{
    const TFormEntry &E = Need(*D, Name, {TNodeKind::TabSheet});
    return E.Object ? PageCaption(static_cast<QWidget *>(E.Object)) : E.State.Text;
}

void TForm::SetTabCaption(std::string_view Name, const QString &Caption)
{
    TFormEntry &E = Need(*D, Name, {TNodeKind::TabSheet});
    if (E.Object)
        SetPageCaption(static_cast<QWidget *>(E.Object), Caption);
    else
        E.State.Text = Caption;
}
