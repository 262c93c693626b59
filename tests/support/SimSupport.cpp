#include "SimSupport.h"

#include "RunningDataManager.h"

#include <chrono>

Frames hostWrites(const boardsim::Board& board)
{
    Frames out;
    for (const auto& write : board.hostLog())
        out << QByteArray(reinterpret_cast<const char*>(write.bytes.data()),
                          int(write.bytes.size()));
    return out;
}

bool resetsFollowPause(const boardsim::Board& board)
{
    using namespace std::chrono_literals;
    const auto log = board.hostLog();
    for (std::size_t i = 1; i < log.size(); ++i)
        if (log[i].bytes.size() == 6 && log[i].bytes[2] == 0x01 &&
            log[i].time - log[i - 1].time < 100ms)
            return false;
    return true;
}

std::vector<uint8_t> rawFrame(const std::function<uint32_t(int pixel)>& value)
{
    std::vector<uint8_t> bytes(65536 * 4);
    for (int i = 0; i < 65536; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[std::size_t(4 * i + b)] = uint8_t(value(i) >> (8 * b));
    return bytes;
}

void resetRunState()
{
    RunningDataManager* rdm = RunningDataManager::instance();
    rdm->setRunningState(false);
    rdm->setFlipCode(0);
    while (rdm->getRotationAngle() != 0)
        rdm->AddRotationAngle();
    rdm->setShowState(false);
    rdm->setShowIndex(0);
    rdm->setMaxFlag(false);
    rdm->setMinFlag(false);
}
