// The main window's component tree, built from one declaration: kinds,
// names, captions, limits, design-time values and handler names. TFMain
// (UMain) owns one TForm and reaches every control through FindControl or,
// for values, through the accessors that do not make a page.
//
// Kinds and their Qt classes:
//   PageControl QTabWidget       TabSheet  QWidget (a page of its QTabWidget)
//   GroupBox    QGroupBox        Label     QLabel
//   Edit        QLineEdit        CheckBox  QCheckBox
//   RadioButton QRadioButton     SpinEdit  TSpinEdit
//   ComboBox    QComboBox        Button    QPushButton
//   ProgressBar QProgressBar     Memo      QPlainTextEdit
//   StatusBar   QStatusBar       Timer     QTimer
// Every object carries its name as objectName().
#pragma once

#include <QAbstractSpinBox>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QAbstractButton;
class QLabel;
class QObject;
class QWidget;

// Integer field with arrows, step 1. Only digits, the signs and the decimal
// separator can be typed, at most 3 characters. An integer outside the
// range is brought to the nearer bound when set and when the field loses
// the focus; a text that is no integer stays as typed and reads as the minimum.
class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    TSpinEdit(int32_t MinValue, int32_t MaxValue, int32_t Value, QWidget *Parent);

    int32_t MinValue() const { return Min; }
    int32_t MaxValue() const { return Max; }
    int32_t Value() const;
    void SetValue(int32_t NewValue);

    void stepBy(int Steps) override;
    QValidator::State validate(QString &Input, int &Pos) const override;
    void fixup(QString &Input) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent *Event) override;

private:
    int32_t Min;
    int32_t Max;
};

// Caption of a page, kept by its tab set.
void SetPageCaption(QWidget *Page, const QString &Caption);
QString PageCaption(const QWidget *Page);

// Ticks or selects a check box or radio button. Unlike setChecked, it can
// also clear the selected option of a radio group, leaving the group empty
// (the binding shows an out-of-range ordinal that way).
void SetButtonChecked(QAbstractButton *Button, bool Checked);

using THandler = std::function<void()>;

struct TFormData;

class TForm {
public:
    // Builds the declared tree into Client, the window's 503 x 508 client
    // area (the status bar included), and gives Client its fixed size and
    // font. Every handler that the declaration names ("Button1Click",
    // "Edit3Change", "Timer1Timer", ...) must be in Handlers.
    //
    // The controls on the pages of the client area's tab set are made when
    // their page is first shown or one of them is first looked up; until then
    // the state accessors below keep what each control would hold.
    TForm(QWidget *Client, const std::unordered_map<std::string, THandler> &Handlers);
    ~TForm();
    TForm(const TForm &) = delete;
    TForm &operator=(const TForm &) = delete;

    // Exact, case-sensitive lookup in an index built once; nullptr when
    // absent. A control that is not made yet is made with its page.
    QObject *FindControl(std::string_view Name) const;

    template <typename T>
    T *Control(std::string_view Name) const
    {
        return qobject_cast<T *>(FindControl(Name));
    }

    // Every named component in declaration order; makes every page.
    const std::vector<QObject *> &Components() const;
    // Whether the component exists yet.
    bool Made(std::string_view Name) const;

    // The state of a control by name, made or not; a name of another kind
    // is a bug and ends the program. SetChecked can also clear the selected
    // option of a radio group (see SetButtonChecked). A change of an edit's
    // text runs its change handler either way.
    QString EditText(std::string_view Name) const;
    void SetEditText(std::string_view Name, const QString &Text);
    bool Checked(std::string_view Name) const;
    void SetChecked(std::string_view Name, bool Checked);
    int32_t SpinValue(std::string_view Name) const;
    void SetSpinValue(std::string_view Name, int32_t Value);
    int ItemIndex(std::string_view Name) const;
    void SetItemIndex(std::string_view Name, int Index);
    QString TabCaption(std::string_view Name) const;
    void SetTabCaption(std::string_view Name, const QString &Caption);

    // Every tab set that exists back to its first page (the others start there).
    void ShowFirstPages();

    // Panel 0 of StatusBar1 (250 pixels wide).
    void SetStatusText(const QString &Text);
    QString StatusText() const;

private:
    std::shared_ptr<TFormData> D;
};
