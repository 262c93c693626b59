// The text of the data and calibration tables. Users compare these files
// byte for byte with earlier ones, so numbers are written exactly as a
// QTextStream with default settings writes them, only much faster.
#pragma once

#include <QSaveFile>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace csv {

// Room for the text of one number (the longest, "-1.23457e-308", has 13).
constexpr std::size_t kMaxNumberText = 16;

// A double as QTextStream writes it by default: the shorter of fixed and
// exponent form with 6 significant digits, trailing zeros dropped, at least
// two exponent digits. Halves are rounded away from zero, both zeros are
// "0", and the specials are "nan", "inf" and "-inf". Returns the text's end.
char* putDouble(char* out, double value);

// An unsigned integer in decimal. Returns the text's end.
char* putUnsigned(char* out, uint32_t value);

constexpr int kSide = 256;
constexpr int kValues = kSide * kSide;

// Room for one table with its "Frame" line, whatever its numbers.
constexpr std::size_t kMaxTableText = 32 + std::size_t(kValues) * (kMaxNumberText + 1) + kSide + 2;

enum class Commas {
    AfterEach, // "v,v,...,v," as the tables have always been written
    Between,   // "v,v,...,v"
};

// The line "Frame " and the index.
char* putFrameLine(char* out, int frame);

// One table: 256 lines of 256 values in pixel order, then two empty lines.
// putValue(i, out) writes pixel i at out and returns the end.
template <typename PutValue> char* putTable(char* out, Commas commas, PutValue&& putValue)
{
    for (int row = 0; row < kSide; ++row) {
        const int first = row * kSide;
        for (int c = 0; c < kSide - 1; ++c) {
            out = putValue(first + c, out);
            *out++ = ',';
        }
        out = putValue(first + kSide - 1, out);
        if (commas == Commas::AfterEach)
            *out++ = ',';
        *out++ = '\n';
    }
    *out++ = '\n';
    *out++ = '\n';
    return out;
}

// A table file written in large pieces, into a temporary file that takes
// the final name only once all of it is stored: a table cut short never
// replaces an earlier one. After the first failed write it writes nothing
// more. failed() may be asked from other threads while one thread writes.
class CsvFile
{
public:
    // `text`: line ends as the platform writes text files (the calibration
    // files); otherwise every line end is one LF byte.
    CsvFile(const QString& path, bool text);
    bool isOpen() const { return open; }
    bool failed() const { return !ok.load(); }
    void write(const char* data, std::size_t size);
    // True when the file was opened, written completely and now holds the
    // final name; otherwise the temporary file is removed.
    bool close();

private:
    QSaveFile file;
    bool open = false;
    std::atomic<bool> ok{false};
};

// Formats the pieces 0 … count − 1 on several threads and hands them to
// write() in order, on the calling thread. Returns when every piece has been
// written. At most a few pieces are held at a time, each formatted into a
// buffer of `capacity` bytes: format(piece, buffer) returns the text's end.
void formatInOrder(int count, std::size_t capacity,
                   const std::function<char*(int piece, char* buffer)>& format,
                   const std::function<void(int piece, const char* text, std::size_t size)>& write);

} // namespace csv
