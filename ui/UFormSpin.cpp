#include "UForm.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

constexpr int MaxTyped = 3;

bool Typeable(QChar C)
{
    return C.isDigit() || C == u'+' || C == u'-' || C == u',' || C == u'.';
}

// A decimal integer with an optional sign and nothing else.
std::optional<int64_t> ParseInteger(const QString &Text)
{
    qsizetype At = 0;
    bool Negative = false;
    if (At < Text.size() && (Text[At] == u'+' || Text[At] == u'-'))
        Negative = Text[At++] == u'-';
    if (At == Text.size())
        return std::nullopt;
    int64_t Value = 0;
    for (; At < Text.size(); ++At) {
        const QChar C = Text[At];
        if (C < u'0' || C > u'9' || Value > (int64_t(1) << 40))
            return std::nullopt;
        Value = Value * 10 + (C.unicode() - u'0');
    }
    return Negative ? -Value : Value;
}

} // namespace

TSpinEdit::TSpinEdit(int32_t MinValue, int32_t MaxValue, int32_t Value, QWidget *Parent)
    : QAbstractSpinBox(Parent), Min(MinValue), Max(MaxValue)
{
    lineEdit()->setMaxLength(MaxTyped);
    SetValue(Value);
}

int32_t TSpinEdit::Value() const
{
    const std::optional<int64_t> Parsed = ParseInteger(text());
    if (!Parsed || *Parsed < INT32_MIN || *Parsed > INT32_MAX)
        return Min;
    return static_cast<int32_t>(*Parsed);
}

void TSpinEdit::SetValue(int32_t NewValue)
{
    if (Min != Max)
        NewValue = std::clamp(NewValue, Min, Max);
    lineEdit()->setText(QString::number(NewValue));
}

void TSpinEdit::stepBy(int Steps)
{
    const int64_t Next = int64_t(Value()) + Steps;
    SetValue(static_cast<int32_t>(std::clamp<int64_t>(Next, INT32_MIN, INT32_MAX)));
    selectAll();
}

QValidator::State TSpinEdit::validate(QString &Input, int &) const
{
    if (Input.size() > MaxTyped)
        return QValidator::Invalid;
    for (const QChar C : Input)
        if (!Typeable(C))
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString &) const
{
    // A text that is no integer stays as typed; Value reads it as the minimum.
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent *Event)
{
    if (const std::optional<int64_t> Parsed = ParseInteger(text()); Parsed && Min != Max) {
        if (*Parsed < Min)
            SetValue(Min);
        else if (*Parsed > Max)
            SetValue(Max);
    }
    QAbstractSpinBox::focusOutEvent(Event);
}

QSize TSpinEdit::sizeHint() const
{
    ensurePolished();
    const QFontMetrics Metrics(font());
    // Room for three digits and the cursor.
    const QSize Content(Metrics.horizontalAdvance(QStringLiteral("888")) + 8, lineEdit()->sizeHint().height());
    QStyleOptionSpinBox Option;
    initStyleOption(&Option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &Option, Content, this);
}
