// apply_benchmark PAYLOAD [REPETITIONS]
// Times the apply step (LoadPayload, then the replacement of the executable)
// against zlib's one-shot uncompress of the same resource plus one plain
// write (and, for comparison, the same with the write flushed), and reports
// the memory the apply step takes at its peak.

#include <windows.h>
#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "framework/runtime/Errors.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/ProgramStart.h"
#include "framework/runtime/Streams.h"
#include "tests/support/TestSupport.h"
#include "updater/ApplyStep.h"

namespace {

constexpr int kDefaultRepetitions = 15;
constexpr std::int32_t kContainerHeader = 17;
constexpr double kRatioTarget = 1.2;
constexpr SIZE_T kMiB = 1 << 20;

PROCESS_MEMORY_COUNTERS MemoryCounters()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

unsigned long long KiB(SIZE_T bytes)
{
    return bytes / 1024;
}

// The raw payload resource, as the one-shot path reads it.
struct TPackedPayload {
    const Bytef* zlibStream;
    uLong zlibSize;
    uLong declaredSize;
};

TPackedPayload FindPackedPayload(const char* name)
{
    TResourceStream resource(GetModuleHandleA(nullptr), name, RT_RCDATA);
    if (resource.Size() <= kContainerHeader || std::memcmp(resource.Memory(), "ZLIBCompress\x1A", 13) != 0)
        throw Exception(std::string(name) + " is not a container");
    std::uint32_t declared;
    std::memcpy(&declared, resource.Memory() + 13, 4);
    return {resource.Memory() + kContainerHeader, static_cast<uLong>(resource.Size() - kContainerHeader), declared};
}

void ApplyStep(const char* name, const std::string& target)
{
    TMemoryStream work;
    LoadPayload(work, name, RT_RCDATA);
    ReplaceExecutable(target, work);
}

// The apply step flushes its file before the replacement; the flushed
// one-shot shows how much of the difference that durability costs.
enum class TFlush { No, Yes };

void OneShot(const TPackedPayload& payload, const std::string& target, TFlush flush)
{
    std::vector<Bytef> executable(payload.declaredSize);
    uLongf size = payload.declaredSize;
    if (uncompress(executable.data(), &size, payload.zlibStream, payload.zlibSize) != Z_OK || size != executable.size())
        throw Exception("uncompress failed");
    TKernelHandle file(
        CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EFCreateError(target);
    DWORD done = 0;
    const BOOL written = WriteFile(file.Get(), executable.data(), size, &done, nullptr);
    const BOOL flushed = flush == TFlush::No || FlushFileBuffers(file.Get());
    const bool closed = file.Close();
    if (!written || !flushed || !closed || done != size)
        throw EWriteError();
}

void Run(const char* name, int repetitions)
{
    const TPackedPayload payload = FindPackedPayload(name);
    const TTempFolder folder;
    const std::string applied = folder.File("Korvantis.exe");
    const std::string plain = folder.File("plain.exe");

    // Memory first, while nothing but the start-up has raised the peak. Wine
    // keeps no peak of the private bytes (its "peak" is the current value),
    // so they are also sampled while the payload is held.
    const PROCESS_MEMORY_COUNTERS before = MemoryCounters();
    PROCESS_MEMORY_COUNTERS loaded;
    {
        TMemoryStream work;
        LoadPayload(work, name, RT_RCDATA);
        loaded = MemoryCounters();
        ReplaceExecutable(applied, work);
    }
    const PROCESS_MEMORY_COUNTERS after = MemoryCounters();
    OneShot(payload, plain, TFlush::No);

    std::vector<double> applyTimes, oneShotTimes, flushedTimes, ratios, flushedRatios;
    for (int i = 0; i < repetitions; ++i) {
        const double start = Seconds();
        ApplyStep(name, applied);
        const double applyEnd = Seconds();
        OneShot(payload, plain, TFlush::No);
        const double oneShotEnd = Seconds();
        OneShot(payload, plain, TFlush::Yes);
        const double flushedEnd = Seconds();
        applyTimes.push_back(applyEnd - start);
        oneShotTimes.push_back(oneShotEnd - applyEnd);
        flushedTimes.push_back(flushedEnd - oneShotEnd);
        ratios.push_back(applyTimes.back() / oneShotTimes.back());
        flushedRatios.push_back(applyTimes.back() / flushedTimes.back());
    }

    const double ratio = Median(ratios);
    const SIZE_T peakRise = after.PeakWorkingSetSize - before.WorkingSetSize;
    const SIZE_T peakPagefile = std::max(after.PeakPagefileUsage, loaded.PagefileUsage);
    const SIZE_T pagefileRise = peakPagefile - before.PagefileUsage;
    const SIZE_T memoryTarget = 2 * payload.declaredSize + kMiB;
    std::printf("payload %s: %lu bytes in the container, %lu bytes inflated, %d repetitions\n", name,
                payload.zlibSize + kContainerHeader, payload.declaredSize, repetitions);
    std::printf("  apply step     median %8.3f ms\n", Median(applyTimes) * 1000);
    std::printf("  one-shot       median %8.3f ms\n", Median(oneShotTimes) * 1000);
    std::printf("  median ratio   %8.3f   (target <= %.1f: %s)\n", ratio, kRatioTarget,
                ratio <= kRatioTarget ? "met" : "missed");
    std::printf("  one-shot with flushed write  median %8.3f ms, ratio %.3f\n", Median(flushedTimes) * 1000,
                Median(flushedRatios));
    std::printf("  peak working set %llu KiB (%llu KiB before), %llu KiB above the start\n",
                KiB(after.PeakWorkingSetSize), KiB(before.PeakWorkingSetSize), KiB(peakRise));
    std::printf("  peak pagefile    %llu KiB, %llu KiB above the start\n", KiB(peakPagefile), KiB(pagefileRise));
    std::printf("  memory target  rise <= %llu KiB (2 x executable + 1 MiB): %s\n", KiB(memoryTarget),
                std::max(peakRise, pagefileRise) <= memoryTarget ? "met" : "missed");
}

} // namespace

int main(int argc, char** argv)
{
    RecordProgramStart();
    if (argc < 2) {
        std::fprintf(stderr, "usage: apply_benchmark PAYLOAD [REPETITIONS]\n");
        return 2;
    }
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultRepetitions;
    try {
        Run(argv[1], repetitions);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "apply_benchmark: %s\n", MessageOf(error).c_str());
        return 1;
    }
    return 0;
}
