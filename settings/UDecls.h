// The settings record, the device image and the program-wide globals.
//
// The record's byte image is the settings file, so every struct here is a
// plain standard-layout type whose layout is pinned by static_asserts.
//
// Numbering: the device and the window count users, inputs, outputs,
// functions and actions from 1. The arrays of the record are TArray1, which
// is indexed from 1 as well, so Settings.Inputs[3].Users[2].Functions[1] is
// input 3, user 2, function 1 exactly as the window shows it. Plain byte
// buffers (DeviceImage, frames) are indexed from 0 like any C array.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

// Short string of capacity N: a length byte and N character positions
// (Windows-1250). Positions beyond the length keep whatever an earlier,
// longer value left there.
template <int N>
struct TShortString {
    static_assert(N >= 1 && N <= 255);
    static constexpr int Capacity = N;

    uint8_t Length;
    char Chars[N];

    // Number of characters that count. A foreign file may carry a length
    // byte above the capacity; no reader ever goes past the field.
    int Len() const { return Length <= N ? Length : N; }

    // The characters that count, as raw Windows-1250 bytes.
    std::string Str() const { return std::string(Chars, static_cast<size_t>(Len())); }
    std::string_view View() const { return std::string_view(Chars, static_cast<size_t>(Len())); }

    // Stores the first N bytes of Value; the old tail stays in place.
    void Assign(std::string_view Value)
    {
        const size_t Kept = Value.size() < static_cast<size_t>(N) ? Value.size() : static_cast<size_t>(N);
        if (Kept > 0)
            std::memcpy(Chars, Value.data(), Kept);
        Length = static_cast<uint8_t>(Kept);
    }

    bool Empty() const { return Len() == 0; }
};

// Array numbered from 1, with the layout of a plain C array.
template <typename T, int N>
struct TArray1 {
    static constexpr int Count = N;
    T Items[N];

    T &operator[](int Index)
    {
        assert(Index >= 1 && Index <= N);
        return Items[Index - 1];
    }
    const T &operator[](int Index) const
    {
        assert(Index >= 1 && Index <= N);
        return Items[Index - 1];
    }
};

constexpr int UserCount = 3;
constexpr int InputCount = 8;
constexpr int OutputCount = 2;
constexpr int FunctionCount = 2;
constexpr int ActionCount = 2;

// Reaction bit set.
constexpr int32_t ReactionRing = 1;
constexpr int32_t ReactionSms = 2;

struct TUserEntry {
    TShortString<15> Identifier;
    TShortString<80> Description;
    TShortString<23> PhoneNumber;
};

struct TInputFunction {
    uint8_t ReactOnShort;
    uint8_t Gap1[3];
    int32_t GpsAction;
    int32_t Reaction;
    TShortString<160> SmsText;
    uint8_t Gap173[3];
};

struct TInputUser {
    TArray1<TInputFunction, FunctionCount> Functions;
};

struct TInputEntry {
    TShortString<80> Description;
    uint8_t Gap81[3];
    int32_t Activity;
    int32_t DelayTime;
    uint8_t DelayUnit10s;
    uint8_t ShortOut1On;
    uint8_t ShortOut1Off;
    uint8_t ShortOut2On;
    uint8_t ShortOut2Off;
    uint8_t OpenOut1On;
    uint8_t OpenOut1Off;
    uint8_t OpenOut2On;
    uint8_t OpenOut2Off;
    uint8_t Gap101[3];
    TArray1<TInputUser, UserCount> Users;
};

struct TNotification {
    int32_t Reaction;
    TShortString<160> SmsText;
    uint8_t Gap165[3];
};

struct TOutputAction {
    uint8_t AllowBySms;
    TShortString<4> SmsCode;
    uint8_t AllowByRing;
    uint8_t AutoRevert;
    int32_t AutoRevertTime;
    TArray1<TNotification, UserCount> Notify;
};

struct TOutputEntry {
    TShortString<80> Description;
    uint8_t Gap81[3];
    TArray1<TOutputAction, ActionCount> Actions;
};

struct TGpsUserEntry {
    int32_t AutoSendPeriod;
    uint8_t PositionByRing;
    uint8_t PositionBySms;
    TShortString<4> PositionSmsCode;
    uint8_t StartByRing;
    uint8_t StartBySms;
    TShortString<4> StartSmsCode;
    uint8_t StopByRing;
    uint8_t StopBySms;
    TShortString<4> StopSmsCode;
    uint8_t Gap25[3];
};

struct TSettings {
    TShortString<4> SimPin;
    TShortString<23> SmsCentreNumber;
    TArray1<TUserEntry, UserCount> Users;
    TArray1<TInputEntry, InputCount> Inputs;
    TArray1<TOutputEntry, OutputCount> Outputs;
    uint8_t ArmByInput;
    uint8_t ArmBySms;
    TShortString<4> ArmSmsCode;
    uint8_t DisarmBySms;
    TShortString<4> DisarmSmsCode;
    uint8_t ArmByRing;
    uint8_t DisarmByRing;
    uint8_t Gap11919[1];
    int32_t PowerUpArmState;
    uint8_t ArmOut1On;
    uint8_t ArmOut2On;
    uint8_t DisarmOut1Off;
    uint8_t DisarmOut2Off;
    TArray1<TNotification, UserCount> ArmNotify;
    TArray1<TNotification, UserCount> DisarmNotify;
    uint8_t TestEnabled;
    uint8_t Gap12937[3];
    int32_t TestPeriod;
    uint8_t TestTimerResetBySms;
    uint8_t TestForcedByRing;
    uint8_t Gap12946[2];
    TArray1<TNotification, UserCount> TestNotify;
    int32_t RingOutDuration;
    uint8_t RingOutHangUpOnAnswer;
    uint8_t Gap13457[3];
    int32_t RingOutRetryDelay;
    int32_t RingOutAttempts;
    int32_t RingInMode;
    TShortString<4> RingInSmsCode;
    uint8_t Gap13477[3];
    int32_t RingInRejectTime;
    uint8_t SmsLimitEnabled;
    uint8_t Gap13485[3];
    int32_t SmsLimitCount;
    int32_t SmsLimitPeriod;
    uint8_t SmsLimitResetByRing;
    uint8_t Gap13497[3];
    int32_t SmsAckTimeout;
    int32_t SmsAttempts;
    TArray1<TGpsUserEntry, UserCount> GpsUsers;
    uint8_t GpsReplyToAnyRing;
    uint8_t GpsReplyToAnySms;
    TShortString<4> GpsReplySmsCode;
    uint8_t Gap13599[1];
    int32_t GpsFixLossTime;
    uint8_t Out1FollowsGsmReady;
    uint8_t Gap13605[3];
    int32_t GsmLossDelay;
    int32_t SmsValidityUnit;
    int32_t SmsValidityHours;
    int32_t SmsValidityDays;
    int32_t SmsValidityWeeks;
    int32_t NationalNumberType;
    int32_t InternationalNumberType;
    int32_t SpecialNumberType;
    int32_t SmsPduType;
    int32_t SmsPid;
    int32_t SmsDcs;
    uint8_t PhoneRestartBySms;
    TShortString<4> PhoneRestartSmsCode;
    uint8_t Gap13658[2];
    int32_t DeviceVersion;
    int32_t PhoneModel;
    TShortString<4> DevicePin;
    uint8_t Gap13673[3];
};

constexpr size_t SettingsSize = 13676;
constexpr size_t DeviceImageSize = 8192;

// The record is written to files as it stands in memory: little-endian
// 32-bit integers are assumed.
static_assert(sizeof(int32_t) == 4);
static_assert(std::is_standard_layout_v<TSettings> && std::is_trivially_copyable_v<TSettings>);

static_assert(sizeof(TUserEntry) == 121);
static_assert(sizeof(TInputFunction) == 176);
static_assert(sizeof(TInputUser) == 352);
static_assert(sizeof(TInputEntry) == 1160);
static_assert(sizeof(TNotification) == 168);
static_assert(sizeof(TOutputAction) == 516);
static_assert(sizeof(TOutputEntry) == 1116);
static_assert(sizeof(TGpsUserEntry) == 28);
static_assert(sizeof(TSettings) == SettingsSize);

static_assert(offsetof(TUserEntry, Description) == 16);
static_assert(offsetof(TUserEntry, PhoneNumber) == 97);

static_assert(offsetof(TInputEntry, Activity) == 84);
static_assert(offsetof(TInputEntry, DelayTime) == 88);
static_assert(offsetof(TInputEntry, DelayUnit10s) == 92);
static_assert(offsetof(TInputEntry, ShortOut1On) == 93);
static_assert(offsetof(TInputEntry, OpenOut2Off) == 100);
static_assert(offsetof(TInputEntry, Users) == 104);

static_assert(offsetof(TInputFunction, GpsAction) == 4);
static_assert(offsetof(TInputFunction, Reaction) == 8);
static_assert(offsetof(TInputFunction, SmsText) == 12);

static_assert(offsetof(TOutputEntry, Actions) == 84);
static_assert(offsetof(TOutputAction, SmsCode) == 1);
static_assert(offsetof(TOutputAction, AllowByRing) == 6);
static_assert(offsetof(TOutputAction, AutoRevert) == 7);
static_assert(offsetof(TOutputAction, AutoRevertTime) == 8);
static_assert(offsetof(TOutputAction, Notify) == 12);
static_assert(offsetof(TNotification, SmsText) == 4);

static_assert(offsetof(TGpsUserEntry, PositionByRing) == 4);
static_assert(offsetof(TGpsUserEntry, PositionSmsCode) == 6);
static_assert(offsetof(TGpsUserEntry, StartByRing) == 11);
static_assert(offsetof(TGpsUserEntry, StartSmsCode) == 13);
static_assert(offsetof(TGpsUserEntry, StopByRing) == 18);
static_assert(offsetof(TGpsUserEntry, StopSmsCode) == 20);

static_assert(offsetof(TSettings, SimPin) == 0);
static_assert(offsetof(TSettings, SmsCentreNumber) == 5);
static_assert(offsetof(TSettings, Users) == 29);
static_assert(offsetof(TSettings, Inputs) == 392);
static_assert(offsetof(TSettings, Outputs) == 9672);
static_assert(offsetof(TSettings, ArmByInput) == 11904);
static_assert(offsetof(TSettings, ArmBySms) == 11905);
static_assert(offsetof(TSettings, ArmSmsCode) == 11906);
static_assert(offsetof(TSettings, DisarmBySms) == 11911);
static_assert(offsetof(TSettings, DisarmSmsCode) == 11912);
static_assert(offsetof(TSettings, ArmByRing) == 11917);
static_assert(offsetof(TSettings, DisarmByRing) == 11918);
static_assert(offsetof(TSettings, PowerUpArmState) == 11920);
static_assert(offsetof(TSettings, ArmOut1On) == 11924);
static_assert(offsetof(TSettings, ArmOut2On) == 11925);
static_assert(offsetof(TSettings, DisarmOut1Off) == 11926);
static_assert(offsetof(TSettings, DisarmOut2Off) == 11927);
static_assert(offsetof(TSettings, ArmNotify) == 11928);
static_assert(offsetof(TSettings, DisarmNotify) == 12432);
static_assert(offsetof(TSettings, TestEnabled) == 12936);
static_assert(offsetof(TSettings, TestPeriod) == 12940);
static_assert(offsetof(TSettings, TestTimerResetBySms) == 12944);
static_assert(offsetof(TSettings, TestForcedByRing) == 12945);
static_assert(offsetof(TSettings, TestNotify) == 12948);
static_assert(offsetof(TSettings, RingOutDuration) == 13452);
static_assert(offsetof(TSettings, RingOutHangUpOnAnswer) == 13456);
static_assert(offsetof(TSettings, RingOutRetryDelay) == 13460);
static_assert(offsetof(TSettings, RingOutAttempts) == 13464);
static_assert(offsetof(TSettings, RingInMode) == 13468);
static_assert(offsetof(TSettings, RingInSmsCode) == 13472);
static_assert(offsetof(TSettings, RingInRejectTime) == 13480);
static_assert(offsetof(TSettings, SmsLimitEnabled) == 13484);
static_assert(offsetof(TSettings, SmsLimitCount) == 13488);
static_assert(offsetof(TSettings, SmsLimitPeriod) == 13492);
static_assert(offsetof(TSettings, SmsLimitResetByRing) == 13496);
static_assert(offsetof(TSettings, SmsAckTimeout) == 13500);
static_assert(offsetof(TSettings, SmsAttempts) == 13504);
static_assert(offsetof(TSettings, GpsUsers) == 13508);
static_assert(offsetof(TSettings, GpsReplyToAnyRing) == 13592);
static_assert(offsetof(TSettings, GpsReplyToAnySms) == 13593);
static_assert(offsetof(TSettings, GpsReplySmsCode) == 13594);
static_assert(offsetof(TSettings, GpsFixLossTime) == 13600);
static_assert(offsetof(TSettings, Out1FollowsGsmReady) == 13604);
static_assert(offsetof(TSettings, GsmLossDelay) == 13608);
static_assert(offsetof(TSettings, SmsValidityUnit) == 13612);
static_assert(offsetof(TSettings, SmsValidityHours) == 13616);
static_assert(offsetof(TSettings, SmsValidityDays) == 13620);
static_assert(offsetof(TSettings, SmsValidityWeeks) == 13624);
static_assert(offsetof(TSettings, NationalNumberType) == 13628);
static_assert(offsetof(TSettings, InternationalNumberType) == 13632);
static_assert(offsetof(TSettings, SpecialNumberType) == 13636);
static_assert(offsetof(TSettings, SmsPduType) == 13640);
static_assert(offsetof(TSettings, SmsPid) == 13644);
static_assert(offsetof(TSettings, SmsDcs) == 13648);
static_assert(offsetof(TSettings, PhoneRestartBySms) == 13652);
static_assert(offsetof(TSettings, PhoneRestartSmsCode) == 13653);
static_assert(offsetof(TSettings, DeviceVersion) == 13660);
static_assert(offsetof(TSettings, PhoneModel) == 13664);
static_assert(offsetof(TSettings, DevicePin) == 13668);

// Deep fields, element 1 of each array at the offsets above plus the strides.
static_assert(offsetof(TSettings, Inputs) + offsetof(TInputEntry, Users) == 496);
static_assert(offsetof(TSettings, Inputs) + offsetof(TInputEntry, Users) + offsetof(TInputFunction, SmsText) == 508);
static_assert(offsetof(TSettings, Inputs) + sizeof(TInputEntry) == 1552);
static_assert(offsetof(TSettings, Inputs) + 7 * sizeof(TInputEntry) + offsetof(TInputEntry, Users) +
                  2 * sizeof(TInputUser) + sizeof(TInputFunction) == 9496);
static_assert(offsetof(TSettings, Outputs) + offsetof(TOutputEntry, Actions) + sizeof(TOutputAction) == 10272);
static_assert(offsetof(TSettings, Outputs) + sizeof(TOutputEntry) == 10788);
static_assert(offsetof(TSettings, Outputs) + sizeof(TOutputEntry) + offsetof(TOutputEntry, Actions) +
                  sizeof(TOutputAction) + offsetof(TOutputAction, Notify) + 2 * sizeof(TNotification) +
                  offsetof(TNotification, SmsText) == 11740);
static_assert(offsetof(TSettings, ArmNotify) + offsetof(TNotification, SmsText) == 11932);
static_assert(offsetof(TSettings, DisarmNotify) + 2 * sizeof(TNotification) == 12768);
static_assert(offsetof(TSettings, GpsUsers) + 2 * sizeof(TGpsUserEntry) == 13564);
static_assert(offsetof(TSettings, GpsUsers) + 2 * sizeof(TGpsUserEntry) + offsetof(TGpsUserEntry, StopSmsCode) == 13584);

using TFileName = TShortString<255>;

// The program's folder is kept whole, unlike the record's texts: a path built
// from a folder cut at 255 characters names a file or a port in another folder.
struct TFolderPath {
    std::string Value;

    void Assign(std::string_view Folder) { Value.assign(Folder); }
    const std::string &Str() const { return Value; }
    std::string_view View() const { return Value; }
    bool Empty() const { return Value.empty(); }
};

extern TSettings Settings;
extern uint8_t DeviceImage[DeviceImageSize];
extern TFolderPath ProgramDir;    // the executable's folder with its trailing separator
extern TFileName CurrentFileName; // bare name of the set last opened or saved; empty for a new set
extern int32_t PortIndex;         // item index of the port list: 0 "BRAK", 1..8 COM1..COM8, -1 none
