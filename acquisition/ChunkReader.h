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
    // How long a board may stay silent after a stop before the frame in
    // progress is given up. Longer than the slowest paced frame (1 frame/s),
    // so a board that is only waiting for its next frame is not cut off.
    static constexpr std::chrono::milliseconds kSilenceAfterStop{1500};

    enum class Outcome {
        Frame,      // the four chunks hold a complete raw frame
        ReadFailed, // a read failed: the board is gone
        Abandoned,  // stop requested and the board stayed silent
    };

    // `status` receives the result of every call; `running` is the worker's
    // run flag, looked at only when the board is silent or out of step.
    ChunkReader(FT_HANDLE handle, FT_STATUS& status, const std::atomic<bool>& running);

    Outcome readFrame();
    unsigned char* chunk(int k) { return m_chunks[k].data(); }

private:
    using Clock = std::chrono::steady_clock;

    void request(unsigned char k);
    bool discardQueued();

    FT_HANDLE m_handle;
    FT_STATUS& m_status;
    const std::atomic<bool>& m_running;
    bool m_firstFrame = true;
    Clock::time_point m_lastActivity;

    std::array<std::vector<unsigned char>, 4> m_chunks;
    std::vector<unsigned char> m_accumulator;
    std::vector<unsigned char> m_readBuffer;
};
