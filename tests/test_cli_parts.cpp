// The parts for scripts and production lines, without a device: the hashes,
// the JSON record and the audit line, the port list from fake sysfs trees
// and the Sys/COMn links, and how `ports` prints them.
#include "CliPorts.h"
#include "UAuditLog.h"
#include "URunRecord.h"
#include "USha256.h"
#include "test_cli_json.h"
#include "test_run_support.h"

#include <grp.h>
#include <pty.h>

namespace {

struct TShaRow {
    const char *Name;
    std::string Input;
    const char *Digest;
};

// FIPS 180-2 examples, and lengths on both sides of the padding's block edge.
const TShaRow ShaRows[] = {
    {"Empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"Abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"TwoBlocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"FiftyFive", std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {"SixtyFour", std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    {"Million", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

class Sha256Test : public ::testing::TestWithParam<TShaRow> {};

TEST_P(Sha256Test, KnownDigest)
{
    EXPECT_EQ(Sha256Hex(GetParam().Input.data(), GetParam().Input.size()), GetParam().Digest);
}

INSTANTIATE_TEST_SUITE_P(Cli, Sha256Test, ::testing::ValuesIn(ShaRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TPortRecord SampleRecord(const std::string &SetFile)
{
    TPortRecord R;
    R.Port = "COM3";
    R.StablePort = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    R.Mode = RunModeProgram;
    R.Version = "1.2.3";
    R.Result = TPortResult::Verify;
    R.FailedAddress = 4096;
    R.DurationMs = 27012;
    R.SetFile = SetFile;
    R.SetSha256 = std::string(64, 'a');
    R.ImageSha256 = std::string(64, 'b');
    R.Time = "2026-12-08T14:05:09+01:00";
    R.UnitKey = "SN-Łódź 7";
    return R;
}

// File names come from the command line: quotes, backslashes, control bytes,
// Polish letters, and bytes that are no UTF-8 (read as the characters of their values).
TEST(CliRecord, JsonIsValidAndCarriesEveryField)
{
    const std::pair<std::string, std::string> Names[] = {
        {"plain.set", "plain.set"},
        {"a \"quoted\" name.set", "a \"quoted\" name.set"},
        {"C:\\Sets\\x.set", "C:\\Sets\\x.set"},
        {"tab\there\nnl.set", "tab\there\nnl.set"},
        {"zażółć.set", "zażółć.set"},
        {"\x01\x1f\x7f.set", "\x01\x1f\x7f.set"},
        {"\xb1\xe6.set", "\u00b1\u00e6.set"},               // Latin-2 bytes
        {"a\xc4", "a\u00c4"},                               // a character cut short at the end
        {"\xc4\x85\x85", "ą\u0085"},                        // a stray continuation byte
        {"\xc0\xaf", "\u00c0\u00af"},                       // an overlong '/'
        {"\xed\xa0\x80", "\u00ed\u00a0\u0080"},             // a surrogate
        {"\xf4\x90\x80\x80", "\u00f4\u0090\u0080\u0080"},   // above U+10FFFF
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},           // four bytes, whole
    };
    for (const auto &[SetFile, Read] : Names) {
        const std::string Line = JsonRecord(SampleRecord(SetFile));
        EXPECT_EQ(Line.find('\n'), std::string::npos);
        const auto Object = ParseJsonObject(Line);
        ASSERT_TRUE(Object.has_value()) << Line;
        EXPECT_EQ(Object->at("set_file").String, Read);
        EXPECT_EQ(Object->at("port").String, "COM3");
        EXPECT_EQ(Object->at("stable_port").String, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
        EXPECT_EQ(Object->at("mode").String, "program");
        EXPECT_EQ(Object->at("version").String, "1.2.3");
        EXPECT_EQ(Object->at("result").String, "verify");
        EXPECT_EQ(Object->at("failed_address").Integer, 4096);
        EXPECT_EQ(Object->at("duration_ms").Integer, 27012);
        EXPECT_EQ(Object->at("set_sha256").String, std::string(64, 'a'));
        EXPECT_EQ(Object->at("image_sha256").String, std::string(64, 'b'));
        EXPECT_EQ(Object->at("started").String, "2026-12-08T14:05:09+01:00");
        EXPECT_EQ(Object->at("error").Kind, TJsonValue::Null);
        EXPECT_EQ(Object->at("unit_key").String, "SN-Łódź 7");
        EXPECT_EQ(Object->size(), 13u);
    }
}

TEST(CliRecord, UnknownValuesAreNull)
{
    TPortRecord R = SampleRecord("x.set");
    R.Version.clear();
    R.StablePort.clear();
    R.FailedAddress = -1;
    R.UnitKey.clear();
    const auto Object = ParseJsonObject(JsonRecord(R));
    ASSERT_TRUE(Object.has_value());
    EXPECT_EQ(Object->at("version").Kind, TJsonValue::Null);
    EXPECT_EQ(Object->at("stable_port").Kind, TJsonValue::Null);
    EXPECT_EQ(Object->at("failed_address").Kind, TJsonValue::Null);
    EXPECT_EQ(Object->at("unit_key").Kind, TJsonValue::Null);
}

// Twelve tab-separated fields on one line whatever the names hold.
TEST(CliRecord, AuditLineIsOneLineOfTwelveFields)
{
    TPortRecord R = SampleRecord("tab\there\nand a line.set");
    R.Version.clear();
    R.Error = "/dev/ttyS0: open: Permission\tdenied";
    const std::string Line = AuditLine(R, "host");
    ASSERT_FALSE(Line.empty());
    EXPECT_EQ(Line.back(), '\n');
    EXPECT_EQ(Line.find('\n'), Line.size() - 1);
    std::vector<std::string> Fields;
    size_t Start = 0;
    for (size_t Tab; (Tab = Line.find('\t', Start)) != std::string::npos; Start = Tab + 1)
        Fields.push_back(Line.substr(Start, Tab - Start));
    Fields.push_back(Line.substr(Start, Line.size() - 1 - Start));
    const std::vector<std::string> Expected = {
        "2026-12-08T14:05:09+01:00", "host", "COM3", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "-",
        "tab?here?and a line.set", std::string(64, 'a'), "program", "verify", "27012",
        "/dev/ttyS0: open: Permission?denied", "SN-Łódź 7"};
    EXPECT_EQ(Fields, Expected);
}

TEST(CliRecord, TimeHasItsZone)
{
    const std::string Time = IsoTimeNow();
    // 2026-12-08T14:05:09+01:00
    ASSERT_EQ(Time.size(), 25u) << Time;
    EXPECT_EQ(Time[10], 'T');
    EXPECT_TRUE(Time[19] == '+' || Time[19] == '-') << Time;
    EXPECT_EQ(Time[22], ':');
}

// A fake system under one folder: sysfs, /dev, /proc and the programs' Sys/.
class TFakeSystem {
public:
    TFakeSystem()
    {
        System.SysRoot = Folder.Path + "sys";
        System.DevRoot = Folder.Path + "dev";
        System.ProcRoot = Folder.Path + "proc";
        System.SysDir = Folder.Path + "Sys/";
        System.Uid = 1000;
        System.Groups = {1000};
        System.UserName = "tester";
        Make("sys/class/tty");
        Make("dev");
        Make("proc");
    }
    void Make(const std::string &Path) { Shell("mkdir -p '" + Folder.Path + Path + "'"); }
    void Link(const std::string &Target, const std::string &Path)
    {
        ASSERT_EQ(symlink(Target.c_str(), (Folder.Path + Path).c_str()), 0) << Path;
    }
    void Write(const std::string &Path, const std::string &Text)
    {
        std::ofstream(Folder.Path + Path) << Text << "\n";
    }
    // ttyUSB0 of an FTDI adapter at usb1/1-1, its node owned by root:Group, mode 0660.
    void AddUsbAdapter(gid_t Group)
    {
        const std::string Usb = "sys/devices/pci0000:00/usb1/1-1";
        Make(Usb + "/1-1:1.0/ttyUSB0");
        Make("sys/bus/usb-serial/drivers/ftdi_sio");
        Write(Usb + "/idVendor", "0403");
        Write(Usb + "/idProduct", "6001");
        Write(Usb + "/manufacturer", "FTDI");
        Write(Usb + "/product", "FT232R USB UART");
        Write(Usb + "/serial", "A50285BI");
        Write(Usb + "/1-1:1.0/ttyUSB0/latency_timer", "16");
        Make("sys/class/tty/ttyUSB0");
        Link("../../../devices/pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0", "sys/class/tty/ttyUSB0/device");
        Link("../../../../../../bus/usb-serial/drivers/ftdi_sio", Usb + "/1-1:1.0/ttyUSB0/driver");
        Write("dev/ttyUSB0", "");
        ASSERT_EQ(chown((Folder.Path + "dev/ttyUSB0").c_str(), 0, Group), 0);
        ASSERT_EQ(chmod((Folder.Path + "dev/ttyUSB0").c_str(), 0660), 0);
        Make("dev/serial/by-id");
        Link("../../ttyUSB0", "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    }
    // Terminals sysfs lists that are no serial ports: a virtual console, an 8250 slot without a UART.
    void AddNonPorts()
    {
        Make("sys/class/tty/tty0");
        Make("sys/devices/platform/serial8250/tty/ttyS0");
        Make("sys/bus/platform/drivers/serial8250");
        Make("sys/class/tty/ttyS0");
        Link("../../../devices/platform/serial8250/tty/ttyS0", "sys/class/tty/ttyS0/device");
        Link("../../../../../bus/platform/drivers/serial8250", "sys/devices/platform/serial8250/tty/ttyS0/driver");
        Write("sys/class/tty/ttyS0/type", "0");
        Write("dev/ttyS0", "");
    }
    void Shell(const std::string &Command)
    {
        ASSERT_EQ(std::system(Command.c_str()), 0) << Command;
    }

    TProgramFolder Folder;
    TPortsSystem System;
};

gid_t DialoutGroup()
{
    const group *Dialout = getgrnam("dialout");
    return Dialout != nullptr ? Dialout->gr_gid : 20;
}

TEST(CliPortsList, NoPorts)
{
    TFakeSystem Fake;
    Fake.AddNonPorts();
    const TPortList List = ListSerialPorts(Fake.System);
    const std::vector<TSerialPortInfo> &Ports = List.Ports;
    EXPECT_TRUE(Ports.empty());
    EXPECT_TRUE(List.Errors.empty());
    char *Text = nullptr;
    size_t Size = 0;
    FILE *Out = open_memstream(&Text, &Size);
    PrintPorts(Ports, Out);
    std::fclose(Out);
    EXPECT_EQ(std::string(Text, Size), "Brak portów szeregowych.\n");
    std::free(Text);
}

// What discovery could not look at is said, not taken for "no ports".
TEST(CliPortsList, UnreadableClassIsAnError)
{
    TFakeSystem Fake;
    Fake.Shell("rmdir '" + Fake.Folder.Path + "sys/class/tty'");
    Fake.Write("sys/class/tty", "");
    const TPortList List = ListSerialPorts(Fake.System);
    EXPECT_TRUE(List.Ports.empty());
    ASSERT_EQ(List.Errors.size(), 1u);
    EXPECT_EQ(List.Errors[0], Fake.System.SysRoot + "/class/tty/: opendir: Not a directory");
}

// A UART of a newer kernel: the serial core's port and ctrl devices stand
// between the tty and the driver that owns it.
TEST(CliPortsList, UartBehindTheSerialCore)
{
    TFakeSystem Fake;
    Fake.AddNonPorts();
    const std::string Uart = "sys/devices/pnp0/00:00";
    Fake.Make(Uart + "/00:00:0/00:00:0.0/tty/ttyS4");
    Fake.Make("sys/bus/pnp/drivers/serial");
    Fake.Make("sys/bus/serial-base/drivers/port");
    Fake.Make("sys/bus/serial-base/drivers/ctrl");
    Fake.Link("../../../bus/pnp/drivers/serial", Uart + "/driver");
    Fake.Link("../../../../bus/serial-base/drivers/ctrl", Uart + "/00:00:0/driver");
    Fake.Link("../../../../../bus/serial-base/drivers/port", Uart + "/00:00:0/00:00:0.0/driver");
    Fake.Make("sys/class/tty/ttyS4");
    Fake.Link("../../../devices/pnp0/00:00/00:00:0/00:00:0.0", "sys/class/tty/ttyS4/device");
    Fake.Write("sys/class/tty/ttyS4/type", "4");
    Fake.Write("dev/ttyS4", "");
    const std::vector<TSerialPortInfo> Ports = ListSerialPorts(Fake.System).Ports;
    ASSERT_EQ(Ports.size(), 1u);
    EXPECT_EQ(Ports[0].Name, Fake.Folder.Path + "dev/ttyS4");
    EXPECT_EQ(Ports[0].Driver, "serial");
    EXPECT_EQ(Ports[0].VendorProduct, "");
    EXPECT_EQ(Ports[0].LatencyTimer, "");
}

struct TPortsRow {
    const char *Name;
    bool InGroup;
    bool Held;
    bool ComLink;
};

const TPortsRow PortsRows[] = {
    {"AdapterInGroup", true, false, false},
    {"AdapterWithoutPermission", false, false, false},
    {"AdapterHeldByAnother", true, true, false},
    {"AdapterBehindComLink", true, false, true},
};

class PortsTest : public ::testing::TestWithParam<TPortsRow> {};

TEST_P(PortsTest, WhatTheListSays)
{
    const TPortsRow &Row = GetParam();
    TFakeSystem Fake;
    Fake.AddNonPorts();
    Fake.AddUsbAdapter(DialoutGroup());
    const std::string Node = Fake.Folder.Path + "dev/ttyUSB0";
    if (Row.InGroup)
        Fake.System.Groups.push_back(DialoutGroup());
    if (Row.Held) {
        Fake.Make("proc/4242/fd");
        Fake.Write("proc/4242/comm", "minicom");
        Fake.Link("/dev/null", "proc/4242/fd/0");
        Fake.Link(Node, "proc/4242/fd/3");
        Fake.Make("proc/4243/fd"); // a process without it
        Fake.Link("/dev/null", "proc/4243/fd/0");
    }
    Fake.Make("Sys");
    if (Row.ComLink)
        Fake.Link(Node, "Sys/COM2");
    const std::vector<TSerialPortInfo> Ports = ListSerialPorts(Fake.System).Ports;
    ASSERT_EQ(Ports.size(), 1u);
    const TSerialPortInfo &Port = Ports[0];
    EXPECT_EQ(Port.Name, Node);
    EXPECT_EQ(Port.StableName, Fake.Folder.Path + "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(Port.Driver, "ftdi_sio");
    EXPECT_EQ(Port.VendorProduct, "0403:6001");
    EXPECT_EQ(Port.Manufacturer, "FTDI");
    EXPECT_EQ(Port.Product, "FT232R USB UART");
    EXPECT_EQ(Port.Serial, "A50285BI");
    EXPECT_EQ(Port.LatencyTimer, "16");
    EXPECT_EQ(Port.MayOpen, Row.InGroup);
    const std::string Fix = Row.InGroup ? "" : "sudo usermod -aG " + std::string(getgrgid(DialoutGroup())->gr_name) +
                                                   " tester (potem ponowne zalogowanie)";
    EXPECT_EQ(Port.AccessFix, Fix);
    EXPECT_EQ(Port.Holder, Row.Held ? "4242 (minicom)" : "");
    EXPECT_EQ(Port.ComLinks, Row.ComLink ? std::vector<std::string>{"COM2"} : std::vector<std::string>{});
    const std::string Line = DescribePort(Port);
    EXPECT_EQ(Line.find('\n'), std::string::npos);
    EXPECT_NE(Line.find("opóźnienie adaptera: 16 ms"), std::string::npos) << Line;
    EXPECT_EQ(Line.find("brak dostępu: " + Fix) != std::string::npos, !Row.InGroup) << Line;
    EXPECT_EQ(Line.find("dostęp: tak") != std::string::npos, Row.InGroup) << Line;
    EXPECT_EQ(Line.find("zajęty przez: 4242 (minicom)") != std::string::npos, Row.Held) << Line;
    EXPECT_EQ(Line.find("łącze: COM2") != std::string::npos, Row.ComLink) << Line;
}

INSTANTIATE_TEST_SUITE_P(Cli, PortsTest, ::testing::ValuesIn(PortsRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(CliAssign, RefusesWhatIsNoTerminal)
{
    TProgramFolder Folder;
    const std::string Regular = Folder.Path + "image.bin";
    WriteBytes(Regular, "x", 1);
    const std::string Link = Folder.Path + "Sys/COM1";
    // The system's own terminals are terminals too, but no device is ever on them.
    for (const std::string &Device : {Regular, std::string("/dev/null"), Folder.Path + "missing", std::string("/dev/tty"),
                                      std::string("/dev/console"), std::string("/dev/ptmx")}) {
        std::string Error;
        EXPECT_FALSE(AssignComLink(Folder.Path + "Sys/", 1, Device, Error)) << Device;
        EXPECT_NE(Error.find(Device), std::string::npos) << Error;
        struct stat Info;
        EXPECT_NE(lstat(Link.c_str(), &Info), 0) << Device;
    }
}

TEST(CliAssign, PointsAtATerminalAndRemoves)
{
    TProgramFolder Folder;
    int Master = -1, Slave = -1;
    char Name[256] = {};
    ASSERT_EQ(openpty(&Master, &Slave, Name, nullptr, nullptr), 0);
    const std::string Link = Folder.Path + "Sys/COM3";
    std::string Error;
    ASSERT_TRUE(AssignComLink(Folder.Path + "Sys/", 3, Name, Error)) << Error;
    char Target[256] = {};
    ASSERT_GT(readlink(Link.c_str(), Target, sizeof Target - 1), 0);
    EXPECT_STREQ(Target, Name);
    ASSERT_TRUE(AssignComLink(Folder.Path + "Sys/", 3, "", Error)) << Error;
    struct stat Info;
    EXPECT_NE(lstat(Link.c_str(), &Info), 0);
    EXPECT_TRUE(AssignComLink(Folder.Path + "Sys/", 3, "", Error)); // removing what is not there
    // A Sys/COM3 that is a file of its own is not ours to replace.
    WriteBytes(Link, "x", 1);
    EXPECT_FALSE(AssignComLink(Folder.Path + "Sys/", 3, Name, Error));
    EXPECT_NE(Error.find("to nie jest łącze"), std::string::npos) << Error;
    EXPECT_EQ(ReadBytes(Link).size(), 1u);
    close(Master);
    close(Slave);
}

} // namespace
