// Gathers raw frames from the board: each frame is asked for as four chunk
// requests FF AA 00 k 0D EB, each answered with 65,536 bytes. Owns the
// buffers of one acquisition run, so they go away with the run on any path.
#pragma once

#include "d2xx.h"

#include <array>
#include <atomic>
#include <chrono>
#include <vector>

class ChunkReader
{
public:
    static constexpr int kChunkBytes = 65536;

    enum class Outcome {
        Frame,      // the four chunks hold one board frame
        ReadFailed, // a read failed: the board is gone
        Silent,     // the board stopped answering while capture runs: gone too
        Abandoned,  // stop requested and the board stayed silent
    };

    // `status` receives the result of every call; `running` is the worker's
    // run flag; `framePeriod` is the board's time between frames, the longest
    // it may rightly keep a chunk request waiting.
    ChunkReader(FT_HANDLE handle, FT_STATUS& status, const std::atomic<bool>& running,
                std::chrono::milliseconds framePeriod);

    // Blocks until a whole frame has come, the board is found gone, or a stop
    // meets a silent board.
    Outcome readFrame();
    unsigned char* chunk(int k) { return m_chunks[std::size_t(k)].data(); }

    // Silence after which a stop gives the frame up: the board has had its
    // frame period and a margin to answer.
    std::chrono::milliseconds stopAllowance() const;
    // Silence after which a board that is still attached counts as lost.
    std::chrono::milliseconds lossAllowance() const;

private:
    using Clock = std::chrono::steady_clock;

    void request(unsigned char k);
    Outcome fillChunk(int k);
    bool nothingQueued();
    void dropQueued();

    FT_HANDLE m_handle;
    FT_STATUS& m_status;
    const std::atomic<bool>& m_running;
    const std::chrono::milliseconds m_framePeriod;
    bool m_firstFrame = true;
    Clock::time_point m_lastActivity;

    std::array<std::vector<unsigned char>, 4> m_chunks;
};
