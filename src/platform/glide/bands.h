// The frame's recording and its drawing by bands of rows: Glide calls record
// triangles and clears in batches; worker threads draw the screen's bands
// from each batch as it fills, and whenever the buffers are looked at the
// caller joins them until everything is drawn. With no worker threads each
// command is drawn as it comes.
#pragma once

#include <cstdint>
#include <memory>

#include "glide.h"

namespace softglide::detail {

struct Context;

class Bands {
public:
    // Records for and draws into this context (its buffers, draw state and
    // loop choice), with one thread per core.
    explicit Bands(Context& ctx);
    ~Bands();
    Bands(const Bands&) = delete;
    Bands& operator=(const Bands&) = delete;

    // Records a triangle already culled, in range and finite, for drawing
    // with the current draw state (or draws it at once on one thread).
    void submitTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c);
    // Records a clear of the back buffer (and of the depth buffer when asked).
    void submitClear(std::uint32_t colour, std::uint16_t depth, bool clearDepth);
    // Draws everything recorded so far; returns when it is in the buffers.
    void drawAll();
    // Forgets what is recorded without drawing it (the buffers were replaced).
    void discard();

    // Draws with this many threads, the calling one included (0: one per core).
    void setThreads(int threads);
    int threads() const;

private:
    class Pool;
    std::unique_ptr<Pool> pool_;
};

}  // namespace softglide::detail
