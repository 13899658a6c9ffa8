#include "Cp1250.h"
#include "UDecls.h"
#include "UFields.h"
#include "UImage.h"
#include "UImageMap.h"
#include "UProcs.h"

#include <benchmark/benchmark.h>

#include <string>

static void BM_SetDefaultSettings(benchmark::State &State)
{
    for (auto _ : State) {
        SetDefaultSettings();
        benchmark::DoNotOptimize(Settings);
    }
}
BENCHMARK(BM_SetDefaultSettings);

static void BM_EncodeDeviceImage(benchmark::State &State)
{
    SetDefaultSettings();
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == TFieldKind::Text)
            SetFieldText(Settings, F, std::string(static_cast<size_t>(F.Capacity), 'x'));
    for (auto _ : State) {
        EncodeDeviceImage();
        benchmark::DoNotOptimize(DeviceImage);
    }
}
BENCHMARK(BM_EncodeDeviceImage);

// A set whose every text fills its slot: the decoder's longest path.
static void BM_DecodeDeviceImage(benchmark::State &State)
{
    SetDefaultSettings();
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == TFieldKind::Text)
            SetFieldText(Settings, F, std::string(F.Capacity == 160 ? 60 : static_cast<size_t>(F.Capacity), 'x'));
    static uint8_t Image[DeviceImageSize];
    EncodeImageOf(Settings, Image);
    static TSettings Set;
    for (auto _ : State) {
        Set = Settings;
        benchmark::DoNotOptimize(DecodeDeviceImage(Image, Set));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DecodeDeviceImage);

static void BM_CheckSettings(benchmark::State &State)
{
    SetDefaultSettings();
    for (auto _ : State)
        benchmark::DoNotOptimize(CheckSettings());
}
BENCHMARK(BM_CheckSettings);

static void BM_Utf8ToCp1250(benchmark::State &State)
{
    std::string Text;
    while (Text.size() < 160)
        Text += "Zażółć gęślą jaźń ";
    for (auto _ : State)
        benchmark::DoNotOptimize(Utf8ToCp1250(Text));
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * Text.size()));
}
BENCHMARK(BM_Utf8ToCp1250);

BENCHMARK_MAIN();
