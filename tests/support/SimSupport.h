#pragma once

#include "Board.h"
#include "d2xx.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <opencv2/core.hpp>

#include <cstdint>
#include <functional>
#include <vector>

// The request frame FF AA group code 0D EB, and bytes sent in one FT_Write.
QByteArray request(int group, int code);
FT_STATUS writeTo(FT_HANDLE handle, const QByteArray& bytes);

// Gives the board a frame period (in 100 ns steps) the way a SCAN timing
// frame and a reset do.
void setFramePeriod(FT_HANDLE handle, uint32_t period);

// The host's writes to a simulated board, one QByteArray per FT_Write.
using Frames = QList<QByteArray>;
Frames hostWrites(const boardsim::Board& board);
// The same in upper-case hexadecimal, each write followed by '|'.
QString sentHex(const boardsim::Board& board);

// A raw frame (little-endian 32-bit pixels, row-major) from its pixel values.
std::vector<uint8_t> rawFrame(const std::function<uint32_t(int pixel)>& value);

// A 256 x 256 gray image with value(row, column) at each pixel.
cv::Mat grayImage(const std::function<int(int row, int column)>& value);

// Puts the shared run state back to its start values.
void resetRunState();
