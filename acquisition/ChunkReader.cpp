#include "ChunkReader.h"

#include <algorithm>

ChunkReader::ChunkReader(FT_HANDLE handle, FT_STATUS& status, const std::atomic<bool>& running,
                         std::chrono::milliseconds framePeriod)
    : m_handle(handle), m_status(status), m_running(running),
      m_framePeriod(std::max(framePeriod, std::chrono::milliseconds(0))),
      m_lastActivity(Clock::now())
{
    for (auto& chunk : m_chunks)
        chunk.resize(kChunkBytes);
}

std::chrono::milliseconds ChunkReader::stopAllowance() const
{
    return m_framePeriod + std::chrono::milliseconds(500);
}

std::chrono::milliseconds ChunkReader::lossAllowance() const
{
    return 2 * m_framePeriod + std::chrono::milliseconds(1500);
}

void ChunkReader::request(unsigned char k)
{
    unsigned char frame[6] = {0xFF, 0xAA, 0x00, k, 0x0D, 0xEB};
    DWORD written = 0;
    m_status = FT_Write(m_handle, frame, sizeof frame, &written);
    m_lastActivity = Clock::now();
}

bool ChunkReader::nothingQueued()
{
    DWORD queued = 0, txQueued = 0, events = 0;
    m_status = FT_GetStatus(m_handle, &queued, &txQueued, &events);
    return queued == 0;
}

void ChunkReader::dropQueued()
{
    m_status = FT_Purge(m_handle, FT_PURGE_RX);
}

// Reads straight into chunk k, never more than it still lacks. Each read
// blocks until the rest has come or the read time-out has passed, so the
// wait costs nothing while the board prepares its frame.
ChunkReader::Outcome ChunkReader::fillChunk(int k)
{
    unsigned char* chunk = m_chunks[std::size_t(k)].data();
    DWORD count = 0;
    while (count < DWORD(kChunkBytes)) {
        DWORD got = 0;
        // A failing read is how a lost board shows itself.
        m_status = FT_Read(m_handle, chunk + count, DWORD(kChunkBytes) - count, &got);
        if (m_status != FT_OK)
            return Outcome::ReadFailed;
        if (got > 0) {
            count += std::min(got, DWORD(kChunkBytes) - count);
            m_lastActivity = Clock::now();
            continue;
        }
        const bool running = m_running.load();
        if (Clock::now() - m_lastActivity >= (running ? lossAllowance() : stopAllowance()))
            return running ? Outcome::Silent : Outcome::Abandoned;
    }
    return Outcome::Frame;
}

ChunkReader::Outcome ChunkReader::readFrame()
{
    if (m_firstFrame) {
        m_firstFrame = false;
        // Late answers to a frame given up in an earlier run must not be
        // taken for this run's chunks.
        dropQueued();
    }
    for (;;) {
        int k = 0;
        for (; k < 4; ++k) {
            request(static_cast<unsigned char>(k));
            const Outcome outcome = fillChunk(k);
            if (outcome != Outcome::Frame)
                return outcome;
            // No request is open now, so any byte queued is not part of an
            // answer: the stream is out of step and which bytes belong where
            // is unknown.
            if (!nothingQueued())
                break;
        }
        if (k == 4)
            return Outcome::Frame;
        // Drop the partial frame and ask for a new one on an empty queue.
        dropQueued();
        if (!m_running.load())
            return Outcome::Abandoned;
    }
}
