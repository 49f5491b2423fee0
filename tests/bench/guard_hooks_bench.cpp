// Per-event cost of the hooks' decisions: they run inside the system's input
// path for the whole desktop.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "guard/input_rules.h"

namespace {

void BM_SwallowTest(benchmark::State& state)
{
    // A mix of typed keys, Ctrl, Alt and Windows key events.
    static const uint32_t codes[8] = {'A', 0x0D, KEY_LEFT_CONTROL, 'Z', KEY_LEFT_WIN, 0x09, KEY_LEFT_MENU, '7'};
    uint32_t i = 0;
    for (auto _ : state) {
        const uint32_t n = i++;
        bool swallowed = ShouldSwallowKey((n & 16) != 0, codes[n & 7], (n & 32) != 0);
        benchmark::DoNotOptimize(swallowed);
    }
}
BENCHMARK(BM_SwallowTest);

void BM_MotionStep(benchmark::State& state)
{
    // A cursor wandering in small steps, as a hand moves it.
    MotionState motion;
    ResetMotion(motion, 0, 0);
    int32_t x = 0;
    int32_t y = 0;
    uint32_t i = 0;
    for (auto _ : state) {
        ++i;
        x += int32_t(i % 5) - 2;
        y += int32_t(i % 3) - 1;
        bool raised = StepMotion(motion, x, y, 1000000);
        benchmark::DoNotOptimize(raised);
    }
}
BENCHMARK(BM_MotionStep);

void BM_MotionStepNoMove(benchmark::State& state)
{
    // Clicks and wheel turns: the position does not change.
    MotionState motion;
    ResetMotion(motion, 640, 400);
    for (auto _ : state) {
        bool raised = StepMotion(motion, 640, 400, 50);
        benchmark::DoNotOptimize(raised);
    }
}
BENCHMARK(BM_MotionStepNoMove);

}  // namespace
