// Throughput of the receive path: RtMidi's callback with one frame per call,
// as the JACK back end delivers them, through the trace, the frame assembler
// and the decoder into the hub. Allocations are counted over the timed loop.

#include "app/globals.h"
#include "core/minicore.h"
#include "midi/receivecallback.h"
#include "midi/trace.h"
#include "protocol/protocol.h"
#include "support/hubharness.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<long long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* const memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

std::vector<unsigned char> frameOf(std::initializer_list<unsigned char> body)
{
    std::vector<unsigned char> frame(Protocol::kHeader.begin(), Protocol::kHeader.end());
    for (const unsigned char byte : body)
        frame.push_back(byte);
    frame.push_back(Protocol::kSysExEnd);
    return frame;
}

constexpr int kBlockContent = 128;

// A backup block of kBlockContent bytes at the given position.
std::vector<unsigned char> blockAt(int position)
{
    std::vector<unsigned char> frame(Protocol::kHeader.begin(), Protocol::kHeader.end());
    frame.push_back(static_cast<unsigned char>(Protocol::Command::BackupBlock));
    for (int shift = 21; shift >= 0; shift -= 7)
        frame.push_back(static_cast<unsigned char>((position >> shift) & Protocol::kDataMask));
    for (int i = 0; i < kBlockContent; ++i)
        frame.push_back(static_cast<unsigned char>(i & Protocol::kDataMask));
    frame.push_back(Protocol::kSysExEnd);
    return frame;
}

void run(benchmark::State& state, std::vector<std::vector<unsigned char>>& frames, void (*between)(int))
{
    std::size_t bytesPerRound = 0;
    for (const auto& frame : frames)
        bytesPerRound += frame.size();
    const long long before = g_allocations.load();
    int round = 0;
    for (auto _ : state) {
        for (auto& frame : frames)
            receiveCallback(0.0, &frame, nullptr);
        if (between)
            between(++round);
    }
    const auto bytes = static_cast<long long>(state.iterations() * bytesPerRound);
    state.SetBytesProcessed(bytes);
    state.counters["allocations per KiB"] =
        benchmark::Counter(1024.0 * static_cast<double>(g_allocations.load() - before) / static_cast<double>(bytes));
}

// Short reports that the decoder stores without raising a signal (the memory
// index, the restore acknowledgement), so no slot's widget work is counted.
void BM_ShortReports(benchmark::State& state)
{
    const auto memoryIndex = static_cast<unsigned char>(Protocol::Command::SelectMemory);
    const auto acknowledge = static_cast<unsigned char>(Protocol::Command::Acknowledge);
    std::vector<std::vector<unsigned char>> frames;
    for (unsigned char i = 0; i < Protocol::kDataMask; ++i) {
        frames.push_back(frameOf({memoryIndex, 0x01, i}));
        frames.push_back(frameOf({acknowledge, Protocol::kNoValue}));
    }
    run(state, frames, nullptr);
}
BENCHMARK(BM_ShortReports);

// A backup's blocks, collected, each raising its progress figure; a new backup
// starts before the collector fills.
void restartBackup(int round)
{
    constexpr int kRoundsPerBackup = 100;
    if (round % kRoundsPerBackup == 0)
        g_miniCore->startBackup();
}

void BM_BackupBlocks(benchmark::State& state)
{
    std::vector<std::vector<unsigned char>> frames;
    for (int i = 0; i < 100; ++i)
        frames.push_back(blockAt(i * kBlockContent));
    g_miniCore->startBackup();
    run(state, frames, restartBackup);
}
BENCHMARK(BM_BackupBlocks);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Trace::setStream(std::fopen("/dev/null", "w"));
    HubHarness harness;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
