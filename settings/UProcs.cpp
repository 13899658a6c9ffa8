#include "UProcs.h"

#include "Cp1250.h"
#include "UDecls.h"
#include "UImage.h"

#include <cstring>
#include <string>

namespace {

constexpr const char *InputNames[InputCount] = {
    "Wejście wyłączników drzwiowych.",
    "Wejście wyłączników krańcowych.",
    "Wejście czujników dodatkowych.",
    "Wejście czujników prealarmu.",
    "Uzbrojenie/Rozbrojenie.",
    "Wejście stacyjki.",
    "Wejście syreny.",
    "Wejście przycisku napadowego.",
};

template <int N>
void AssignUtf8(TShortString<N> &Field, const std::string &Utf8)
{
    Field.Assign(Utf8ToCp1250(Utf8));
}

} // namespace

void SetDefaultSettings()
{
    std::memset(&Settings, 0, sizeof Settings);
    CurrentFileName.Assign("");

    for (int u = 1; u <= UserCount; ++u) {
        const std::string Identifier = "Użytkownik " + std::to_string(u);
        AssignUtf8(Settings.Users[u].Identifier, Identifier);
        AssignUtf8(Settings.Users[u].Description, Identifier + ".");
    }

    for (int i = 1; i <= InputCount; ++i) {
        TInputEntry &In = Settings.Inputs[i];
        AssignUtf8(In.Description, InputNames[i - 1]);
        In.DelayTime = 2;
        for (int u = 1; u <= UserCount; ++u)
            for (int f = 1; f <= FunctionCount; ++f)
                In.Users[u].Functions[f].ReactOnShort = 1;
    }

    for (int o = 1; o <= OutputCount; ++o) {
        AssignUtf8(Settings.Outputs[o].Description, "Wyjście " + std::to_string(o) + ".");
        for (int a = 1; a <= ActionCount; ++a)
            Settings.Outputs[o].Actions[a].AutoRevertTime = 30;
    }

    Settings.PowerUpArmState = 1;
    Settings.TestPeriod = 24;
    Settings.RingOutDuration = 30;
    Settings.RingOutHangUpOnAnswer = 1;
    Settings.RingOutRetryDelay = 60;
    Settings.RingOutAttempts = 3;
    Settings.RingInMode = 1;
    Settings.RingInRejectTime = 3;
    Settings.SmsLimitCount = 10;
    Settings.SmsLimitPeriod = 1;
    Settings.SmsAckTimeout = 60;
    Settings.SmsAttempts = 10;
    for (int u = 1; u <= UserCount; ++u)
        Settings.GpsUsers[u].AutoSendPeriod = 6;
    Settings.GpsFixLossTime = 6;
    Settings.GsmLossDelay = 60;
    Settings.SmsValidityUnit = 3;
    Settings.SmsValidityHours = 1;
    Settings.SmsValidityDays = 1;
    Settings.SmsValidityWeeks = 1;
    Settings.NationalNumberType = 0x81;
    Settings.InternationalNumberType = 0x91;
    Settings.SpecialNumberType = 0xB1;
    Settings.SmsPduType = 0x11;
    Settings.SmsPid = 0;
    Settings.SmsDcs = 0;
    Settings.DeviceVersion = 0;
    Settings.PhoneModel = 0;
    Settings.DevicePin.Assign("9518");
}

void EncodeDeviceImage()
{
    EncodeImageOf(Settings, DeviceImage);
}
