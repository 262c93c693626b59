#pragma once

#include <cstdint>
#include <vector>

class QIODevice;

// Reads the raw reference values of a calibration file (lines of values,
// each followed by a comma) in file order, ready to become a reference
// array: every value is scaled by 1.1 and truncated, empty parts and lines
// give nothing, and at most 65,536 values are returned. Reading stops there,
// so neither time nor memory grows with what the file holds beyond. A part
// that is not an unsigned 32-bit decimal (digits, with blanks around them
// and a leading plus sign allowed) refuses the whole file: nothing is
// returned and `badLine` receives its line, counted from 1; otherwise
// `badLine` is 0. The device must be open for reading.
std::vector<uint32_t> readCalibration(QIODevice& in, int64_t* badLine = nullptr);
