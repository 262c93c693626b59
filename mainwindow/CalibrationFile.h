#pragma once

#include <cstdint>
#include <vector>

class QIODevice;

// Reads the raw reference values of a calibration file (lines of values,
// each followed by a comma) in file order, ready to become a reference
// array: every value is scaled by 1.1 and truncated, a part that is not an
// unsigned number counts as 0, empty parts and lines give nothing, and at
// most 65,536 values are returned. Reading stops there, so neither time nor
// memory grows with what the file holds beyond. `valid` receives how many
// parts were numbers. The device must be open for reading.
std::vector<uint32_t> readCalibration(QIODevice& in, int* valid = nullptr);
