// Bands and threads: Glide calls record the frame's triangles and clears in
// batches; worker threads draw the screen's bands of rows from each batch as
// it fills, and at the swap (or whenever the buffers are looked at) the
// calling thread joins them until everything is drawn. A band takes the
// commands that reach it in the order they were submitted, and no two
// threads draw the same pixel, so the picture is the same for any number of
// threads. One thread alone draws each command as it comes.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "bands.h"

#include "context.h"
#include "coverage.h"
#include "rowloops.h"
#include "setup.h"

// WebAssembly builds without thread support draw on the calling thread alone.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
#define TB_NO_THREADS 1
#endif

namespace softglide::detail {
namespace {

// A recorded triangle in two cache lines: what set-up needs of its vertices,
// and their snapped positions, which fit 32 bits for any triangle that
// reaches the recorder (x and y within kSafeCoord). The area they span is
// worked out again from them where the triangle is drawn: it has no room.
struct alignas(64) RecordedTriangle {
    VertexValues v[3];
    std::int32_t x[3], y[3];
    ScanOrder order;
    std::uint32_t state;  // index into its batch's states
    Snapped snapped() const {
        Snapped s{{x[0], x[1], x[2]}, {y[0], y[1], y[2]}, 0};
        s.area = snappedArea(s.X, s.Y);
        return s;
    }
    RecordedTriangle() {}  // left uninitialised: submitTriangle fills every field
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

// A stretch of the frame's commands: its triangles, clears and states, and
// for every band the commands that reach it, in submission order. While
// the game records into the open batch, the pool's workers already draw
// the batches handed to them; a batch is not changed once handed over.
struct Batch {
    std::vector<DrawState> states;
    std::vector<RecordedTriangle> triangles;
    std::vector<RecordedClear> clears;
    std::vector<std::vector<std::uint32_t>> bands;

    void reset(std::size_t bandCount) {
        states.clear();
        triangles.clear();
        clears.clear();
        bands.resize(bandCount);
        for (auto& band : bands) band.clear();
    }
};

// Triangles recorded into a batch before it is handed to the workers: the
// first batch can be drawn while the game is still recording the next.
constexpr std::size_t kBatchTriangles = 512;

int bandHeight(const Buffers& buf) { return kBandRows * buf.scale; }

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

void drawClear(Buffers& buf, const RecordedClear& c, int rowBegin, int rowEnd) {
    const std::size_t first = std::size_t(rowBegin) * std::size_t(buf.width);
    fillRows(buf.backColour() + first, buf.width, rowEnd - rowBegin, c.colour);
    if (c.clearDepth) fillRows(buf.depth.data() + first, buf.width, rowEnd - rowBegin, c.depth);
}

// Draws the rows [rowBegin, rowEnd) of a snapped triangle, up to a band's
// worth of rows at a time; set-up waits for the first covered row.
void drawTriangle(const VertexValues* v, const Snapped& s, const ScanOrder& order, const DrawState& st, int rowBegin,
                  int rowEnd, const Target& target, testing::Loops loops) {
    Row rows[kMaxBandRows];
    auto cover = [&](int from) {
        return coveredRows(s, order, from, std::min(rowEnd, from + kMaxBandRows), target.width, rows);
    };
    int from = rowBegin, n = 0;
    while (from < rowEnd && (n = cover(from)) == 0) from += kMaxBandRows;
    if (n == 0) return;
    const Triangle tr = setUpTriangle(v[0], v[1], v[2], s, st);
    const RowLoop loop = pickRowLoop(loops, st, tr);
    for (;;) {
        if (n > 0) loop(tr, rows, n, target, st);
        if ((from += kMaxBandRows) >= rowEnd) break;
        n = cover(from);
    }
}

// The commands of one batch that reach band `band`.
void drawBand(Buffers& buf, testing::Loops loops, const Batch& b, int band) {
    const int rowBegin = band * bandHeight(buf), rowEnd = std::min(buf.height, rowBegin + bandHeight(buf));
    const Target target{buf.backColour(), buf.depth.data(), buf.width};
    for (const std::uint32_t command : b.bands[std::size_t(band)]) {
        if (command & kClearBit) {
            drawClear(buf, b.clears[command & ~kClearBit], rowBegin, rowEnd);
        } else {
            const RecordedTriangle& t = b.triangles[command];
            drawTriangle(t.v, t.snapped(), t.order, b.states[t.state], rowBegin, rowEnd, target, loops);
        }
    }
}

int defaultThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
#if defined(TANKBATTLE_WEB_THREADS)
    // A web page has only the workers started with it (more would start
    // only once the page's thread returns to the browser).
    return int(std::clamp(cores, 1u, unsigned(TANKBATTLE_WEB_THREADS)));
#else
    return int(std::clamp(cores, 1u, 64u));
#endif
}

}  // namespace

// ---------------------------------------------------------------------------
// The frame and the threads that draw it. A band is drawn by one thread at a
// time, batch after batch, so every pixel receives its commands in the order
// they were submitted, whichever thread draws it. The caller records, hands
// batches over, and at the swap draws beside the workers until every band
// has every batch; workers sleep between frames.

class Bands::Pool {
public:
    explicit Pool(Context& c) : ctx(c) {}
    ~Pool() { resize(1); }

    Context& ctx;  // what is recorded comes from here

    int threads() const { return int(workers_.size()) + 1; }
    // With no workers and nothing recorded, commands are drawn as they come.
    bool immediate() const { return workers_.empty() && used_ == 0; }

    void resize(int threads) {
        discard();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : workers_) t.join();
        workers_.clear();
        stop_ = false;
#if !defined(TB_NO_THREADS)
        for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { workerLoop(); });
#else
        (void)threads;
#endif
    }

    // The batch being recorded into, with bands laid out for the buffers'
    // scale. A frame is drawn into the buffers and with the loops in use
    // when its first command was recorded.
    Batch& open(Buffers& buf, testing::Loops loops) {
        if (used_ > 0 && bandScale_ != buf.scale) discard();  // new buffers replaced the old ones
        if (used_ == 0) {
            buffers_ = &buf;
            loops_ = loops;
            bandScale_ = buf.scale;
            bandCount_ = (buf.height + bandHeight(buf) - 1) / bandHeight(buf);
            openNext();
        }
        return *batches_[std::size_t(used_ - 1)];
    }

    // Called after each triangle: hands a full batch to the workers.
    void recorded() {
        if (!workers_.empty() && batches_[std::size_t(used_ - 1)]->triangles.size() >= kBatchTriangles) {
            handOver();
            openNext();
        }
    }

    // Draws everything recorded; returns when every band has all of it.
    void drawAll() {
        if (used_ == 0) return;
        handOver();
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            const int band = pickBand();
            if (band >= 0) {
                drawPicked(lock, band);
            } else if (finished()) {
                break;
            } else {
                changed_.wait(lock);
            }
        }
        restart();
    }

    // Forgets what is recorded: waits for the batches being drawn, drops the rest.
    void discard() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return std::none_of(busy_.begin(), busy_.end(), [](char b) { return b != 0; }); });
        restart();
    }

private:
    // An empty frame (with the lock held).
    void restart() {
        used_ = handed_ = 0;
        std::fill(drawn_.begin(), drawn_.end(), 0);
        std::fill(pending_.begin(), pending_.end(), 0);
    }

    void openNext() {
        if (std::size_t(used_) == batches_.size()) {
            std::lock_guard<std::mutex> lock(mutex_);  // workers read the list of batches
            batches_.push_back(std::make_unique<Batch>());
        }
        batches_[std::size_t(used_)]->reset(std::size_t(bandCount_));
        ++used_;
    }

    // Every recorded batch goes to the drawers.
    void handOver() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            drawn_.resize(std::size_t(bandCount_), 0);
            busy_.resize(std::size_t(bandCount_), 0);
            pending_.resize(std::size_t(bandCount_), 0);
            for (; handed_ < used_; ++handed_) {
                const Batch& b = *batches_[std::size_t(handed_)];
                for (int band = 0; band < bandCount_; ++band)
                    pending_[std::size_t(band)] += b.bands[std::size_t(band)].size();
            }
        }
        changed_.notify_all();
    }

    // The free band with the most commands waiting, or -1. The longest go
    // first so that no thread is left with a long one at the end.
    int pickBand() const {
        int best = -1;
        for (int band = 0; band < int(drawn_.size()); ++band) {
            const std::size_t k = std::size_t(band);
            if (busy_[k] || drawn_[k] == handed_) continue;
            if (best < 0 || pending_[k] > pending_[std::size_t(best)]) best = band;
        }
        return best;
    }

    bool finished() const {
        for (std::size_t k = 0; k < drawn_.size(); ++k)
            if (busy_[k] || drawn_[k] != handed_) return false;
        return true;
    }

    // Draws the waiting batches of a picked band, with the lock released
    // (it is taken briefly to look a batch up: the list may grow meanwhile).
    void drawPicked(std::unique_lock<std::mutex>& lock, int band) {
        const std::size_t k = std::size_t(band);
        const int from = drawn_[k], to = handed_;
        busy_[k] = 1;
        pending_[k] = 0;
        for (int i = from; i < to; ++i) {
            const Batch& b = *batches_[std::size_t(i)];
            lock.unlock();
            drawBand(*buffers_, loops_, b, band);
            lock.lock();
        }
        busy_[k] = 0;
        drawn_[k] = to;
        changed_.notify_all();
    }

    void workerLoop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (stop_) return;
            const int band = pickBand();
            if (band >= 0) {
                drawPicked(lock, band);
            } else {
                changed_.wait(lock);
            }
        }
    }

    // Batches in submission order: [0, handed_) are with the drawers,
    // [handed_, used_) are being recorded (the last is open). Kept between
    // frames and reused.
    std::vector<std::unique_ptr<Batch>> batches_;
    int used_ = 0, handed_ = 0;
    int bandScale_ = 0, bandCount_ = 0;
    Buffers* buffers_ = nullptr;
    testing::Loops loops_ = testing::Loops::Fast;
    // Per band: batches drawn, whether a thread draws it, commands waiting.
    std::vector<int> drawn_;
    std::vector<char> busy_;
    std::vector<std::size_t> pending_;

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
};

Bands::Bands(Context& ctx) : pool_(std::make_unique<Pool>(ctx)) { pool_->resize(defaultThreads()); }

Bands::~Bands() = default;

void Bands::submitTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    Buffers& buf = pool_->ctx.buffers;
    const Snapped s = snapTriangle(a, b, c, buf.scale);
    // A triangle that snaps to no area covers no pixel centre.
    if (s.area == 0) return;
    const ScanOrder order = scanOrder(s);
    const int rowTop = firstRow(s.Y[order.top], buf.height), rowBot = firstRow(s.Y[order.bot], buf.height);
    if (rowTop >= rowBot) return;
    if (pool_->immediate()) {
        // One thread draws each triangle as it comes: recording it would cost
        // more than the bands save.
        const VertexValues v[3] = {vertexValues(a), vertexValues(b), vertexValues(c)};
        const Target target{buf.backColour(), buf.depth.data(), buf.width};
        drawTriangle(v, s, order, pool_->ctx.render.draw, rowTop, rowBot, target, pool_->ctx.loops);
        return;
    }
    Batch& batch = pool_->open(buf, pool_->ctx.loops);
    const DrawState& st = pool_->ctx.render.draw;
    if (batch.states.empty() || !(batch.states.back() == st)) batch.states.push_back(st);
    const std::uint32_t index = std::uint32_t(batch.triangles.size());
    // Written in place: building it aside and copying it in costs as much again.
    RecordedTriangle& t = batch.triangles.emplace_back();
    t.v[0] = vertexValues(a), t.v[1] = vertexValues(b), t.v[2] = vertexValues(c);
    for (int i = 0; i < 3; ++i) t.x[i] = std::int32_t(s.X[i]), t.y[i] = std::int32_t(s.Y[i]);
    t.order = order;
    t.state = std::uint32_t(batch.states.size() - 1);
    const int rows = bandHeight(buf);
    for (int band = rowTop / rows, last = (rowBot - 1) / rows; band <= last; ++band)
        batch.bands[std::size_t(band)].push_back(index);
    pool_->recorded();
}

void Bands::submitClear(std::uint32_t colour, std::uint16_t depth, bool clearDepth) {
    if (pool_->immediate()) {
        drawClear(pool_->ctx.buffers, RecordedClear{colour, depth, clearDepth}, 0, pool_->ctx.buffers.height);
        return;
    }
    Batch& batch = pool_->open(pool_->ctx.buffers, pool_->ctx.loops);
    const std::uint32_t index = std::uint32_t(batch.clears.size()) | kClearBit;
    batch.clears.push_back({colour, depth, clearDepth});
    for (auto& band : batch.bands) band.push_back(index);
}

void Bands::drawAll() { pool_->drawAll(); }

void Bands::discard() { pool_->discard(); }

void Bands::setThreads(int threads) {
    pool_->drawAll();
    pool_->resize(threads > 0 ? std::min(threads, 64) : defaultThreads());
}

int Bands::threads() const { return pool_->threads(); }

}  // namespace softglide::detail
