#include "UFields.h"

#include "Cp1250.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace {

// Offsets are taken from a model record, so the table cannot drift from the struct.
const TSettings &Model()
{
    static const TSettings S{};
    return S;
}

template <typename T>
uint32_t OffsetOf(const T &Field)
{
    return static_cast<uint32_t>(reinterpret_cast<const uint8_t *>(&Field) -
                                 reinterpret_cast<const uint8_t *>(&Model()));
}

std::string Idx(const char *Name, int N)
{
    return std::string(Name) + "[" + std::to_string(N) + "]";
}

class TBuilder {
public:
    std::vector<TFieldDesc> Fields;

    template <int N>
    void Text(std::string Name, const TShortString<N> &Field, int Edit, bool Direct = false)
    {
        Add(std::move(Name), TFieldKind::Text, OffsetOf(Field), Edit, 0, 0, 0).Capacity = N;
        Fields.back().Direct = Direct;
    }
    void Flag(std::string Name, const uint8_t &Field, int CheckBox)
    {
        Add(std::move(Name), TFieldKind::Flag, OffsetOf(Field), CheckBox, 0, 0, 1);
    }
    void RadioGroup(std::string Name, const int32_t &Field, int FirstRadio, int Count, int FirstOrdinal)
    {
        TFieldDesc &F =
            Add(std::move(Name), TFieldKind::RadioGroup, OffsetOf(Field), FirstRadio, 0, FirstOrdinal, FirstOrdinal + Count - 1);
        F.RadioCount = Count;
        F.FirstOrdinal = FirstOrdinal;
    }
    void RadioPair(std::string Name, const uint8_t &Field, int TrueRadio, int FalseRadio)
    {
        Add(std::move(Name), TFieldKind::RadioPair, OffsetOf(Field), TrueRadio, FalseRadio, 0, 1);
    }
    void Reaction(std::string Name, const int32_t &Field, int SmsBox, int RingBox)
    {
        Add(std::move(Name), TFieldKind::Reaction, OffsetOf(Field), SmsBox, RingBox, 0, ReactionSms | ReactionRing);
    }
    void Number(std::string Name, const int32_t &Field, int Spin, int32_t Min, int32_t Max)
    {
        Add(std::move(Name), TFieldKind::Number, OffsetOf(Field), Spin, 0, Min, Max);
    }
    void List(std::string Name, const int32_t &Field, int Combo, int Items)
    {
        Add(std::move(Name), TFieldKind::List, OffsetOf(Field), Combo, 0, 0, Items - 1).Direct = true;
    }

private:
    TFieldDesc &Add(std::string Name, TFieldKind Kind, uint32_t Offset, int Control, int Control2, int32_t Min,
                    int32_t Max)
    {
        Fields.push_back({std::move(Name), Kind, Offset, 0, Control, Control2, 0, 0, false, Min, Max});
        return Fields.back();
    }
};

std::vector<TFieldDesc> BuildFields()
{
    const TSettings &S = Model();
    TBuilder B;

    B.Text("SimPin", S.SimPin, 1);
    B.Text("SmsCentreNumber", S.SmsCentreNumber, 2);

    for (int u = 1; u <= UserCount; ++u) {
        const std::string P = Idx("Users", u) + ".";
        B.Text(P + "Identifier", S.Users[u].Identifier, 3 * u);
        B.Text(P + "Description", S.Users[u].Description, 3 * u + 1);
        B.Text(P + "PhoneNumber", S.Users[u].PhoneNumber, 3 * u + 2);
    }

    for (int i = 1; i <= InputCount; ++i) {
        const TInputEntry &In = S.Inputs[i];
        const std::string P = Idx("Inputs", i) + ".";
        const int R = 59 * (i - 1);
        const int C = 8 * (i - 1);
        B.Text(P + "Description", In.Description, 7 * i + 5);
        B.RadioGroup(P + "Activity", In.Activity, R + 1, 3, 0);
        B.RadioPair(P + "DelayUnit10s", In.DelayUnit10s, R + 5, R + 4);
        B.Number(P + "DelayTime", In.DelayTime, i, 1, 255);
        B.Flag(P + "ShortOut1On", In.ShortOut1On, C + 1);
        B.Flag(P + "ShortOut2On", In.ShortOut2On, C + 2);
        B.Flag(P + "ShortOut1Off", In.ShortOut1Off, C + 3);
        B.Flag(P + "ShortOut2Off", In.ShortOut2Off, C + 4);
        B.Flag(P + "OpenOut1On", In.OpenOut1On, C + 5);
        B.Flag(P + "OpenOut2On", In.OpenOut2On, C + 6);
        B.Flag(P + "OpenOut1Off", In.OpenOut1Off, C + 7);
        B.Flag(P + "OpenOut2Off", In.OpenOut2Off, C + 8);
        for (int u = 1; u <= UserCount; ++u) {
            for (int f = 1; f <= FunctionCount; ++f) {
                const TInputFunction &Fn = In.Users[u].Functions[f];
                const std::string FP = P + Idx("Users", u) + "." + Idx("Functions", f) + ".";
                const int Q = R + 18 * (u - 1) + 9 * (f - 1);
                B.RadioPair(FP + "ReactOnShort", Fn.ReactOnShort, Q + 6, Q + 7);
                B.Reaction(FP + "Reaction", Fn.Reaction, 12 * i + 4 * u + 2 * f + 95, 12 * i + 4 * u + 2 * f + 96);
                B.RadioGroup(FP + "GpsAction", Fn.GpsAction, Q + 11, 4, 0);
                B.Text(FP + "SmsText", Fn.SmsText, 7 * i + 2 * u + f + 3);
            }
        }
    }

    for (int o = 1; o <= OutputCount; ++o) {
        const TOutputEntry &Out = S.Outputs[o];
        const std::string P = Idx("Outputs", o) + ".";
        B.Text(P + "Description", Out.Description, 9 * o + 59);
        for (int a = 1; a <= ActionCount; ++a) {
            const TOutputAction &Ac = Out.Actions[a];
            const std::string AP = P + Idx("Actions", a) + ".";
            B.Flag(AP + "AllowBySms", Ac.AllowBySms, 6 * o + 3 * a + 56);
            B.Text(AP + "SmsCode", Ac.SmsCode, 9 * o + 4 * a + 56);
            B.Flag(AP + "AllowByRing", Ac.AllowByRing, 6 * o + 3 * a + 57);
            B.Flag(AP + "AutoRevert", Ac.AutoRevert, 6 * o + 3 * a + 58);
            B.Number(AP + "AutoRevertTime", Ac.AutoRevertTime, 2 * o + a + 6, 1, 255);
            for (int u = 1; u <= UserCount; ++u) {
                const std::string NP = AP + Idx("Notify", u) + ".";
                B.Reaction(NP + "Reaction", Ac.Notify[u].Reaction, 12 * o + 6 * a + 2 * u + 189,
                           12 * o + 6 * a + 2 * u + 190);
                B.Text(NP + "SmsText", Ac.Notify[u].SmsText, 9 * o + 4 * a + u + 56);
            }
        }
    }

    // UZBR
    B.Flag("ArmByInput", S.ArmByInput, 77);
    B.Flag("ArmBySms", S.ArmBySms, 78);
    B.Text("ArmSmsCode", S.ArmSmsCode, 86);
    B.Flag("DisarmBySms", S.DisarmBySms, 79);
    B.Text("DisarmSmsCode", S.DisarmSmsCode, 87);
    B.Flag("ArmByRing", S.ArmByRing, 80);
    B.Flag("DisarmByRing", S.DisarmByRing, 81);
    B.RadioGroup("PowerUpArmState", S.PowerUpArmState, 509, 3, 1);
    B.Flag("DisarmOut1Off", S.DisarmOut1Off, 82);
    B.Flag("ArmOut1On", S.ArmOut1On, 83);
    B.Flag("DisarmOut2Off", S.DisarmOut2Off, 84);
    B.Flag("ArmOut2On", S.ArmOut2On, 85);
    for (int u = 1; u <= UserCount; ++u) {
        const std::string P = Idx("ArmNotify", u) + ".";
        B.Reaction(P + "Reaction", S.ArmNotify[u].Reaction, 2 * u + 231, 2 * u + 232);
        B.Text(P + "SmsText", S.ArmNotify[u].SmsText, u + 87);
    }
    for (int u = 1; u <= UserCount; ++u) {
        const std::string P = Idx("DisarmNotify", u) + ".";
        B.Reaction(P + "Reaction", S.DisarmNotify[u].Reaction, 2 * u + 237, 2 * u + 238);
        B.Text(P + "SmsText", S.DisarmNotify[u].SmsText, u + 90);
    }

    // TEST
    B.Flag("TestEnabled", S.TestEnabled, 86);
    B.Number("TestPeriod", S.TestPeriod, 13, 1, 42);
    B.Flag("TestTimerResetBySms", S.TestTimerResetBySms, 87);
    B.Flag("TestForcedByRing", S.TestForcedByRing, 88);
    for (int u = 1; u <= UserCount; ++u) {
        const std::string P = Idx("TestNotify", u) + ".";
        B.Reaction(P + "Reaction", S.TestNotify[u].Reaction, 2 * u + 243, 2 * u + 244);
        B.Text(P + "SmsText", S.TestNotify[u].SmsText, u + 93);
    }

    // RING
    B.Number("RingOutDuration", S.RingOutDuration, 14, 1, 255);
    B.RadioPair("RingOutHangUpOnAnswer", S.RingOutHangUpOnAnswer, 539, 540);
    B.Number("RingOutRetryDelay", S.RingOutRetryDelay, 34, 1, 255);
    B.Number("RingOutAttempts", S.RingOutAttempts, 35, 1, 255);
    B.RadioGroup("RingInMode", S.RingInMode, 541, 3, 1);
    B.Text("RingInSmsCode", S.RingInSmsCode, 97);
    B.Number("RingInRejectTime", S.RingInRejectTime, 15, 1, 255);

    // SMS
    B.Flag("SmsLimitEnabled", S.SmsLimitEnabled, 89);
    B.Number("SmsLimitCount", S.SmsLimitCount, 16, 1, 255);
    B.Number("SmsLimitPeriod", S.SmsLimitPeriod, 17, 1, 42);
    B.Flag("SmsLimitResetByRing", S.SmsLimitResetByRing, 90);
    B.Number("SmsAckTimeout", S.SmsAckTimeout, 18, 1, 255);
    B.Number("SmsAttempts", S.SmsAttempts, 19, 1, 255);

    // GPS
    for (int u = 1; u <= UserCount; ++u) {
        const TGpsUserEntry &G = S.GpsUsers[u];
        const std::string P = Idx("GpsUsers", u) + ".";
        B.Number(P + "AutoSendPeriod", G.AutoSendPeriod, u + 20, 1, 255);
        B.Flag(P + "PositionByRing", G.PositionByRing, 6 * u + 87);
        B.Flag(P + "PositionBySms", G.PositionBySms, 6 * u + 88);
        B.Text(P + "PositionSmsCode", G.PositionSmsCode, 3 * u + 96);
        B.Flag(P + "StartByRing", G.StartByRing, 6 * u + 89);
        B.Flag(P + "StartBySms", G.StartBySms, 6 * u + 90);
        B.Text(P + "StartSmsCode", G.StartSmsCode, 3 * u + 97);
        B.Flag(P + "StopByRing", G.StopByRing, 6 * u + 91);
        B.Flag(P + "StopBySms", G.StopBySms, 6 * u + 92);
        B.Text(P + "StopSmsCode", G.StopSmsCode, 3 * u + 98);
    }
    B.Flag("GpsReplyToAnyRing", S.GpsReplyToAnyRing, 91);
    B.Flag("GpsReplyToAnySms", S.GpsReplyToAnySms, 92);
    B.Text("GpsReplySmsCode", S.GpsReplySmsCode, 98);
    B.Number("GpsFixLossTime", S.GpsFixLossTime, 20, 1, 255);

    // SPEC
    B.Flag("Out1FollowsGsmReady", S.Out1FollowsGsmReady, 111);
    B.Number("GsmLossDelay", S.GsmLossDelay, 24, 1, 255);
    B.RadioGroup("SmsValidityUnit", S.SmsValidityUnit, 544, 3, 1);
    B.Number("SmsValidityHours", S.SmsValidityHours, 25, 1, 255);
    B.Number("SmsValidityDays", S.SmsValidityDays, 26, 1, 255);
    B.Number("SmsValidityWeeks", S.SmsValidityWeeks, 27, 1, 255);
    B.Number("NationalNumberType", S.NationalNumberType, 31, 0, 255);
    B.Number("InternationalNumberType", S.InternationalNumberType, 29, 0, 255);
    B.Number("SpecialNumberType", S.SpecialNumberType, 30, 0, 255);
    B.Number("SmsPduType", S.SmsPduType, 28, 0, 255);
    B.Number("SmsPid", S.SmsPid, 32, 0, 255);
    B.Number("SmsDcs", S.SmsDcs, 33, 0, 255);
    B.Flag("PhoneRestartBySms", S.PhoneRestartBySms, 112);
    B.Text("PhoneRestartSmsCode", S.PhoneRestartSmsCode, 109);

    // PROG
    B.List("DeviceVersion", S.DeviceVersion, 1, 2); // "BRAK", "Trackwarden V1.1.1"
    B.List("PhoneModel", S.PhoneModel, 2, 3);       // "BRAK", "Nokia 5110", "Nokia 3410"
    B.Text("DevicePin", S.DevicePin, 108, true);

    return std::move(B.Fields);
}

const uint8_t *At(const TSettings &S, const TFieldDesc &F)
{
    return reinterpret_cast<const uint8_t *>(&S) + F.Offset;
}

uint8_t *At(TSettings &S, const TFieldDesc &F)
{
    return reinterpret_cast<uint8_t *>(&S) + F.Offset;
}

} // namespace

const std::vector<TFieldDesc> &SettingsFields()
{
    static const std::vector<TFieldDesc> Fields = BuildFields();
    return Fields;
}

const std::vector<const TFieldDesc *> &FieldsInRecordOrder()
{
    static const std::vector<const TFieldDesc *> Fields = [] {
        std::vector<const TFieldDesc *> Out;
        for (const TFieldDesc &F : SettingsFields())
            Out.push_back(&F);
        std::stable_sort(Out.begin(), Out.end(),
                         [](const TFieldDesc *A, const TFieldDesc *B) { return A->Offset < B->Offset; });
        return Out;
    }();
    return Fields;
}

const TFieldDesc *FieldByName(std::string_view Name)
{
    static const std::unordered_map<std::string_view, const TFieldDesc *> ByName = [] {
        std::unordered_map<std::string_view, const TFieldDesc *> Out;
        for (const TFieldDesc &F : SettingsFields())
            Out.emplace(F.Name, &F);
        return Out;
    }();
    const auto It = ByName.find(Name);
    return It == ByName.end() ? nullptr : It->second;
}

const TFieldDesc *FieldOfControl(TFieldKind Kind, int Control)
{
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == Kind && F.Control == Control)
            return &F;
    return nullptr;
}

const char *ControlKindWord(TFieldKind Kind)
{
    switch (Kind) {
    case TFieldKind::Text: return "Edit";
    case TFieldKind::Flag:
    case TFieldKind::Reaction: return "CheckBox";
    case TFieldKind::RadioGroup:
    case TFieldKind::RadioPair: return "RadioButton";
    case TFieldKind::Number: return "SpinEdit";
    case TFieldKind::List: return "ComboBox";
    }
    return "";
}

int32_t FieldInt(const TSettings &S, const TFieldDesc &F)
{
    int32_t V;
    std::memcpy(&V, At(S, F), sizeof V);
    return V;
}

void SetFieldInt(TSettings &S, const TFieldDesc &F, int32_t Value)
{
    std::memcpy(At(S, F), &Value, sizeof Value);
}

uint8_t FieldByte(const TSettings &S, const TFieldDesc &F)
{
    return *At(S, F);
}

void SetFieldByte(TSettings &S, const TFieldDesc &F, uint8_t Value)
{
    *At(S, F) = Value;
}

std::string_view FieldChars(const TSettings &S, const TFieldDesc &F)
{
    const uint8_t *P = At(S, F);
    const int Len = P[0] <= F.Capacity ? P[0] : F.Capacity;
    return std::string_view(reinterpret_cast<const char *>(P + 1), static_cast<size_t>(Len));
}

std::string FieldText(const TSettings &S, const TFieldDesc &F)
{
    return std::string(FieldChars(S, F));
}

void SetFieldText(TSettings &S, const TFieldDesc &F, std::string_view Value)
{
    uint8_t *P = At(S, F);
    const size_t Kept = Value.size() < static_cast<size_t>(F.Capacity) ? Value.size() : static_cast<size_t>(F.Capacity);
    if (Kept > 0)
        std::memcpy(P + 1, Value.data(), Kept);
    P[0] = static_cast<uint8_t>(Kept);
}

bool SameFieldValue(const TSettings &A, const TSettings &B, const TFieldDesc &F)
{
    switch (F.Kind) {
    case TFieldKind::Text: return FieldText(A, F) == FieldText(B, F);
    case TFieldKind::Flag:
    case TFieldKind::RadioPair: return FieldByte(A, F) == FieldByte(B, F);
    default: return FieldInt(A, F) == FieldInt(B, F);
    }
}

namespace {

// Utf8 in double quotes on one line: \" and \\ escaped, control characters
// as \xHH (a newline from a foreign file would split the one line a dump
// gives each field); with EscapeC1 also U+0080..U+009F as \u00HH, which a
// terminal may take for commands.
std::string Quoted(std::string_view Utf8, bool EscapeC1)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string Out = "\"";
    for (size_t I = 0; I < Utf8.size(); ++I) {
        const auto U = static_cast<unsigned char>(Utf8[I]);
        if (U < 0x20 || U == 0x7F) {
            Out += "\\x";
            Out += Hex[U >> 4];
            Out += Hex[U & 0xF];
            continue;
        }
        const auto Next = I + 1 < Utf8.size() ? static_cast<unsigned char>(Utf8[I + 1]) : 0;
        if (EscapeC1 && U == 0xC2 && Next >= 0x80 && Next <= 0x9F) {
            Out += "\\u00";
            Out += Hex[Next >> 4];
            Out += Hex[Next & 0xF];
            ++I;
            continue;
        }
        if (U == '"' || U == '\\')
            Out += '\\';
        Out += Utf8[I];
    }
    return Out + "\"";
}

} // namespace

std::string FieldValueText(const TSettings &S, const TFieldDesc &F)
{
    switch (F.Kind) {
    case TFieldKind::Text: return Quoted(Cp1250ToUtf8(FieldText(S, F)), false);
    case TFieldKind::Flag:
    case TFieldKind::RadioPair: return std::to_string(FieldByte(S, F));
    default: return std::to_string(FieldInt(S, F));
    }
}

std::string QuotedUtf8(std::string_view Utf8)
{
    return Quoted(Utf8, true);
}

namespace {

std::string_view Trimmed(std::string_view Text)
{
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    return Text;
}

// A decimal integer with an optional sign; false for anything else. Values
// beyond 32 bits saturate, so that they read as out of range.
bool ParseInteger(std::string_view Text, int64_t &Value)
{
    Text = Trimmed(Text);
    const bool Negative = !Text.empty() && Text.front() == '-';
    if (!Text.empty() && (Text.front() == '-' || Text.front() == '+'))
        Text.remove_prefix(1);
    if (Text.empty())
        return false;
    int64_t V = 0;
    for (char C : Text) {
        if (C < '0' || C > '9')
            return false;
        V = std::min<int64_t>(V * 10 + (C - '0'), int64_t(1) << 32);
    }
    Value = Negative ? -V : V;
    return true;
}

int TextLimit(const TFieldDesc &F, int MaxChars)
{
    return MaxChars > 0 && MaxChars < F.Capacity ? MaxChars : F.Capacity;
}

} // namespace

TValueError FieldValueFromText(const TFieldDesc &F, std::string_view Utf8, TFieldValue &Value, int MaxChars)
{
    if (F.Kind == TFieldKind::Text) {
        if (!Utf8ToCp1250Exact(Utf8, Value.Chars))
            return TValueError::NotCp1250;
        return Value.Chars.size() > static_cast<size_t>(TextLimit(F, MaxChars)) ? TValueError::TooLong
                                                                                : TValueError::None;
    }
    int64_t V = 0;
    if (!ParseInteger(Utf8, V))
        return TValueError::NotANumber;
    if (V < F.Min || V > F.Max)
        return TValueError::OutOfRange;
    Value.Number = static_cast<int32_t>(V);
    return TValueError::None;
}

std::string ValueErrorText(const TFieldDesc &F, std::string_view Utf8, TValueError Error, int MaxChars)
{
    const std::string Range = std::to_string(F.Min) + ".." + std::to_string(F.Max);
    switch (Error) {
    case TValueError::None: return {};
    case TValueError::NotANumber: return QuotedUtf8(Utf8) + " nie jest liczbą całkowitą " + Range;
    case TValueError::OutOfRange: return std::string(Trimmed(Utf8)) + " poza zakresem " + Range;
    case TValueError::TooLong:
        return "tekst ma " + CountedNoun(Utf8Length(Utf8), "znak", "znaki", "znaków") + ", a mieści się najwyżej " +
               std::to_string(TextLimit(F, MaxChars));
    case TValueError::NotCp1250: {
        std::string Chars;
        TCp1250Miss Miss;
        Utf8ToCp1250Exact(Utf8, Chars, &Miss);
        char Code[16];
        if (Miss.Malformed) {
            std::snprintf(Code, sizeof Code, "0x%02X", static_cast<unsigned>(static_cast<uint8_t>(Utf8[Miss.At])));
            return std::string("niepoprawny zapis UTF-8 (bajt ") + Code + ")";
        }
        std::snprintf(Code, sizeof Code, "U+%04X", static_cast<unsigned>(Miss.Char));
        return "znaku " + QuotedUtf8(Utf8.substr(Miss.At, Miss.Length)) + " (" + Code + ") nie ma w kodzie Windows-1250";
    }
    }
    return {};
}

void SetFieldValue(TSettings &S, const TFieldDesc &F, const TFieldValue &Value)
{
    switch (F.Kind) {
    case TFieldKind::Text: SetFieldText(S, F, Value.Chars); break;
    case TFieldKind::Flag:
    case TFieldKind::RadioPair: SetFieldByte(S, F, static_cast<uint8_t>(Value.Number)); break;
    default: SetFieldInt(S, F, Value.Number); break;
    }
}

std::string CountedNoun(size_t N, const char *One, const char *Few, const char *Many)
{
    const size_t Tens = N % 100, Units = N % 10;
    const char *Word = N == 1 ? One : (Units >= 2 && Units <= 4 && (Tens < 12 || Tens > 14)) ? Few : Many;
    return std::to_string(N) + " " + Word;
}
