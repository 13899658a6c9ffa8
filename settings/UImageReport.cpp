// What a decoding and a comparison say, in the words of the window's tabs.
#include "UImage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace {

constexpr uint32_t ShownRunBytes = 16;

// The report's words for each group; counted groups give the noun's three forms.
struct TGroupWords {
    const char *One, *Few = nullptr, *Many = nullptr;
    const char *Tail = "";
};

TGroupWords WordsOf(TKeptGroup Group)
{
    switch (Group) {
    case TKeptGroup::None: break;
    case TKeptGroup::Descriptions: return {"identyfikatory i opisy użytkowników, wejść i wyjść"};
    case TKeptGroup::GpsReplies: return {"odpowiedzi GPS dla każdego numeru i ich kod"};
    case TKeptGroup::SmsValidity: return {"ważność SMS"};
    case TKeptGroup::DeviceVersion: return {"wersja nadajnika"};
    case TKeptGroup::SmsCodes:
        return {"kod SMS wyłączony lub pusty", "kody SMS wyłączone lub puste", "kodów SMS wyłączonych lub pustych"};
    case TKeptGroup::SmsSwitches:
        return {"przełącznik „po SMS” przy pustym kodzie", "przełączniki „po SMS” przy pustych kodach",
                "przełączników „po SMS” przy pustych kodach"};
    case TKeptGroup::TestPeriod: return {"okres testu (test wyłączony)"};
    case TKeptGroup::SimPin: return {"PIN karty SIM (brak w urządzeniu)"};
    case TKeptGroup::RevertTimes:
        return {"czas powrotu wyjścia", "czasy powrotu wyjść", "czasów powrotu wyjść", " (powrót wyłączony)"};
    }
    return {""};
}

constexpr size_t GroupCount = static_cast<size_t>(TKeptGroup::RevertTimes) + 1;

std::string Joined(const std::vector<std::string> &Items)
{
    std::string Out;
    for (const std::string &Item : Items)
        Out += (Out.empty() ? "" : ", ") + Item;
    return Out;
}

std::string HexRun(const uint8_t *P, uint32_t Count)
{
    std::string Out;
    char Byte[4];
    for (uint32_t I = 0; I < Count && I < ShownRunBytes; ++I) {
        std::snprintf(Byte, sizeof Byte, I ? " %02X" : "%02X", P[I]);
        Out += Byte;
    }
    if (Count > ShownRunBytes)
        Out += " …";
    return Out;
}

} // namespace

std::string ImageFindingText(const TImageFinding &Finding)
{
    char Head[48];
    std::snprintf(Head, sizeof Head, "0x%04X (%u), %u B: ", Finding.Offset, Finding.Offset, Finding.Count);
    return Head + (Finding.Field != nullptr ? Finding.Field->Name + ": " : std::string()) + Finding.Text;
}

std::vector<std::string> DecodingReport(const TImageDecoding &Decoding)
{
    // Each group goes on the line of its reason: not stored at all, or not given by this image.
    std::array<size_t, GroupCount> Count{};
    std::array<bool, GroupCount> Stored{};
    std::vector<std::string> Damaged;
    for (const TKeptField &K : Decoding.Kept) {
        if (K.Reason == TKeptReason::Untrusted) {
            if (std::find(Damaged.begin(), Damaged.end(), K.Field->Name) == Damaged.end())
                Damaged.push_back(K.Field->Name);
            continue;
        }
        const auto G = static_cast<size_t>(K.Group);
        if (K.Group == TKeptGroup::None)
            continue;
        ++Count[G];
        Stored[G] = K.Reason == TKeptReason::NotInImage;
    }
    std::vector<std::string> NotStored, NotGiven;
    for (size_t G = 1; G < GroupCount; ++G) {
        if (Count[G] == 0)
            continue;
        const TGroupWords W = WordsOf(static_cast<TKeptGroup>(G));
        const std::string Item = (W.Few != nullptr ? CountedNoun(Count[G], W.One, W.Few, W.Many) : W.One) + W.Tail;
        (Stored[G] ? NotStored : NotGiven).push_back(Item);
    }

    std::vector<std::string> Lines;
    if (!NotStored.empty())
        Lines.push_back("Z zestawu bazowego, bo urządzenie ich nie przechowuje: " + Joined(NotStored) + ".");
    if (!NotGiven.empty())
        Lines.push_back("Z zestawu bazowego, bo urządzenie ich nie podaje: " + Joined(NotGiven) + ".");
    if (!Damaged.empty())
        Lines.push_back("Z zestawu bazowego, bo ich bajty są uszkodzone: " + Joined(Damaged) + ".");
    if (Decoding.Findings.empty())
        return Lines;
    Lines.push_back("Uwagi do obrazu pamięci (" + std::to_string(Decoding.Findings.size()) + "):");
    // A blank or foreign device repeats one finding over many fields: one line for each such run.
    const std::vector<TImageFinding> &All = Decoding.Findings;
    for (size_t I = 0; I < All.size();) {
        size_t End = I + 1;
        while (End < All.size() && All[I].Field != nullptr && All[End].Field != nullptr && All[End].Text == All[I].Text)
            ++End;
        if (End - I < 3) {
            for (; I < End; ++I)
                Lines.push_back("  " + ImageFindingText(All[I]));
            continue;
        }
        char Head[64];
        std::snprintf(Head, sizeof Head, "0x%04X (%u) … 0x%04X (%u), %zu pól: ", All[I].Offset, All[I].Offset,
                      All[End - 1].Offset, All[End - 1].Offset, End - I);
        Lines.push_back("  " + std::string(Head) + All[I].Field->Name + " … " + All[End - 1].Field->Name + ": " +
                        All[I].Text);
        I = End;
    }
    return Lines;
}

std::vector<TImageDifference> CompareDeviceImage(const TSettings &Set, const uint8_t (&Device)[DeviceImageSize])
{
    // What the image carries only through the presence of bytes starts cleared on both sides.
    auto Base = std::make_unique<TSettings>(Set);
    ClearImpliedByImage(*Base);

    struct TWork {
        uint8_t SetImage[DeviceImageSize];
        uint8_t Again[DeviceImageSize];
        TSettings FromSet, FromDevice;
    };
    auto W = std::make_unique<TWork>();
    EncodeImageOf(Set, W->SetImage);
    W->FromSet = *Base;
    DecodeDeviceImage(W->SetImage, W->FromSet);
    W->FromDevice = *Base;
    DecodeDeviceImage(Device, W->FromDevice);
    EncodeImageOf(W->FromDevice, W->Again);

    std::vector<TImageDifference> Out;
    for (const TFieldDesc *F : FieldsInRecordOrder())
        if (!SameFieldValue(W->FromSet, W->FromDevice, *F))
            Out.push_back({F, FieldValueText(W->FromSet, *F), FieldValueText(W->FromDevice, *F), 0, 0});

    // A byte is explained when the device's settings, encoded again, give it back.
    auto Unexplained = [&](uint32_t I) { return W->SetImage[I] != Device[I] && W->Again[I] != Device[I]; };
    for (uint32_t I = 0; I < DeviceImageSize;) {
        if (!Unexplained(I)) {
            ++I;
            continue;
        }
        uint32_t End = I;
        while (End < DeviceImageSize && Unexplained(End))
            ++End;
        Out.push_back({nullptr, HexRun(&W->SetImage[I], End - I), HexRun(&Device[I], End - I), I, End - I});
        I = End;
    }
    return Out;
}

std::string ImageDifferenceText(const TImageDifference &D)
{
    if (D.Field != nullptr)
        return D.Field->Name + ": zestaw " + D.SetValue + ", urządzenie " + D.DeviceValue;
    char Head[64];
    std::snprintf(Head, sizeof Head, "0x%04X (%u), %u B", D.Offset, D.Offset, D.Count);
    return std::string(Head) + ": zestaw " + D.SetValue + ", urządzenie " + D.DeviceValue;
}
