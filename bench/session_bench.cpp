// Speed of what online play's rollback does: a snapshot of the game saved and
// restored, one pass without pixels in a twelve-tank battle, and the same pass
// followed by a rollback of 8 passes (restore, 8 passes without pixels, 8
// snapshots, and the sync test's byte comparison of each state).
#include <benchmark/benchmark.h>

#include <memory>

#include "app/session.h"
#include "platform/replay.h"
#include "platform/stream.h"

namespace {

// A session 400 passes into the battle of tests/regress/battle12.replay
// (every computer tank keyed in), rolling back `rollback` passes after each
// pass when that is not 0.
std::unique_ptr<tb::Session> battle(int rollback) {
    platform::setDataDirectory(TANKBATTLE_BENCH_DATA);
    platform::Replay replay;
    replay.passes.push_back({1, {'1', '2', '3', '4', '5', '7', '8', '9', '0'}});
    auto session = std::make_unique<tb::Session>();
    session->playReplay(replay);
    session->setPixels(false);
    if (rollback > 0) session->syncTest(rollback);
    session->start();
    for (int pass = 0; pass < 400; ++pass) session->step();
    return session;
}

void BM_SnapshotSave(benchmark::State& state) {
    auto session = battle(0);
    auto snapshot = std::make_unique<tb::Snapshot>();
    for (auto _ : state) {
        tb::saveSnapshot(*snapshot);
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = double(sizeof(tb::Snapshot));
}
BENCHMARK(BM_SnapshotSave)->Unit(benchmark::kMicrosecond);

void BM_SnapshotRestore(benchmark::State& state) {
    auto session = battle(0);
    auto snapshot = std::make_unique<tb::Snapshot>();
    tb::saveSnapshot(*snapshot);
    for (auto _ : state) {
        tb::restoreSnapshot(*snapshot);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SnapshotRestore)->Unit(benchmark::kMicrosecond);

// One pass without pixels (range 0), or one pass and a rollback of that many passes.
void BM_PassAndRollback(benchmark::State& state) {
    auto session = battle(int(state.range(0)));
    for (auto _ : state) session->step();
}
BENCHMARK(BM_PassAndRollback)->Arg(0)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
