#pragma once

#include "Board.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <functional>
#include <vector>

// The host's writes to a simulated board, one QByteArray per FT_Write.
using Frames = QList<QByteArray>;
Frames hostWrites(const boardsim::Board& board);

// True when every SystemReset frame came at least 100 ms after the write before it.
bool resetsFollowPause(const boardsim::Board& board);

// A raw frame (little-endian 32-bit pixels, row-major) from its pixel values.
std::vector<uint8_t> rawFrame(const std::function<uint32_t(int pixel)>& value);

// Puts the shared run state back to its start values.
void resetRunState();
