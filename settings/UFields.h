// One description of every field of the settings record that the window
// shows: its name, kind, place in the record and the control(s) that edit it.
// The window's binding, the CLI's dump and diff and the tests all walk this
// table instead of listing the fields again.
#pragma once

#include "UDecls.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TFieldKind : uint8_t {
    Text,       // short string      <-> Edit(Control)
    Flag,       // flag              <-> CheckBox(Control)
    RadioGroup, // integer ordinal   <-> RadioButton(Control) .. RadioButton(Control + RadioCount - 1)
    RadioPair,  // flag              <-> true RadioButton(Control), false RadioButton(Control2)
    Reaction,   // reaction bit set  <-> SMS CheckBox(Control), RING CheckBox(Control2)
    Number,     // integer           <-> SpinEdit(Control)
    List,       // integer item index<-> ComboBox(Control)
};

struct TFieldDesc {
    std::string Name;  // "Inputs[3].Users[2].Functions[1].SmsText", numbered from 1
    TFieldKind Kind;
    uint32_t Offset;   // into TSettings
    int Capacity;      // Text: N of the short string; otherwise 0
    int Control;       // see TFieldKind
    int Control2;      // RadioPair false radio, Reaction RING box; otherwise 0
    int RadioCount;    // RadioGroup only
    int FirstOrdinal;  // RadioGroup only: ordinal of RadioButton(Control)
    bool Direct;       // reached as a field of the window, not by a composed name
    // What the control allows, for every kind but Text: the spin edit's range,
    // 0..items-1 of a list, a radio group's ordinals, 0..1 of a flag or radio
    // pair, 0..3 of a reaction bit set. The form's spin edits, the image
    // check and the units table all read it here.
    int32_t Min;
    int32_t Max;
};

// Every field in the order in which the window is filled (SettingsToForm).
const std::vector<TFieldDesc> &SettingsFields();
// The same fields in record order, as dump and diff list them.
const std::vector<const TFieldDesc *> &FieldsInRecordOrder();
// The field of that name ("Inputs[3].Users[2].Functions[1].SmsText"), or nullptr.
const TFieldDesc *FieldByName(std::string_view Name);
// The field bound to the control of that kind and number (Control, not
// Control2), or nullptr: FieldOfControl(TFieldKind::Number, 13) is TestPeriod.
const TFieldDesc *FieldOfControl(TFieldKind Kind, int Control);

// Kind word of the control(s) of a field: "Edit", "CheckBox", "RadioButton", "SpinEdit", "ComboBox".
const char *ControlKindWord(TFieldKind Kind);

// Raw access to a field of a record through its description.
int32_t FieldInt(const TSettings &S, const TFieldDesc &F);  // Number, RadioGroup, Reaction, List
void SetFieldInt(TSettings &S, const TFieldDesc &F, int32_t Value);
uint8_t FieldByte(const TSettings &S, const TFieldDesc &F); // Flag, RadioPair
void SetFieldByte(TSettings &S, const TFieldDesc &F, uint8_t Value);
// Text fields: the characters that count (Windows-1250), at most Capacity.
std::string FieldText(const TSettings &S, const TFieldDesc &F);
std::string_view FieldChars(const TSettings &S, const TFieldDesc &F); // the same, in place
// Keeps the first Capacity bytes of Value; the old tail stays.
void SetFieldText(TSettings &S, const TFieldDesc &F, std::string_view Value);

// True when A and B hold the same value of F: raw bytes for texts, so that
// two texts that print alike but differ in bytes still differ.
bool SameFieldValue(const TSettings &A, const TSettings &B, const TFieldDesc &F);

// The value as one line of text: integers in decimal, texts quoted in UTF-8
// with \" and \\ escaped, control characters as \xHH.
std::string FieldValueText(const TSettings &S, const TFieldDesc &F);
// Any UTF-8 text the same way, for messages: the C1 controls, which a
// terminal may obey, as \u00HH too.
std::string QuotedUtf8(std::string_view Utf8);

// A value given as text, as a spreadsheet cell shows it: a text field takes
// the text as it stands (UTF-8, stored in Windows-1250), every other field a
// decimal integer within its control's range (blanks around it allowed).
struct TFieldValue {
    int32_t Number = 0;
    std::string Chars; // Text: Windows-1250
};

enum class TValueError : uint8_t {
    None,
    NotANumber, // not a decimal integer
    OutOfRange, // outside Min..Max
    TooLong,    // more characters than the field holds (or MaxChars)
    NotCp1250,  // a character Windows-1250 lacks, or a malformed UTF-8 sequence
};

// MaxChars, when not 0, limits a text below its capacity (an SMS text that
// must fit its slot of the device image).
TValueError FieldValueFromText(const TFieldDesc &F, std::string_view Utf8, TFieldValue &Value, int MaxChars = 0);
// Why Utf8 is no value of F, in Polish: "300 poza zakresem 1..255".
std::string ValueErrorText(const TFieldDesc &F, std::string_view Utf8, TValueError Error, int MaxChars = 0);
// Stores a value that FieldValueFromText accepted.
void SetFieldValue(TSettings &S, const TFieldDesc &F, const TFieldValue &Value);

// "1 kod", "3 kody", "5 kodów", "22 kody": a count with the Polish noun form it takes.
std::string CountedNoun(size_t N, const char *One, const char *Few, const char *Many);
