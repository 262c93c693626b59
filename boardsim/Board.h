// One simulated acquisition board: a protocol peer of the host's command
// frames (FF AA c1 c2 0D EB + payload) behind the D2XX stand-in.
//
// Host port (used by platform/d2xx.cpp): open() hands out a session id;
// every port call names its session and fails with NotOpen once that session
// was closed, and with Detached once the board was unplugged (Bus::detach).
//
// Test API for other developers:
//   hostLog() / hostBytes() / clearHostLog()  every FT_Write with its time
//   pushFrame(raw)             262,144 bytes sent verbatim as the next frame (FIFO)
//   holdFrame(raw)             raw stands in for the scene: sent as every frame
//                              no pushed one is waiting for, until releaseFrame()
//   setPaced(false)            frames at once instead of at the board's frame rate
//   setBattery(p)              the one-byte battery answer (default 87)
//   setReadsFail(true)         FT_Read returns FT_IO_ERROR from now on
//   setSilent(true)            the board answers nothing (writes still logged,
//                              configuration frames still take effect)
//   injectExtraBytesAfterNextChunk(n, skip)  n bytes 0xEE follow the chunk
//                              answer after the next `skip` ones
//   setParamAnswerDelay(ms)    the 00 FF answer (handshake, read-back) comes late
//   setBatterySilent(true)     no battery answer
//   setDeliveryPieces(max, seed)  FT_GetStatus reports at most 1..max bytes
//                              (random), so reads arrive in pieces; 0 = off
//   setWriteHook(hook)         hook(n) runs in the writing thread once the n-th
//                              write since clearHostLog() is logged, before the
//                              board acts on it (null: none)
//   paramBlock(), config(), pendingConfig(), framesServed(), badChecksums()
//   portSettings()             what FT_SetTimeouts, FT_SetBitMode, ... recorded
//   sceneSeed()                the seed of renderScene() for this board
// Answers leave in the order the requests came: a frame held back by pacing,
// or a late parameter block, holds back what was asked after it.
// The scene itself is renderScene() in Scene.h.
#pragma once

#include "BoardConfig.h"
#include "Scene.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace boardsim {

struct HostWrite
{
    std::chrono::steady_clock::time_point time;
    std::vector<uint8_t> bytes;
};

enum class PortStatus { Ok, NotOpen, Detached, ReadFailed };

// What the host configured on the USB chip; the board itself ignores it
// except for the time-outs.
struct PortSettings
{
    unsigned resets = 0;
    uint8_t bitMask = 0;
    uint8_t bitMode = 0;
    uint32_t inTransferSize = 0;
    uint32_t outTransferSize = 0;
    uint16_t flowControl = 0;
    uint8_t xonChar = 0;
    uint8_t xoffChar = 0;
    uint32_t readTimeoutMs = 1000; // 0: a read returns what is there at once
    uint32_t writeTimeoutMs = 1000;
};

class Board
{
public:
    using Clock = std::chrono::steady_clock;

    explicit Board(std::string serial);
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    const std::string& serial() const { return m_serial; }

    // ---- host port ----
    uint64_t open(); // 0 when already open or unplugged
    void close(uint64_t session);
    bool isOpen() const;
    bool isDetached() const;
    PortStatus check(uint64_t session) const;
    PortStatus write(uint64_t session, const uint8_t* data, std::size_t n);
    // Bytes readable now; never waits.
    PortStatus queueStatus(uint64_t session, std::size_t& rxCount);
    // Waits until n bytes are readable or the read time-out passes.
    PortStatus read(uint64_t session, uint8_t* buffer, std::size_t n, std::size_t& got);
    PortStatus purge(uint64_t session, bool rx, bool tx);
    PortStatus configurePort(uint64_t session, const std::function<void(PortSettings&)>& change);
    PortSettings portSettings() const;

    // ---- test API ----
    std::vector<HostWrite> hostLog() const;
    std::vector<uint8_t> hostBytes() const;
    void clearHostLog();
    void pushFrame(std::vector<uint8_t> raw); // throws std::invalid_argument unless kFrameBytes
    void holdFrame(std::vector<uint8_t> raw); // the same
    void releaseFrame();
    void setPaced(bool paced);
    void setBattery(uint8_t percent);
    void setReadsFail(bool fail);
    void setSilent(bool silent);
    void injectExtraBytesAfterNextChunk(std::size_t n, unsigned skip = 0);
    void setParamAnswerDelay(std::chrono::milliseconds delay);
    void setBatterySilent(bool silent);
    void setDeliveryPieces(std::size_t maxPiece, unsigned seed);
    void setWriteHook(std::function<void(std::size_t written)> hook);
    ParamBlock paramBlock() const;
    BoardConfig config() const;        // applied
    BoardConfig pendingConfig() const; // applied at the next SystemReset
    uint64_t framesServed() const;
    uint64_t badChecksums() const;
    uint32_t sceneSeed() const { return m_seed; }

    static constexpr uint8_t kExtraByte = 0xEE;

private:
    friend class Bus;
    struct Segment
    {
        Clock::time_point ready;
        std::vector<uint8_t> bytes;
        std::size_t offset = 0;
    };
    struct Command
    {
        uint8_t group;
        uint8_t code;
        std::vector<uint8_t> payload;
    };

    void markDetached();
    void endSession();

    PortStatus checkLocked(uint64_t session) const;
    std::vector<Command> parseLocked();
    void process(const Command& cmd, Clock::time_point now);
    void applyConfigLocked(const Command& cmd);
    void answerChunk(unsigned k, Clock::time_point now);
    void enqueueLocked(Clock::time_point ready, std::vector<uint8_t> bytes);
    std::size_t readyLocked(Clock::time_point now) const;
    std::optional<Clock::time_point> nextReadyLocked(Clock::time_point now) const;

    const std::string m_serial;
    const uint32_t m_seed;

    std::mutex m_commandMutex; // keeps answers in the order the commands came
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;

    uint64_t m_session = 0;
    uint64_t m_nextSession = 1;
    bool m_detached = false;
    PortSettings m_port;

    std::deque<Segment> m_rx;
    std::vector<uint8_t> m_parse;
    std::vector<HostWrite> m_log;

    BoardConfig m_active = BoardConfig::defaults();
    BoardConfig m_pending = BoardConfig::defaults();
    std::shared_ptr<const std::vector<uint8_t>> m_frame;
    std::deque<std::vector<uint8_t>> m_pushed;
    std::shared_ptr<const std::vector<uint8_t>> m_held;
    uint64_t m_frameNumber = 0;
    std::optional<Clock::time_point> m_lastFrameTime;

    bool m_paced = true;
    uint8_t m_battery = 87;
    bool m_readsFail = false;
    bool m_silent = false;
    bool m_batterySilent = false;
    std::size_t m_extraBytes = 0;
    unsigned m_extraSkip = 0;
    std::chrono::milliseconds m_paramDelay{0};
    std::size_t m_maxPiece = 0;
    std::mt19937 m_pieceRng;
    std::function<void(std::size_t)> m_writeHook;

    uint64_t m_framesServed = 0;
    uint64_t m_badChecksums = 0;
};

} // namespace boardsim
