#include "tests/support/Fuzzer.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <typeinfo>

#include "tests/support/FuzzAllocations.h"
#include "tests/support/FuzzWatchdog.h"
#include "tests/support/TestHandles.h"

namespace {

constexpr unsigned kCrashExitCode = 98;
constexpr std::size_t kBatchSize = 256;
constexpr std::size_t kHeapCheckEvery = 16;
constexpr std::size_t kPoolSize = 512;

std::uint64_t NumberFromEnvironment(const char* name, std::uint64_t fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

std::uint64_t NameHash(const std::string& name)
{
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (char c : name)
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ull;
    return hash;
}

bool HeapsIntact()
{
    HANDLE heaps[256];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(256, heaps), 256);
    for (DWORD i = 0; i < count; ++i) {
        if (!HeapValidate(heaps[i], 0, nullptr))
            return false;
    }
    return true;
}

// An input on its way through the target, with where it came from.
struct TInput {
    TFuzzBytes bytes;
    std::string origin;
    bool mutant = false;
};

// The run in progress. The fault filter, the terminate handler and the
// watchdog cannot be handed it, so it is reachable from here while it runs.
class TRun;
TRun* running = nullptr;

class TRun {
public:
    TRun(const TFuzzTarget& target, const TFuzzOptions& options)
        : target_(target), options_(options),
          watchdog_(options.hangAfterMs, [this] { End(&TFuzzFigures::hangs, "hang", "ran longer than the watchdog allows"); })
    {
        figures_.target = target.name;
        running = this;
        previousTerminate_ = std::set_terminate(OnTerminate);
    }
    ~TRun()
    {
        std::set_terminate(previousTerminate_);
        running = nullptr;
    }
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;

    void Batch(const std::vector<TInput>& inputs, bool checkEach)
    {
        if (target_.prepare) {
            std::vector<TFuzzBytes> bytes;
            for (const TInput& input : inputs)
                bytes.push_back(input.bytes);
            target_.prepare(bytes);
        }
        for (const TInput& input : inputs) {
            const bool accepted = Load(input);
            if (accepted && input.mutant)
                Keep(input.bytes);
            recent_.push_back(input);
            if (checkEach || recent_.size() == kHeapCheckEvery) {
                if (!HeapsIntact())
                    HeapDamaged();
                recent_.clear();
            }
        }
    }

    void Keep(const TFuzzBytes& bytes)
    {
        if (pool_.size() < seedCount_ + kPoolSize)
            pool_.push_back(bytes);
        else
            pool_[seedCount_ + mutator_->Random().Below(kPoolSize)] = bytes;
    }

    void Run(const std::vector<TCorpusEntry>& corpus)
    {
        std::vector<TInput> batch;
        for (const TCorpusEntry& entry : corpus) {
            // Regressions are mostly one costly pathology each; mutants of
            // them would spend the run on it again.
            if (entry.name.rfind("regressions/", 0) != 0)
                pool_.push_back(entry.bytes);
            batch.push_back({entry.bytes, entry.name, false});
            if (batch.size() == kBatchSize) {
                Batch(batch, true);
                batch.clear();
            }
        }
        Batch(batch, true);
        seedCount_ = pool_.size();
        if (seedCount_ == 0)
            return PrintFigures(figures_);

        TMutator mutator(options_.seed ^ NameHash(target_.name), options_.maxInputSize, options_.dictionary);
        mutator_ = &mutator;
        for (std::size_t done = 0; done < options_.mutants;) {
            batch.clear();
            for (; batch.size() < kBatchSize && done < options_.mutants; ++done) {
                // Half the parents are seeds, so that accepted mutants of
                // one kind cannot crowd out the others.
                const bool fromSeeds = pool_.size() == seedCount_ || mutator.Random().OneIn(2);
                const std::size_t parent = fromSeeds ? mutator.Random().Below(seedCount_)
                                                     : seedCount_ + mutator.Random().Below(pool_.size() - seedCount_);
                batch.push_back({mutator.Mutate(pool_[parent], pool_), "mutant " + std::to_string(done), true});
            }
            Batch(batch, false);
        }
        mutator_ = nullptr;
        PrintFigures(figures_);
    }

    TFuzzResult Result() const { return {figures_, failures_}; }

private:
    // One input through the target; true when the reader accepted it.
    bool Load(const TInput& input)
    {
        current_ = &input;
        ++figures_.inputs;
        if (input.mutant)
            ++figures_.mutants;
        std::string failure;
        bool accepted = false;
        std::size_t largest = 0;
        bool overCap = false;
        {
            TAllocationWatch watch(options_.allocationCap + 4 * input.bytes.size());
            watchdog_.Begin();
            try {
                target_.load(input.bytes);
                accepted = true;
            } catch (const TFuzzViolation& violation) {
                failure = std::string("broken promise: ") + violation.what();
            } catch (const std::bad_alloc&) {
                // Allocations beyond the cap are counted below; a real
                // shortage is the framework's out-of-memory error.
            } catch (const std::exception& error) {
                if (!target_.refusal(error))
                    failure = std::string("foreign error ") + typeid(error).name() + ": " + error.what();
                else if (options_.verbose)
                    std::printf("fuzz: %s refused: %s\n", input.origin.c_str(), error.what());
            } catch (...) {
                failure = "foreign error of unknown type";
            }
            watchdog_.End();
            largest = watch.Largest();
            overCap = watch.CapExceeded();
        }
        current_ = nullptr;
        figures_.largestAllocation = std::max(figures_.largestAllocation, largest);
        if (overCap) {
            ++figures_.overCap;
            Record("overcap", "asked for " + std::to_string(largest) + " bytes at once", input);
            return false;
        }
        if (!failure.empty()) {
            ++figures_.crashes;
            Record("crash", failure, input);
            return false;
        }
        ++(accepted ? figures_.accepted : figures_.refused);
        if (accepted && options_.verbose)
            std::printf("fuzz: %s accepted\n", input.origin.c_str());
        return accepted;
    }

    void Record(const std::string& kind, const std::string& what, const TInput& input)
    {
        const std::string path = SaveFinding(target_.name, kind, input.bytes);
        failures_.push_back(target_.name + ": " + what + " on " + input.origin + ", saved as " + path);
        std::fprintf(stderr, "fuzz: %s\n", failures_.back().c_str());
    }

    [[noreturn]] void HeapDamaged()
    {
        ++figures_.crashes;
        std::fprintf(stderr, "fuzz: %s: the heap was damaged by one of these inputs:\n", target_.name.c_str());
        for (const TInput& input : recent_)
            std::fprintf(stderr, "  %s, saved as %s\n", input.origin.c_str(),
                         SaveFinding(target_.name, "heap", input.bytes).c_str());
        PrintFigures(figures_);
        TerminateProcess(GetCurrentProcess(), kCrashExitCode);
        std::abort();
    }

    // Says which input faulted or hung, saves it and prints the figures;
    // the caller ends the process. After a fault the heap may be damaged:
    // the news and the input go out first, without allocating.
    void End(std::uint64_t TFuzzFigures::*counter, const char* kind, const char* what)
    {
        ++(figures_.*counter);
        const bool fault = counter == &TFuzzFigures::crashes;
        char news[1024];
        std::snprintf(news, sizeof news, "fuzz: %s: %s on %s, saved as %s\r\n", target_.name.c_str(), what,
                      current_ ? current_->origin.c_str() : "no input",
                      !current_ ? "nothing"
                      : fault   ? faultFile_.Write(current_->bytes)
                                : SaveFinding(target_.name, kind, current_->bytes).c_str());
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), news, static_cast<DWORD>(std::strlen(news)), &written, nullptr);
        PrintFigures(figures_);
        std::fflush(stderr);
    }

    static LONG WINAPI OnFault(EXCEPTION_POINTERS* info)
    {
        if (running) {
            char what[96];
            std::snprintf(what, sizeof what, "fault %08lX at %p",
                          static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                          info->ExceptionRecord->ExceptionAddress);
            running->End(&TFuzzFigures::crashes, "crash", what);
        }
        TerminateProcess(GetCurrentProcess(), kCrashExitCode);
        return EXCEPTION_EXECUTE_HANDLER;
    }

    static void OnTerminate()
    {
        if (running)
            running->End(&TFuzzFigures::crashes, "crash", "std::terminate");
        TerminateProcess(GetCurrentProcess(), kCrashExitCode);
        std::abort();
    }

    const TFuzzTarget& target_;
    const TFuzzOptions& options_;
    TFuzzFigures figures_;
    TFaultFile faultFile_{target_.name};
    std::vector<std::string> failures_;
    std::vector<TFuzzBytes> pool_;
    std::size_t seedCount_ = 0;
    std::vector<TInput> recent_;
    const TInput* current_ = nullptr;
    TMutator* mutator_ = nullptr;
    TUnhandledFaultFilter faultFilter_{OnFault};
    std::terminate_handler previousTerminate_ = nullptr;
    TWatchdog watchdog_;
};

} // namespace

TFuzzOptions FuzzOptions(std::size_t mutants, std::size_t allocationCap)
{
    TFuzzOptions options;
    options.mutants = static_cast<std::size_t>(NumberFromEnvironment("ZELMORIA_FUZZ_COUNT", mutants));
    options.seed = NumberFromEnvironment("ZELMORIA_FUZZ_SEED", 1);
    options.allocationCap = allocationCap;
    options.verbose = std::getenv("ZELMORIA_FUZZ_INPUT") != nullptr;
    return options;
}

TFuzzResult RunFuzzer(const TFuzzTarget& target, const std::vector<TCorpusEntry>& corpus, const TFuzzOptions& options)
{
    TRun run(target, options);
    run.Run(corpus);
    return run.Result();
}
