#include "ChunkReader.h"

#include <algorithm>
#include <cstring>

ChunkReader::ChunkReader(FT_HANDLE handle, FT_STATUS& status, const std::atomic<bool>& running)
    : m_handle(handle), m_status(status), m_running(running), m_lastActivity(Clock::now()),
      m_accumulator(kChunkBytes), m_readBuffer(kChunkBytes)
{
    for (auto& chunk : m_chunks)
        chunk.resize(kChunkBytes);
}

void ChunkReader::request(unsigned char k)
{
    unsigned char frame[6] = {0xFF, 0xAA, 0x00, k, 0x0D, 0xEB};
    DWORD written = 0;
    m_status = FT_Write(m_handle, frame, sizeof frame, &written);
    m_lastActivity = Clock::now();
}

// Reads and drops whatever is queued until the queue is empty (or a stop is
// pending). False when a read failed.
bool ChunkReader::discardQueued()
{
    for (;;) {
        DWORD queued = 0, txQueued = 0, events = 0;
        m_status = FT_GetStatus(m_handle, &queued, &txQueued, &events);
        DWORD got = 0;
        m_status = FT_Read(m_handle, m_readBuffer.data(),
                           std::min<DWORD>(queued, DWORD(m_readBuffer.size())), &got);
        if (m_status != FT_OK)
            return false;
        if (got == 0 || !m_running.load())
            return true;
        m_lastActivity = Clock::now();
    }
}

ChunkReader::Outcome ChunkReader::readFrame()
{
    if (m_firstFrame) {
        m_firstFrame = false;
        // Late answers to a frame given up in an earlier run must not be
        // taken for this run's chunks.
        if (!discardQueued())
            return Outcome::ReadFailed;
    }

    int k = 0;
    DWORD count = 0;
    request(0);
    for (;;) {
        DWORD queued = 0, txQueued = 0, events = 0;
        m_status = FT_GetStatus(m_handle, &queued, &txQueued, &events);

        const DWORD lacking = DWORD(kChunkBytes) - count;
        if (queued > lacking) {
            // More bytes than the chunk can take: the stream is out of step
            // with the requests, and which bytes belong where is unknown.
            // Drop the partial frame and start it over on an empty queue, so
            // the frame never mixes chunks of two board frames.
            if (!discardQueued())
                return Outcome::ReadFailed;
            if (!m_running.load())
                return Outcome::Abandoned;
            k = 0;
            count = 0;
            request(0);
            continue;
        }

        // Read even when nothing is queued: a failing read is how a lost
        // board shows itself.
        DWORD got = 0;
        m_status = FT_Read(m_handle, m_readBuffer.data(), queued, &got);
        if (m_status != FT_OK)
            return Outcome::ReadFailed;
        if (got == 0) {
            // A silent board must not hold a stop forever; while data flows
            // the frame is finished first.
            if (!m_running.load() && Clock::now() - m_lastActivity >= kSilenceAfterStop)
                return Outcome::Abandoned;
            continue;
        }
        m_lastActivity = Clock::now();

        got = std::min(got, lacking);
        std::memcpy(m_accumulator.data() + count, m_readBuffer.data(), got);
        count += got;
        if (count < DWORD(kChunkBytes))
            continue;

        std::memcpy(m_chunks[k].data(), m_accumulator.data(), kChunkBytes);
        if (k == 3)
            return Outcome::Frame;
        ++k;
        count = 0;
        request(static_cast<unsigned char>(k));
    }
}
