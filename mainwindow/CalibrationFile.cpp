#include "CalibrationFile.h"

#include <QIODevice>

namespace {

constexpr size_t kMaxValues = 65536;

// One part of a line, taken character by character, so that a part of any
// length costs no memory. A part is an unsigned 32-bit decimal as Qt's
// unsigned conversion reads one: blanks around the digits and one leading
// plus sign are allowed; anything else (and a part of blanks or a lone sign,
// which would read as 0, a plainly wrong reference) refuses the file.
class Part
{
public:
    bool empty() const { return state == State::Empty; }
    bool valid() const { return state != State::Invalid; }
    uint32_t number() const { return uint32_t(value); }

    void add(char c)
    {
        const bool before = state == State::Empty || state == State::Leading;
        if (c == ' ' || c == '\t' || c == '\v' || c == '\f') {
            state = before                                               ? State::Leading
                    : state == State::Digits || state == State::Trailing ? State::Trailing
                                                                         : State::Invalid;
        } else if (c == '+') {
            state = before ? State::Sign : State::Invalid;
        } else if (c >= '0' && c <= '9' &&
                   (before || state == State::Sign || state == State::Digits)) {
            value = value * 10 + uint64_t(c - '0');
            state = value > 0xFFFFFFFFu ? State::Invalid : State::Digits;
        } else {
            state = State::Invalid;
        }
    }

    // The part has ended: it must have held digits.
    void end()
    {
        if (state != State::Empty && state != State::Digits && state != State::Trailing)
            state = State::Invalid;
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
    // The line being read, counted from 1.
    int64_t line = 1;

    // False once no further value can come, or a part refuses the file.
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
            return part.valid();
        }
        part.end();
        if (!part.valid())
            return false;
        if (!part.empty()) {
            // The product can pass 2^32; the reference keeps its low 32 bits.
            values.push_back(uint32_t(uint64_t(part.number() * 1.1)));
        }
        part = Part();
        lineBegins = c == '\n';
        line += lineBegins;
        return values.size() < kMaxValues;
    }

    // The end of the file ends its last line.
    void finish()
    {
        if (!lineBegins)
            add('\n');
    }

    bool refused() const { return !part.valid(); }

private:
    Part part;
    bool lineBegins = true;
};

} // namespace

std::vector<uint32_t> readCalibration(QIODevice& in, int64_t* badLine)
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
    if (badLine)
        *badLine = reader.refused() ? reader.line : 0;
    if (reader.refused())
        return {};
    return std::move(reader.values);
}
