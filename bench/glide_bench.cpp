// Speed of the software Glide: the game's full-screen ground quad alone,
// many small translucent triangles (a synthetic load), and the game's
// drawFrame, with swap and clear, on three scenes at scales 1 and 2, drawn
// by one thread and by every core (wall time). Every figure also comes as
// x_memcpy: its time over that of copying one frame buffer of that size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/glide.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "render/render.h"
#include "sim/sim.h"

namespace {

constexpr std::size_t kFramePixels = std::size_t(softglide::kScreenWidth) * softglide::kScreenHeight;

// CPU time of this thread, the basis Google Benchmark reports by default.
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Median CPU time of one copy of a frame buffer at a scale, measured once per run.
double memcpySeconds(int scale = 1) {
    static double seconds[softglide::kMaxScale + 1] = {};
    if (seconds[scale] > 0) return seconds[scale];
    const std::size_t pixels = kFramePixels * std::size_t(scale * scale);
    std::vector<std::uint32_t> a(pixels, 1), b(pixels, 2);
    std::vector<double> samples;
    for (int rep = 0; rep < 31; ++rep) {
        const double t0 = cpuSeconds();
        for (int i = 0; i < 20; ++i) {
            std::memcpy(b.data(), a.data(), pixels * 4);
            benchmark::DoNotOptimize(b.data());
            benchmark::ClobberMemory();
            a[std::size_t(i)] = b[std::size_t(i) + 1];
        }
        samples.push_back((cpuSeconds() - t0) / 20);
    }
    std::nth_element(samples.begin(), samples.begin() + 15, samples.end());
    return seconds[scale] = samples[15];
}

// Reports time per iteration divided by the memcpy time of a frame at the scale.
void reportRatio(benchmark::State& state, int scale = 1) {
    state.counters["x_memcpy"] = benchmark::Counter(double(state.iterations()) * memcpySeconds(scale),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_MemcpyFrame(benchmark::State& state) {
    const int scale = int(state.range(0));
    const std::size_t pixels = kFramePixels * std::size_t(scale * scale);
    std::vector<std::uint32_t> a(pixels, 1), b(pixels, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), pixels * 4);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    reportRatio(state, scale);
}
BENCHMARK(BM_MemcpyFrame)->ArgName("scale")->Arg(1)->Arg(2);

// The game's display state and a 64 x 64 grey noise texture.
GrTexInfo groundInfo;
std::vector<std::uint16_t> groundTexels(4096);

void openDisplay() {
    grGlideInit();
    grSstSelect(0);
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1);
    grCullMode(GR_CULL_POSITIVE);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
    grDepthBufferMode(GR_DEPTHBUFFER_ZBUFFER);
    grDepthBufferFunction(GR_CMP_LEQUAL);
    grDepthMask(FXTRUE);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    std::uint32_t seed = 42;
    for (auto& t : groundTexels) {
        seed = seed * 1103515245u + 12345u;
        t = std::uint16_t((((seed >> 16) & 0x7FFF) % 6 + 26) * 0x0421 + 0x8000);
    }
    groundInfo = GrTexInfo{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, groundTexels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &groundInfo);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &groundInfo);
}

// 2000 small perspective-textured triangles under the alpha blend, spread
// over the screen: set-up cost rather than fill.
void BM_SmallTriangles(benchmark::State& state) {
    openDisplay();
    std::vector<GrVertex> tris(3 * 2000);
    std::uint32_t seed = 7;
    auto rnd = [&] {
        seed = seed * 1103515245u + 12345u;
        return double((seed >> 16) & 0x7FFF) / 32768.0;
    };
    for (std::size_t i = 0; i < tris.size(); i += 3) {
        const double cx = rnd() * 640, cy = rnd() * 480;
        for (int k = 0; k < 3; ++k) {
            GrVertex& v = tris[i + k];
            const double ang = (k == 0 ? 0.0 : (k == 1 ? -2.1 : -4.2)) + rnd() * 0.5;  // counter-clockwise: drawn
            v = GrVertex{};
            v.x = float(cx + 8 * std::cos(ang));
            v.y = float(cy + 8 * std::sin(ang));
            const double depth = 59990 - rnd() * 20;
            v.z = v.ooz = float(depth);
            v.oow = v.tmuvtx[0].oow = float(1.0 / depth);
            v.tmuvtx[0].sow = float(rnd() * 256 * v.oow);
            v.tmuvtx[0].tow = float(rnd() * 256 * v.oow);
            v.r = v.g = v.b = -20;
            v.a = 60;
        }
    }
    softglide::setThreads(1);
    for (auto _ : state) {
        grBufferClear(0, 0, 0xFFFF);
        grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
        for (std::size_t i = 0; i < tris.size(); i += 3) guDrawTriangleWithClip(&tris[i], &tris[i + 1], &tris[i + 2]);
        benchmark::DoNotOptimize(softglide::backBuffer());
    }
    reportRatio(state);
    softglide::setThreads(0);
}
BENCHMARK(BM_SmallTriangles)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// The game's frame.

enum Scene { kStart, kBattle, kCloseZoom };

// Builds the world for a scene: the start; a 12-tank battle after 400 passes
// with every computer tank keyed in; the same battle at the closest zoom.
bool prepareScene(Scene scene) {
    platform::setDataDirectory(TANKBATTLE_BENCH_DATA);
    tb::world = tb::WorldState{};  // every scene from the same start, whatever ran before
    tb::initGame();
    if (scene == kStart) return true;
    // Digits 1-5 and 7-0 bring in tanks 3, 5, 7, 9, 11 and 4, 6, 8, 10; tank 2 plays from the start.
    platform::Replay replay;
    platform::ReplayPass first{1, {}};  // the first pass ignores keys
    for (char key : {'1', '2', '3', '4', '5', '7', '8', '9', '0'}) first.keys.push_back(key);
    replay.passes.push_back(first);
    platform::ReplayKeyboard keyboard(replay);
    platform::setKeyboard(&keyboard);
    // The passes before the scene need no pixels (the game's side of drawing still runs).
    softglide::setRasterEnabled(false);
    for (std::int64_t pass = 0; pass < 400; ++pass) {
        keyboard.beginPass(pass);
        tb::runPass();
    }
    softglide::setRasterEnabled(true);
    platform::setKeyboard(nullptr);
    if (scene == kCloseZoom) tb::world.cameraZ = 40000.0f;
    return true;
}

// The game's ground quad alone, with the clear before it, at a zoom and a
// turn of the camera.
void BM_GroundQuad(benchmark::State& state) {
    softglide::setRasterEnabled(true);
    prepareScene(kStart);
    tb::world.cameraZ = float(state.range(0));
    tb::world.cameraAngle = 0.3f;
    softglide::setThreads(1);
    for (auto _ : state) {
        grBufferClear(0, 0, 0xFFFF);
        tb::drawGround();
        benchmark::DoNotOptimize(softglide::backBuffer());  // drawn here, not at the next swap
    }
    reportRatio(state);
    softglide::setThreads(0);
}
BENCHMARK(BM_GroundQuad)->Arg(-180000)->Arg(40000)->Unit(benchmark::kMicrosecond);

// drawFrame at a scale (range 1) with a number of threads (range 2; 0: one
// per core), in wall time: the frame is drawn at its swap by every thread.
void BM_DrawFrame(benchmark::State& state) {
    const int scale = int(state.range(1));
    softglide::setRasterEnabled(true);
    softglide::setScale(scale);
    softglide::setThreads(int(state.range(2)));
    prepareScene(Scene(state.range(0)));
    int tanks = 0, shells = 0, explosions = 0;
    for (const auto& t : tb::world.tanks) tanks += t.active != 0;
    for (const auto& s : tb::world.shells) shells += s.active != 0;
    for (const auto& e : tb::world.explosions) explosions += e.active != 0;
    for (auto _ : state) tb::drawFrame();
    state.counters["tanks"] = tanks;
    state.counters["shells"] = shells;
    state.counters["explosions"] = explosions;
    reportRatio(state, scale);
    softglide::setScale(1);
    softglide::setThreads(0);
}
BENCHMARK(BM_DrawFrame)
    ->ArgNames({"scene", "scale", "threads"})
    ->ArgsProduct({{kStart, kBattle, kCloseZoom}, {1, 2}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
