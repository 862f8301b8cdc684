// Tiles and threads: Glide calls record the frame's triangles and clears;
// at the swap (or whenever the buffers are looked at) the screen's bands of
// rows are drawn by a pool of threads, the calling one among them. A band
// takes the commands that reach it in the order they were submitted, and
// no two threads draw the same pixel, so the picture is the same for any
// number of threads.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "coverage.h"
#include "internal.h"
#include "setup.h"
#include "spans.h"

// WebAssembly builds without thread support draw on the calling thread alone.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
#define TB_NO_THREADS 1
#endif

namespace softglide::detail {
namespace {

// A recorded triangle in two cache lines: what set-up needs of its vertices,
// and their snapped positions, which fit 32 bits for any triangle that
// reaches the recorder (x and y within kSafeCoord).
struct alignas(64) RecordedTriangle {
    VertexValues v[3];
    std::int32_t x[3], y[3];
    ScanOrder order;
    std::uint32_t state;  // index into Frame::states
    Snapped snapped() const { return Snapped{{x[0], x[1], x[2]}, {y[0], y[1], y[2]}}; }
};
static_assert(sizeof(RecordedTriangle) == 128);
static_assert(double(kSafeCoord) * 16.0 * kMaxScale + 1.0 < double(std::int64_t(1) << 31));

struct RecordedClear {
    std::uint32_t colour;
    std::uint16_t depth;
    bool clearDepth;
};

// A command in a band's list: a triangle, or a clear when the top bit is set.
constexpr std::uint32_t kClearBit = 0x80000000u;

struct Frame {
    std::vector<DrawState> states;
    std::vector<RecordedTriangle> triangles;
    std::vector<RecordedClear> clears;
    std::vector<std::vector<std::uint32_t>> bands;
    int bandScale = 0;       // the scale the bands were laid out for
    std::vector<int> order;  // the order in which the bands are handed out
    bool empty = true;
};

Frame& frame() {
    static Frame f;
    return f;
}

int bandHeight(const Buffers& buf) { return kBandRows * buf.scale; }

// Lays the bands out for the buffers' scale (checked at every submission,
// so kept to one comparison while the scale stays).
void ensureBands(Frame& f, const Buffers& buf) {
    if (f.bandScale == buf.scale) return;
    f.bandScale = buf.scale;
    const int n = (buf.height + bandHeight(buf) - 1) / bandHeight(buf);
    f.bands.assign(std::size_t(n), {});
}

// ---------------------------------------------------------------------------
// The pool: threads - 1 workers that sleep between jobs; the caller works too.

class Pool {
public:
    ~Pool() { resize(1); }

    int threads() const { return int(workers_.size()) + 1; }

    void resize(int threads) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_) t.join();
        workers_.clear();
        stop_ = false;
#if !defined(TB_NO_THREADS)
        for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { workerLoop(); });
#else
        (void)threads;
#endif
    }

    // Runs job(0) .. job(count - 1), each once, on every thread; returns when all are done.
    void run(int count, const std::function<void(int)>& job) {
        if (workers_.empty() || count <= 1) {
            for (int k = 0; k < count; ++k) job(k);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = &job;
            count_ = count;
            next_.store(0);
            busy_ = int(workers_.size());
            ++generation_;
        }
        wake_.notify_all();
        work();
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return busy_ == 0; });
        job_ = nullptr;
    }

private:
    void work() {
        for (int k = next_.fetch_add(1); k < count_; k = next_.fetch_add(1)) (*job_)(k);
    }

    void workerLoop() {
        std::uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
                if (stop_) return;
                seen = generation_;
            }
            work();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                --busy_;
            }
            done_.notify_one();
        }
    }

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const std::function<void(int)>* job_ = nullptr;
    int count_ = 0;
    std::atomic<int> next_{0};
    int busy_ = 0;
    std::uint64_t generation_ = 0;
    bool stop_ = false;
};

int defaultThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores, 1u, 64u));
}

Pool& pool() {
    static Pool p;
    static const bool started = [] {
        p.resize(defaultThreads());
        return true;
    }();
    (void)started;
    return p;
}

// ---------------------------------------------------------------------------
// Drawing a band.

// Fills the band's first row and copies it to the others, which the
// library's copy does at the memory's speed.
template <class T>
void fillRows(T* first, int width, int rows, T value) {
    std::fill_n(first, width, value);
    for (int row = 1; row < rows; ++row)
        std::memcpy(first + std::size_t(row) * std::size_t(width), first, sizeof(T) * std::size_t(width));
}

void drawClear(const RecordedClear& c, int rowBegin, int rowEnd) {
    Buffers& buf = buffers();
    const std::size_t first = std::size_t(rowBegin) * std::size_t(buf.width);
    fillRows(buf.backColour() + first, buf.width, rowEnd - rowBegin, c.colour);
    if (c.clearDepth) fillRows(buf.depth.data() + first, buf.width, rowEnd - rowBegin, c.depth);
}

void drawTriangle(const RecordedTriangle& t, const DrawState& st, int rowBegin, int rowEnd, const Target& target) {
    Row rows[kMaxBandRows];
    const Snapped snapped = t.snapped();
    const int n = coveredRows(snapped, t.order, rowBegin, rowEnd, target.width, rows);
    if (n == 0) return;
    const Triangle tr = setUpTriangle(t.v[0], t.v[1], t.v[2], snapped, st);
    pickSpans(st, tr)(tr, rows, n, target, st);
}

void drawBand(const Frame& f, int band) {
    Buffers& buf = buffers();
    const int rowBegin = band * bandHeight(buf), rowEnd = std::min(buf.height, rowBegin + bandHeight(buf));
    const Target target{buf.backColour(), buf.depth.data(), buf.width};
    for (const std::uint32_t command : f.bands[std::size_t(band)]) {
        if (command & kClearBit) {
            drawClear(f.clears[command & ~kClearBit], rowBegin, rowEnd);
        } else {
            const RecordedTriangle& t = f.triangles[command];
            drawTriangle(t, f.states[t.state], rowBegin, rowEnd, target);
        }
    }
}

}  // namespace

void submitTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    Frame& f = frame();
    const Buffers& buf = buffers();
    const Snapped s = snapTriangle(a, b, c, buf.scale);
    // A triangle that snaps to no area covers no pixel centre.
    if ((s.X[0] - s.X[1]) * (s.Y[1] - s.Y[2]) - (s.X[1] - s.X[2]) * (s.Y[0] - s.Y[1]) == 0) return;
    const ScanOrder order = scanOrder(s);
    const int rowTop = firstRow(s.Y[order.top], buf.height), rowBot = firstRow(s.Y[order.bot], buf.height);
    if (rowTop >= rowBot) return;
    RecordedTriangle t{{vertexValues(a), vertexValues(b), vertexValues(c)}, {}, {}, order, 0};
    for (int i = 0; i < 3; ++i) t.x[i] = std::int32_t(s.X[i]), t.y[i] = std::int32_t(s.Y[i]);
    const DrawState& st = state().draw;
    if (f.states.empty() || !(f.states.back() == st)) f.states.push_back(st);
    t.state = std::uint32_t(f.states.size() - 1);
    ensureBands(f, buf);
    const std::uint32_t index = std::uint32_t(f.triangles.size());
    f.triangles.push_back(t);
    const int rows = bandHeight(buf);
    for (int band = rowTop / rows, last = (rowBot - 1) / rows; band <= last; ++band)
        f.bands[std::size_t(band)].push_back(index);
    f.empty = false;
}

void submitClear(std::uint32_t colour, std::uint16_t depth, bool clearDepth) {
    Frame& f = frame();
    ensureBands(f, buffers());
    const std::uint32_t index = std::uint32_t(f.clears.size()) | kClearBit;
    f.clears.push_back({colour, depth, clearDepth});
    for (auto& band : f.bands) band.push_back(index);
    f.empty = false;
}

void drawRecorded() {
    Frame& f = frame();
    if (f.empty) return;
    // Bands with the most commands first, so that no thread is left with a
    // long one at the end while the others wait. Which thread draws a band
    // never changes its pixels.
    std::vector<int>& order = f.order;
    order.resize(f.bands.size());
    for (std::size_t band = 0; band < order.size(); ++band) order[band] = int(band);
    std::stable_sort(order.begin(), order.end(),
                     [&f](int a, int b) { return f.bands[std::size_t(a)].size() > f.bands[std::size_t(b)].size(); });
    pool().run(int(order.size()), [&f](int k) { drawBand(f, f.order[std::size_t(k)]); });
    discardRecorded();
}

void discardRecorded() {
    Frame& f = frame();
    f.states.clear();
    f.triangles.clear();
    f.clears.clear();
    for (auto& band : f.bands) band.clear();
    f.empty = true;
}

}  // namespace softglide::detail

namespace softglide {
void setThreads(int threads) {
    detail::drawRecorded();
    detail::pool().resize(threads > 0 ? std::min(threads, 64) : detail::defaultThreads());
}
int threads() { return detail::pool().threads(); }
}  // namespace softglide
