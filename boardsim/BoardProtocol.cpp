// The board's side of the command frames: parsing the host's byte stream,
// answering requests, holding configuration until SystemReset.
#include "Board.h"

#include <algorithm>
#include <numeric>

namespace boardsim {
namespace {

constexpr std::size_t kHead = 6;

std::size_t payloadLength(uint8_t group, uint8_t code)
{
    if (group != 0x00)
        return 0;
    switch (code) {
    case 0xA0:
        return 9; // ADC: 8 + checksum
    case 0xA1:
        return 33; // DAC: 32 + checksum
    case 0xA2:
        return 137; // GOA: 136 + checksum
    case 0xA3:
        return 33; // SCAN: 32 + checksum
    case 0xA4:
        return 2; // mode, no checksum
    default:
        return 0;
    }
}

bool hasChecksum(uint8_t group, uint8_t code)
{
    return group == 0x00 && code >= 0xA0 && code <= 0xA3;
}

} // namespace

PortStatus Board::write(uint64_t session, const uint8_t* data, std::size_t n)
{
    std::lock_guard<std::mutex> order(m_commandMutex);
    std::vector<Command> commands;
    Clock::time_point now;
    std::function<void(std::size_t)> hook;
    std::size_t written = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const PortStatus st = checkLocked(session);
        if (st != PortStatus::Ok)
            return st;
        now = Clock::now();
        m_log.push_back(HostWrite{now, std::vector<uint8_t>(data, data + n)});
        written = m_log.size();
        hook = m_writeHook;
        m_parse.insert(m_parse.end(), data, data + n);
        commands = parseLocked();
    }
    // Outside the lock: the hook may use the test API.
    if (hook)
        hook(written);
    for (const Command& c : commands)
        process(c, now);
    return PortStatus::Ok;
}

std::vector<Board::Command> Board::parseLocked()
{
    std::vector<Command> out;
    const std::vector<uint8_t>& b = m_parse;
    std::size_t pos = 0;
    std::size_t keep = b.size(); // start of the unconsumed tail
    for (;;) {
        std::size_t i = pos;
        while (i + 1 < b.size() && !(b[i] == 0xFF && b[i + 1] == 0xAA))
            ++i;
        if (i + 1 >= b.size()) {
            // Junk; a trailing FF may still start a frame.
            keep = (i < b.size() && b[i] == 0xFF) ? i : b.size();
            break;
        }
        if (b.size() - i < kHead) {
            keep = i;
            break;
        }
        if (b[i + 4] != 0x0D || b[i + 5] != 0xEB) {
            pos = i + 1; // a stray FF AA inside junk
            continue;
        }
        const std::size_t len = payloadLength(b[i + 2], b[i + 3]);
        if (b.size() - i < kHead + len) {
            keep = i;
            break;
        }
        out.push_back(Command{
            b[i + 2], b[i + 3],
            std::vector<uint8_t>(b.begin() + long(i + kHead), b.begin() + long(i + kHead + len))});
        pos = i + kHead + len;
    }
    m_parse.erase(m_parse.begin(), m_parse.begin() + long(keep));
    return out;
}

void Board::process(const Command& cmd, Clock::time_point now)
{
    if (cmd.group == 0x00 && cmd.code <= 0x03) {
        answerChunk(cmd.code, now);
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (cmd.group == 0x01 && cmd.code == 0x00) {
        m_active = m_pending;
        return;
    }
    if (cmd.group != 0x00)
        return;
    switch (cmd.code) {
    case 0xFF:
        if (!m_silent) {
            const ParamBlock block = m_active.paramBlock();
            enqueueLocked(now + m_paramDelay, std::vector<uint8_t>(block.begin(), block.end()));
        }
        break;
    case 0xA5:
        if (!m_silent && !m_batterySilent)
            enqueueLocked(now, {m_battery});
        break;
    default:
        applyConfigLocked(cmd);
        break;
    }
}

void Board::applyConfigLocked(const Command& cmd)
{
    const std::vector<uint8_t>& p = cmd.payload;
    if (hasChecksum(cmd.group, cmd.code)) {
        const unsigned sum = std::accumulate(p.begin(), p.end() - 1, 0u);
        if (uint8_t(sum) != p.back())
            ++m_badChecksums; // counted, applied all the same
    }
    switch (cmd.code) {
    case 0xA0:
        std::copy_n(p.begin(), m_pending.adc.size(), m_pending.adc.begin());
        break;
    case 0xA1:
        std::copy_n(p.begin(), m_pending.dac.size(), m_pending.dac.begin());
        break;
    case 0xA2:
        std::copy_n(p.begin(), m_pending.goa.size(), m_pending.goa.begin());
        break;
    case 0xA3:
        std::copy_n(p.begin(), m_pending.scan.size(), m_pending.scan.begin());
        break;
    case 0xA4:
        // 01 01 selects GOA, 02 02 GATE IC; anything else leaves the mode.
        if (p[0] == p[1] && (p[0] == kModeGoa || p[0] == kModeGateIc))
            m_pending.mode = p[0];
        break;
    default:
        break; // unknown requests go unanswered
    }
}

void Board::answerChunk(unsigned k, Clock::time_point now)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_silent)
        return;
    Clock::time_point ready = now;
    if (k == 0 || !m_frame) {
        // A new frame: paced at the active timing's frame period.
        if (m_paced && m_lastFrameTime)
            ready = std::max(now, *m_lastFrameTime + m_active.framePeriod());
        m_lastFrameTime = ready;
        ++m_framesServed;
        const uint64_t number = m_frameNumber++;
        std::shared_ptr<const std::vector<uint8_t>> frame;
        if (!m_pushed.empty()) {
            frame = std::make_shared<const std::vector<uint8_t>>(std::move(m_pushed.front()));
            m_pushed.pop_front();
        } else if (m_held) {
            frame = m_held;
        } else {
            const double micros = m_active.integrationMicros();
            lock.unlock(); // readers go on while the scene renders
            frame = std::make_shared<std::vector<uint8_t>>(renderScene(m_seed, number, micros));
            lock.lock();
        }
        m_frame = std::move(frame);
    }
    const auto begin = m_frame->begin() + long(k * kChunkBytes);
    std::vector<uint8_t> answer(begin, begin + long(kChunkBytes));
    if (m_extraBytes > 0 && m_extraSkip > 0) {
        --m_extraSkip;
    } else if (m_extraBytes > 0) {
        answer.insert(answer.end(), m_extraBytes, kExtraByte);
        m_extraBytes = 0;
    }
    enqueueLocked(ready, std::move(answer));
}

} // namespace boardsim
