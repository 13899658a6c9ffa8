// What the Windows port list takes from a device's registry key: an FTDI
// adapter's latency timer, and the command that sets it to 1 ms.
#include "UPortList_win32.h"

#include <gtest/gtest.h>

namespace {

struct TLatencyRow {
    const char *Name;
    DWORD Type;      // REG_NONE: no value at all
    DWORD Value;
    const char *Shown;
    bool Fix;
};

const TLatencyRow LatencyRows[] = {
    {"AsItComes", REG_DWORD, 16, "16", true},
    {"AtTwo", REG_DWORD, 2, "2", true},
    {"AtOne", REG_DWORD, 1, "1", false},
    {"AtZero", REG_DWORD, 0, "0", false},
    {"NotADword", REG_BINARY, 16, "", false},
    {"NoValue", REG_NONE, 0, "", false},
};

class LatencyTest : public ::testing::TestWithParam<TLatencyRow> {};

TEST_P(LatencyTest, TimerAndItsCommand)
{
    const TLatencyRow &Row = GetParam();
    const std::string Path =
        "Software\\TrackwardenTest" + std::to_string(GetCurrentProcessId()) + "\\Device Parameters";
    HKEY Key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key, nullptr),
              ERROR_SUCCESS);
    if (Row.Type != REG_NONE)
        ASSERT_EQ(RegSetValueExA(Key, "LatencyTimer", 0, Row.Type, reinterpret_cast<const BYTE *>(&Row.Value),
                                 sizeof Row.Value),
                  ERROR_SUCCESS);
    const std::string Instance = "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000";
    TSerialPortInfo Info;
    ReadLatencyTimer(Key, Instance, Info);
    RegCloseKey(Key);
    RegDeleteTreeA(HKEY_CURRENT_USER, Path.substr(0, Path.rfind('\\')).c_str());
    EXPECT_EQ(Info.LatencyTimer, Row.Shown);
    const std::string Fix = "reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + Instance +
                            "\\Device Parameters\" /v LatencyTimer /t REG_DWORD /d 1 /f"
                            " (jako administrator, potem ponowne podłączenie adaptera)";
    EXPECT_EQ(Info.LatencyFix, Row.Fix ? Fix : "");
}

INSTANTIATE_TEST_SUITE_P(Win32Ports, LatencyTest, ::testing::ValuesIn(LatencyRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
