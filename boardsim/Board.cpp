// Host port and test controls of the simulated board. The command side is
// in BoardProtocol.cpp.
#include "Board.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace boardsim {
namespace {

uint32_t seedFor(const std::string& serial)
{
    // FNV-1a: each serial number sees its own, stable scene.
    uint32_t h = 2166136261u;
    for (unsigned char c : serial)
        h = (h ^ c) * 16777619u;
    return h;
}

void requireFrameBytes(const std::vector<uint8_t>& raw, const char* caller)
{
    if (raw.size() != kFrameBytes)
        throw std::invalid_argument(std::string("boardsim::Board::") + caller +
                                    ": a raw frame has 262144 bytes");
}

} // namespace

Board::Board(std::string serial) : m_serial(std::move(serial)), m_seed(seedFor(m_serial))
{
}

uint64_t Board::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_detached || m_session != 0)
        return 0;
    m_session = m_nextSession++;
    m_port = PortSettings{};
    m_rx.clear();
    m_parse.clear();
    return m_session;
}

void Board::close(uint64_t session)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (session != 0 && session == m_session)
        m_session = 0;
    m_cv.notify_all();
}

void Board::endSession()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_session = 0;
    m_cv.notify_all();
}

void Board::markDetached()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_detached = true;
    m_cv.notify_all();
}

bool Board::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_session != 0;
}

bool Board::isDetached() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_detached;
}

PortStatus Board::checkLocked(uint64_t session) const
{
    if (session == 0 || session != m_session)
        return PortStatus::NotOpen;
    if (m_detached)
        return PortStatus::Detached;
    return PortStatus::Ok;
}

PortStatus Board::check(uint64_t session) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return checkLocked(session);
}

std::size_t Board::readyLocked(Clock::time_point now) const
{
    std::size_t n = 0;
    for (const Segment& s : m_rx) {
        if (s.ready > now)
            break; // the stream is ordered: nothing behind a late segment is readable
        n += s.bytes.size() - s.offset;
    }
    return n;
}

std::optional<Board::Clock::time_point> Board::nextReadyLocked(Clock::time_point now) const
{
    for (const Segment& s : m_rx)
        if (s.ready > now)
            return s.ready;
    return std::nullopt;
}

void Board::enqueueLocked(Clock::time_point ready, std::vector<uint8_t> bytes)
{
    if (bytes.empty())
        return;
    m_rx.push_back(Segment{ready, std::move(bytes), 0});
    m_cv.notify_all();
}

PortStatus Board::queueStatus(uint64_t session, std::size_t& rxCount)
{
    rxCount = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    const PortStatus st = checkLocked(session);
    if (st != PortStatus::Ok)
        return st;
    std::size_t count = readyLocked(Clock::now());
    if (count > 0 && m_maxPiece > 0)
        count = std::min(count, std::size_t(1 + m_pieceRng() % m_maxPiece));
    rxCount = count;
    return PortStatus::Ok;
}

PortStatus Board::read(uint64_t session, uint8_t* buffer, std::size_t n, std::size_t& got)
{
    got = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_port.readTimeoutMs);
    std::size_t available = 0;
    for (;;) {
        const PortStatus st = checkLocked(session);
        if (st != PortStatus::Ok)
            return st;
        if (m_readsFail)
            return PortStatus::ReadFailed;
        if (n == 0)
            return PortStatus::Ok;
        const auto now = Clock::now();
        available = readyLocked(now);
        if (available >= n || now >= deadline)
            break;
        const auto next = nextReadyLocked(now);
        m_cv.wait_until(lock, next ? std::min(*next, deadline) : deadline);
    }

    std::size_t want = std::min(n, available);
    while (want > 0) {
        Segment& s = m_rx.front();
        const std::size_t take = std::min(want, s.bytes.size() - s.offset);
        std::copy_n(s.bytes.data() + s.offset, take, buffer + got);
        s.offset += take;
        got += take;
        want -= take;
        if (s.offset == s.bytes.size())
            m_rx.pop_front();
    }
    return PortStatus::Ok;
}

PortStatus Board::purge(uint64_t session, bool rx, bool tx)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const PortStatus st = checkLocked(session);
    if (st != PortStatus::Ok)
        return st;
    if (rx)
        m_rx.clear(); // answers still on their way are dropped too
    if (tx)
        m_parse.clear();
    return PortStatus::Ok;
}

PortStatus Board::configurePort(uint64_t session, const std::function<void(PortSettings&)>& change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const PortStatus st = checkLocked(session);
    if (st == PortStatus::Ok)
        change(m_port);
    return st;
}

PortSettings Board::portSettings() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port;
}

std::vector<HostWrite> Board::hostLog() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

std::vector<uint8_t> Board::hostBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uint8_t> all;
    for (const HostWrite& w : m_log)
        all.insert(all.end(), w.bytes.begin(), w.bytes.end());
    return all;
}

void Board::clearHostLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

void Board::pushFrame(std::vector<uint8_t> raw)
{
    requireFrameBytes(raw, "pushFrame");
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pushed.push_back(std::move(raw));
}

void Board::holdFrame(std::vector<uint8_t> raw)
{
    requireFrameBytes(raw, "holdFrame");
    auto held = std::make_shared<const std::vector<uint8_t>>(std::move(raw));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held = std::move(held);
}

void Board::releaseFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held.reset();
}

void Board::setPaced(bool paced)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paced = paced;
}

void Board::setBattery(uint8_t percent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_battery = percent;
}

void Board::setReadsFail(bool fail)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readsFail = fail;
    m_cv.notify_all();
}

void Board::setSilent(bool silent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void Board::injectExtraBytesAfterNextChunk(std::size_t n, unsigned skip)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_extraBytes = n;
    m_extraSkip = skip;
}

void Board::setParamAnswerDelay(std::chrono::milliseconds delay)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paramDelay = delay;
}

void Board::setBatterySilent(bool silent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_batterySilent = silent;
}

void Board::setDeliveryPieces(std::size_t maxPiece, unsigned seed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_maxPiece = maxPiece;
    m_pieceRng.seed(seed);
}

void Board::setWriteHook(std::function<void(std::size_t)> hook)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeHook = std::move(hook);
}

ParamBlock Board::paramBlock() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_active.paramBlock();
}

BoardConfig Board::config() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_active;
}

BoardConfig Board::pendingConfig() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending;
}

uint64_t Board::framesServed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_framesServed;
}

uint64_t Board::badChecksums() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_badChecksums;
}

} // namespace boardsim
