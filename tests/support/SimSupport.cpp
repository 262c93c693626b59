#include "SimSupport.h"

#include "FrameCodec.h"
#include "RunningDataManager.h"

#include <algorithm>

QByteArray request(int group, int code)
{
    return QByteArray("\xFF\xAA", 2) + char(group) + char(code) + QByteArray("\x0D\xEB", 2);
}

FT_STATUS writeTo(FT_HANDLE handle, const QByteArray& bytes)
{
    DWORD written = 0;
    return FT_Write(handle, const_cast<char*>(bytes.data()), DWORD(bytes.size()), &written);
}

void setFramePeriod(FT_HANDLE handle, uint32_t period)
{
    using namespace framecodec;
    unsigned char f[45] = {};
    putHead(f, kScanCommand);
    putBigEndian(f + 6, period, 4);
    f[38] = payloadChecksum(f + 6, 32);
    std::copy_n(kSystemReset, kHeadBytes, f + 39);
    writeTo(handle, QByteArray(reinterpret_cast<char*>(f), sizeof f));
}

Frames hostWrites(const boardsim::Board& board)
{
    Frames out;
    for (const auto& write : board.hostLog())
        out << QByteArray(reinterpret_cast<const char*>(write.bytes.data()),
                          int(write.bytes.size()));
    return out;
}

QString sentHex(const boardsim::Board& board)
{
    QString hex;
    for (const QByteArray& write : hostWrites(board))
        hex += write.toHex().toUpper() + "|";
    return hex;
}

std::vector<uint8_t> rawFrame(const std::function<uint32_t(int pixel)>& value)
{
    std::vector<uint8_t> bytes(65536 * 4);
    for (int i = 0; i < 65536; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[std::size_t(4 * i + b)] = uint8_t(value(i) >> (8 * b));
    return bytes;
}

cv::Mat grayImage(const std::function<int(int row, int column)>& value)
{
    cv::Mat m(256, 256, CV_8UC1);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            m.at<uchar>(r, c) = uchar(value(r, c));
    return m;
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
