// A batch from a units table without a device: rows handed out in table
// order, used up only by a programmed unit, given back by any other end,
// kept apart between two opens of one table (as two processes or two
// benches have them), and a batch that starts again where one stopped.
#include "UFiles.h"
#include "UProcs.h"
#include "UTextSlots.h"
#include "UUnitsBatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

class TTableFolder {
public:
    explicit TTableFolder(const std::string &Csv)
    {
        std::ofstream(Table, std::ios::binary) << Csv;
        SetDefaultSettings();
        Base = Settings;
    }
    ~TTableFolder() { std::filesystem::remove_all(Folder); }

    std::string Journal() const
    {
        std::ifstream In(UnitsJournalPath(Table), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(In), {});
    }
    bool Open(TUnitsBatch &Batch) const
    {
        std::string Error;
        const bool Opened = Batch.Open(Table, {}, Base, "base.set", Error);
        EXPECT_TRUE(Opened) << Error;
        return Opened;
    }

    // ctest runs the cases as processes side by side: the name must not repeat between them.
    static inline unsigned Made = 0;
    const std::string Folder = [] {
        const auto Path = std::filesystem::temp_directory_path() / ("tw-units-" + std::to_string(std::random_device{}()) + "-" + std::to_string(Made++));
        std::filesystem::create_directories(Path);
        return Path.string();
    }();
    const std::string Table = Folder + "/units.csv";
    TSettings Base;
};

const char *const FourUnits = "Jednostka;SimPin;Users[1].PhoneNumber\r\n"
                              "K1;1111;+48600000001\r\n"
                              "K2;2222;\r\n"
                              "K3;;+48600000003\r\n"
                              "K4;4444;+48600000004\r\n";

std::string Taken(TUnitsBatch &Batch, size_t Port)
{
    TRunSet Set;
    std::string Refusal;
    return Batch.Take(Port, Set, Refusal) ? Set.UnitKey : "refused: " + Refusal;
}

void Settle(TUnitsBatch &Batch, size_t Port, TPortResult Result)
{
    std::string Error;
    EXPECT_TRUE(Batch.Settle(Port, Result, Error)) << Error;
}

// In table order; a failed or stopped run gives its row back to the next
// port, a programmed one writes its key, and the table runs out.
TEST(UnitsBatch, RowsUsedOnlyBySuccess)
{
    TTableFolder F(FourUnits);
    TUnitsBatch Batch;
    ASSERT_TRUE(F.Open(Batch));
    EXPECT_EQ(Taken(Batch, 0), "K1");
    EXPECT_EQ(Taken(Batch, 1), "K2");
    EXPECT_EQ(Taken(Batch, 2), "K3");
    EXPECT_EQ(Batch.Count().Held, 3u);
    EXPECT_EQ(Taken(Batch, 2), "refused: port ma już jednostkę w toku: K3");
    Settle(Batch, 0, TPortResult::Ok);
    Settle(Batch, 1, TPortResult::Write);
    Settle(Batch, 2, TPortResult::Interrupted);
    EXPECT_EQ(F.Journal(), "K1\n");
    EXPECT_EQ(Batch.UnitOfPort(1), "");
    const TUnitsCount Count = Batch.Count();
    EXPECT_EQ(Count.Rows, 4u);
    EXPECT_EQ(Count.Used, 1u);
    EXPECT_EQ(Count.Left(), 3u);

    EXPECT_EQ(Taken(Batch, 0), "K2");
    EXPECT_EQ(Taken(Batch, 1), "K3");
    EXPECT_EQ(Taken(Batch, 2), "K4");
    EXPECT_EQ(Taken(Batch, 3).rfind("refused: brak wolnej jednostki", 0), 0u) << "every row is in progress";
    for (size_t Port = 0; Port < 3; ++Port)
        Settle(Batch, Port, TPortResult::Ok);
    EXPECT_EQ(F.Journal(), "K1\nK2\nK3\nK4\n");
    EXPECT_EQ(Taken(Batch, 3).rfind("refused: tabela jednostek " + F.Table + " wyczerpana", 0), 0u);
    EXPECT_EQ(Batch.Count().Left(), 0u);
}

// Two opens of one table exclude each other as two processes do: a row in
// progress in one is skipped by the other until it is given back, and a
// used one for good. A batch opened again goes on where the last stopped.
TEST(UnitsBatch, TwoOpensAndARestart)
{
    TTableFolder F(FourUnits);
    {
        TUnitsBatch A, B;
        ASSERT_TRUE(F.Open(A));
        ASSERT_TRUE(F.Open(B));
        EXPECT_EQ(Taken(A, 0), "K1");
        EXPECT_EQ(Taken(B, 0), "K2");
        EXPECT_EQ(Taken(A, 1), "K3");
        Settle(A, 0, TPortResult::NoReply);
        EXPECT_EQ(Taken(B, 1), "K1");
        Settle(B, 1, TPortResult::Ok);
        Settle(B, 0, TPortResult::Ok);
        EXPECT_EQ(Taken(A, 0), "K4");
        EXPECT_EQ(A.Count().Used, 2u) << "the other's units count";
        // A ends with K3 and K4 in progress: an interrupted batch.
    }
    EXPECT_EQ(F.Journal(), "K1\nK2\n");
    TUnitsBatch Again;
    ASSERT_TRUE(F.Open(Again));
    EXPECT_EQ(Again.Count().Left(), 2u);
    EXPECT_EQ(Taken(Again, 0), "K3");
    EXPECT_EQ(Taken(Again, 1), "K4");
}

// A journal cut short (a full disk) keeps its whole lines; the next key
// starts a line of its own; keys match in either case of ASCII letters.
TEST(UnitsBatch, JournalCutShortAndKeysInOtherCase)
{
    TTableFolder F(FourUnits);
    std::ofstream(UnitsJournalPath(F.Table), std::ios::binary) << "k2\r\nK";
    TUnitsBatch Batch;
    ASSERT_TRUE(F.Open(Batch));
    EXPECT_EQ(Batch.Count().Used, 1u);
    EXPECT_EQ(Taken(Batch, 0), "K1");
    Settle(Batch, 0, TPortResult::Ok);
    EXPECT_EQ(F.Journal(), "k2\r\nK\nK1\n");
    EXPECT_EQ(Taken(Batch, 0), "K3");
}

// A table with findings gives no unit and writes nothing.
TEST(UnitsBatch, RefusedTables)
{
    TTableFolder F("Jednostka;SimPin\nK1;12345\nK1;1\n");
    TUnitsBatch Batch;
    std::string Error;
    EXPECT_FALSE(Batch.Open(F.Table, {}, F.Base, "base.set", Error));
    EXPECT_EQ(Error, F.Table + ": tabela jednostek ma błędy");
    EXPECT_EQ(Batch.Table().Findings.size(), 2u);
    EXPECT_EQ(Taken(Batch, 0), "refused: tabela jednostek nie jest otwarta");
    EXPECT_FALSE(std::filesystem::exists(UnitsJournalPath(F.Table)));
}

// A unit whose set fails the check before a run (an SMS text the base
// leaves too long) is a finding of its row, before anything starts.
TEST(UnitsBatch, EveryRowsSetIsChecked)
{
    TTableFolder F("Jednostka;SimPin\nK1;1\nK2;2\n");
    const TFieldDesc &Sms = *FieldByName("Inputs[3].Users[2].Functions[1].SmsText");
    ASSERT_GT(Sms.Capacity, SmsTextSlotLimit);
    SetFieldValue(F.Base, Sms, TFieldValue{0, std::string(static_cast<size_t>(Sms.Capacity), 'x')});
    TUnitsTable Table;
    std::string Error;
    ASSERT_TRUE(ReadUnitsTable(F.Table, {}, F.Base, Table, Error)) << Error;
    ASSERT_EQ(Table.Findings.size(), 2u);
    EXPECT_EQ(Table.Findings[0].Line, 2);
    EXPECT_EQ(Table.Findings[1].Line, 3);
    EXPECT_EQ(Table.Findings[0].Problem, TUnitsProblem::SetCheck);
    EXPECT_EQ(UnitsFindingText(Table, Table.Findings[0]).rfind("wiersz 2: zestaw jednostki K1: Zbyt długa treść SMS", 0),
              0u)
        << UnitsFindingText(Table, Table.Findings[0]);
}

// What a front end sees through the host of a batch: the unit named before
// its run, its row settled before its record is passed on.
class TRecordingHost : public TStationHost {
public:
    void PortLine(size_t, const std::string &) override {}
    void PortNote(size_t Port, TNoteKind, const std::string &Text) override
    {
        Calls.push_back(std::to_string(Port) + " " + Text);
    }
    void PortStatus(size_t, const TRunStatus &) override {}
    void PortFinished(size_t Port, const TPortRecord &Record) override
    {
        Calls.push_back(std::to_string(Port) + " finished " + Record.UnitKey + " " + PortResultName(Record.Result) +
                        " left " + std::to_string(Batch->Count().Left()));
    }
    TUnitsBatch *Batch = nullptr;
    std::vector<std::string> Calls;
};

TEST(UnitsBatch, HostNamesUnitsAndSettlesBeforeTheRecord)
{
    TTableFolder F(FourUnits);
    TUnitsBatch Batch;
    ASSERT_TRUE(F.Open(Batch));
    TRecordingHost Inner;
    Inner.Batch = &Batch;
    TUnitsHost Host(Inner, Batch);
    const TSetProvider SetFor = Host.Provider();
    TRunSet Set;
    std::string Refusal;
    ASSERT_TRUE(SetFor(0, "COM1", Set, Refusal));
    ASSERT_TRUE(SetFor(1, "COM2", Set, Refusal));
    ASSERT_TRUE(SetFor(2, "COM3", Set, Refusal));
    ASSERT_TRUE(SetFor(3, "COM4", Set, Refusal));
    ASSERT_FALSE(SetFor(4, "COM5", Set, Refusal));
    TPortRecord Record;
    Record.UnitKey = "K1";
    Record.Result = TPortResult::Ok;
    Host.PortFinished(0, Record);
    Record.UnitKey = "K2";
    Record.Result = TPortResult::Crashed;
    Host.PortFinished(1, Record);
    EXPECT_EQ(Inner.Calls, (std::vector<std::string>{"0 Jednostka: K1 (wiersz 2)", "1 Jednostka: K2 (wiersz 3)",
                                                     "2 Jednostka: K3 (wiersz 4)", "3 Jednostka: K4 (wiersz 5)",
                                                     "4 " + Refusal, "0 finished K1 ok left 0",
                                                     "1 finished K2 crashed left 1"}));
    EXPECT_FALSE(Host.JournalFailed());
}

} // namespace
