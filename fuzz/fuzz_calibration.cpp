// The calibration-file loader fed any file: it returns the values of the
// file's parts in order, each scaled by 1.1 and truncated, at most 65,536 of
// them, or refuses the file at the line of its first part that is not a
// number; and it reads the file only within its bytes.
#include "CalibrationFile.h"
#include "FuzzSupport.h"

#include <QBuffer>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxValues = 65536;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The reference below is left out of the coverage the search steers by: its
// branches are the harness's, not the loader's, and they would double the work.
#define REFERENCE __attribute__((no_sanitize("coverage")))

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// The digits of a part that is a number, worked out here without the
// loader's parser: blanks around them and one leading plus sign allowed, and
// without leading zeros at most 4294967295. Empty when the part is no number.
REFERENCE std::string numberDigits(const std::string& part)
{
    const auto first = std::find_if_not(part.begin(), part.end(), isBlank);
    const auto last = std::find_if_not(part.rbegin(), part.rend(), isBlank).base();
    std::string digits(first, std::max(first, last));
    if (!digits.empty() && digits[0] == '+')
        digits.erase(0, 1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit))
        return {};
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    return digits.size() < 10 || (digits.size() == 10 && digits <= "4294967295") ? digits
                                                                                 : std::string();
}

// The values the file holds: text mode drops every carriage return, lines
// end at line feeds, parts end at commas, and no line is begun once 65,535
// values are in. A part that is not a number gives no values and its line.
REFERENCE std::vector<uint32_t> expectedValues(const uint8_t* data, std::size_t size,
                                               int64_t& badLine)
{
    badLine = 0;
    int64_t line = 1;
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
        if (!part.empty() && values.size() < kMaxValues) {
            const std::string digits = numberDigits(part);
            if (digits.empty()) {
                badLine = line;
                return {};
            }
            // 1.1 times the number, truncated: exact in integers.
            values.push_back(uint32_t(std::stoull(digits) * 11 / 10));
        }
        part.clear();
        lineBegins = c == '\n';
        line += lineBegins;
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
    int64_t badLine = -1, expectedLine = -1;
    const std::vector<uint32_t> values = readCalibration(file, &badLine);
    fuzzCheck(values.size() <= kMaxValues, "at most one value per pixel");
    fuzzCheck(values == expectedValues(data, size, expectedLine),
              "each part's value times 1.1, in file order, or none");
    fuzzCheck(badLine == expectedLine, "a refused file names the line of its first bad part");
    return 0;
}
