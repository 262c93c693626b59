#include "CalibrationFile.h"

#include <QIODevice>

namespace {

constexpr size_t kMaxValues = 65536;

bool isBlank(char c)
{
    // The blanks a number may carry around it (Latin-1).
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x85' || c == '\xA0';
}

// One part of a line, taken character by character, so that a part of any
// length costs no memory: blanks, an optional plus sign, the digits of an
// unsigned 32-bit number, blanks. Anything else makes the part 0.
class Part
{
public:
    bool empty() const { return state == State::Empty; }
    bool valid() const { return state == State::Digits || state == State::Trailing; }
    uint32_t number() const { return valid() ? uint32_t(value) : 0; }

    void add(char c)
    {
        const bool digit = c >= '0' && c <= '9';
        switch (state) {
        case State::Empty:
        case State::Leading:
            state = digit        ? State::Digits
                    : isBlank(c) ? State::Leading
                    : c == '+'   ? State::Sign
                                 : State::Invalid;
            break;
        case State::Sign:
            state = digit ? State::Digits : State::Invalid;
            break;
        case State::Digits:
            state = digit ? State::Digits : isBlank(c) ? State::Trailing : State::Invalid;
            break;
        case State::Trailing:
            state = isBlank(c) ? State::Trailing : State::Invalid;
            break;
        case State::Invalid:
            return;
        }
        if (state == State::Digits) {
            value = value * 10 + uint64_t(c - '0');
            if (value > 0xFFFFFFFFu)
                state = State::Invalid;
        }
    }

private:
    enum class State { Empty, Leading, Sign, Digits, Trailing, Invalid };
    State state = State::Empty;
    uint64_t value = 0;
};

// The values of a file taken character by character (carriage returns
// already gone or skipped here, as text mode reads).
class Values
{
public:
    std::vector<uint32_t> values;
    int valid = 0;

    // False once no further value can come.
    bool add(char c)
    {
        if (c == '\r')
            return true;
        // A new line is started only while fewer than 65,535 values are in.
        if (lineBegins && values.size() >= kMaxValues - 1)
            return false;
        lineBegins = false;
        if (c != ',' && c != '\n') {
            part.add(c);
            return true;
        }
        if (!part.empty()) {
            valid += part.valid();
            // The product can pass 2^32; the reference keeps its low 32 bits.
            values.push_back(uint32_t(uint64_t(part.number() * 1.1)));
        }
        part = Part();
        lineBegins = c == '\n';
        return values.size() < kMaxValues;
    }

    // The end of the file ends its last line.
    void finish()
    {
        if (!lineBegins)
            add('\n');
    }

private:
    Part part;
    bool lineBegins = true;
};

} // namespace

std::vector<uint32_t> readCalibration(QIODevice& in, int* valid)
{
    Values reader;
    char block[16384];
    bool more = true;
    while (more) {
        const qint64 got = in.read(block, sizeof block);
        if (got <= 0) {
            reader.finish();
            break;
        }
        for (qint64 i = 0; i < got && more; ++i)
            more = reader.add(block[i]);
    }
    if (valid)
        *valid = reader.valid;
    return std::move(reader.values);
}
