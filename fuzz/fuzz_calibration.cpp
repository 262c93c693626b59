// The calibration-file loader fed any file: it returns the values of the
// file's parts in order, each scaled by 1.1 and truncated, at most 65,536 of
// them, and reads the file only within its bytes.
#include "CalibrationFile.h"
#include "FuzzSupport.h"

#include <QBuffer>

#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxValues = 65536;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Blanks that a number may carry around it (Latin-1, as the file is read).
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x85' || c == '\xA0';
}

// The reference below is left out of the coverage the search steers by: its
// branches are the harness's, not the loader's, and they would double the work.
#define REFERENCE __attribute__((no_sanitize("coverage")))

// What one part stands for, worked out here without the loader's parser:
// an unsigned decimal below 2^32, with blanks around it and a plus sign
// allowed; anything else is 0.
REFERENCE uint32_t partValue(const std::string& part)
{
    std::size_t begin = 0, end = part.size();
    while (begin < end && isBlank(part[begin]))
        ++begin;
    while (end > begin && isBlank(part[end - 1]))
        --end;
    if (begin < end && part[begin] == '+')
        ++begin;
    if (begin == end)
        return 0;
    uint64_t number = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (!isDigit(part[i]))
            return 0;
        number = number * 10 + uint64_t(part[i] - '0');
        if (number > 0xFFFFFFFFu)
            return 0;
    }
    // 1.1 times the number, truncated: exact in integers.
    return uint32_t(number * 11 / 10);
}

// The values the file holds: text mode drops every carriage return, lines
// end at line feeds, parts end at commas, and no line is begun once 65,535
// values are in.
REFERENCE std::vector<uint32_t> expectedValues(const uint8_t* data, std::size_t size)
{
    std::vector<uint32_t> values;
    std::string part;
    bool lineBegins = true;
    for (std::size_t i = 0; i <= size; ++i) {
        const char c = i < size ? char(data[i]) : '\n';
        if (c == '\r')
            continue;
        if (lineBegins && (values.size() >= kMaxValues - 1 || i == size))
            break;
        lineBegins = false;
        if (c != ',' && c != '\n') {
            part += c;
            continue;
        }
        if (!part.empty() && values.size() < kMaxValues)
            values.push_back(partValue(part));
        part.clear();
        lineBegins = c == '\n';
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // The file's bytes where they lie: a read past them is caught.
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    const std::vector<uint32_t> values = readCalibration(file);
    fuzzCheck(values.size() <= kMaxValues, "at most one value per pixel");
    fuzzCheck(values == expectedValues(data, size), "each part's value times 1.1, in file order");
    return 0;
}
