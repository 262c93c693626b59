#include "CsvTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace csv {

namespace {

constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

// 10^k for k = 0 … 22: exact doubles (5^22 < 2^53), so scaling by one of
// them rounds only once.
constexpr int kMaxScale = 22;
constexpr double kPow10[kMaxScale + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

double scaled(double a, int k)
{
    return k >= 0 ? a * kPow10[k] : a / kPow10[-k];
}

// Whether a is exactly (10 n + 5) · 10^(e − 6), the half-way point between
// the six-digit values n and n + 1 at decimal exponent e. Ties are exact
// dyadic rationals, which bounds the exponents worth looking at.
bool isExactTie(double a, uint64_t n, int e)
{
    const uint64_t half = 10 * n + 5; // odd, below 10^7
    const int j = 6 - e;
    if (j <= 0) {
        // An integer whose odd part holds 5^(1 − j); a double's odd part is
        // below 2^53 < 5^23.
        if (-j > 22 || a != std::floor(a))
            return false;
        unsigned __int128 tie = half;
        for (int i = 0; i < -j; ++i)
            tie *= 10;
        return (unsigned __int128)a == tie;
    }
    // half / (2^j · 5^j) is dyadic only when 5^j divides half (< 5^11).
    if (j > 10)
        return false;
    uint64_t five = 1;
    for (int i = 0; i < j; ++i)
        five *= 5;
    if (half % five != 0)
        return false;
    return a == std::ldexp(double(half / five), -j);
}

// Six significant digits of a > 0 rounded half away from zero, from the
// exact decimal expansion (rare: far magnitudes and near-ties).
uint64_t exactDigits(double a, int& e)
{
    // 1000 digits hold every double's expansion exactly.
    char text[1100];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, a, std::chars_format::scientific, 1000);
    const char* p = text;
    uint64_t n = 0;
    int digits = 0;
    int seventh = 0;
    for (; p != r.ptr && *p != 'e'; ++p) {
        if (*p < '0' || *p > '9')
            continue;
        if (digits < 6)
            n = n * 10 + uint64_t(*p - '0');
        else if (digits == 6)
            seventh = *p - '0';
        ++digits;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), r.ptr, exponent);
    e = exponent;
    if (seventh >= 5)
        ++n;
    return n;
}

// 10^k for k = −16 … 27, the nearest doubles: with them the decimal
// exponent is found without a branch that would guess wrong half the time.
constexpr int kLowestPower = -16;
constexpr int kHighestPower = 27;
constexpr double kPowers[] = {
    1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2,
    1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
    1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27};

// The six-digit significand n (100000 … 999999) and decimal exponent e of
// a > 0 rounded to 6 significant digits, halves away from zero.
uint64_t significand(double a, int& e)
{
    uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int binaryExponent = int((bits >> 52) & 0x7FF) - 1023;
    if (binaryExponent == -1023) // subnormal
        return exactDigits(a, e);
    // floor(log10 a), from the binary exponent and one comparison; the
    // scaled value below corrects what is still one off.
    e = (binaryExponent * 1233) >> 12;
    if (e < kLowestPower || e >= kHighestPower)
        return exactDigits(a, e);
    e += int(a >= kPowers[e + 1 - kLowestPower]);
    int k = 5 - e;
    if (k > kMaxScale - 1 || k < -kMaxScale + 1)
        return exactDigits(a, e);
    double t = scaled(a, k);
    if (t >= 1e6) {
        ++e;
        t = scaled(a, --k);
    } else if (t < 1e5) {
        --e;
        t = scaled(a, ++k);
    }
    uint64_t n = uint64_t(t);
    // t is within 1e-10 of its true value (below 2^20, rounded once): only
    // a fraction very close to one half needs a closer look.
    const double fraction = t - double(n);
    constexpr double kDoubt = 1e-9;
    if (std::fabs(fraction - 0.5) <= kDoubt) {
        if (!isExactTie(a, n, e))
            return exactDigits(a, e);
        return n + 1;
    }
    return n + uint64_t(fraction > 0.5);
}

char* putSmall(char* out, uint32_t v)
{
    if (v < 10) {
        *out++ = char('0' + v);
    } else {
        std::memcpy(out, kDigitPairs + 2 * v, 2);
        out += 2;
    }
    return out;
}

} // namespace

char* putUnsigned(char* out, uint32_t value)
{
    if (value < 100)
        return putSmall(out, value);
    char text[10];
    char* p = text + sizeof text;
    while (value >= 100) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * value, 2);
    } else {
        *--p = char('0' + value);
    }
    const std::size_t length = std::size_t(text + sizeof text - p);
    std::memcpy(out, p, length);
    return out + length;
}

char* putDouble(char* out, double value)
{
    if (std::isnan(value)) {
        std::memcpy(out, "nan", 3);
        return out + 3;
    }
    if (value == 0) { // negative zero too
        *out++ = '0';
        return out;
    }
    if (value < 0) {
        *out++ = '-';
        value = -value;
    }
    if (std::isinf(value)) {
        std::memcpy(out, "inf", 3);
        return out + 3;
    }

    int e;
    uint64_t n = significand(value, e);
    if (n == 1000000) {
        n = 100000;
        ++e;
    }
    char digits[6];
    const uint32_t six = uint32_t(n);
    std::memcpy(digits, kDigitPairs + 2 * (six / 10000), 2);
    std::memcpy(digits + 2, kDigitPairs + 2 * (six / 100 % 100), 2);
    std::memcpy(digits + 4, kDigitPairs + 2 * (six % 100), 2);
    int length = 6;
    while (digits[length - 1] == '0')
        --length;
    const char* const first = digits;
    const char* const end = digits + length;

    if (e < -4 || e >= 6) {
        *out++ = digits[0];
        if (length > 1) {
            *out++ = '.';
            out = std::copy(first + 1, end, out);
        }
        *out++ = 'e';
        *out++ = e < 0 ? '-' : '+';
        const uint32_t magnitude = uint32_t(e < 0 ? -e : e);
        if (magnitude < 10)
            *out++ = '0';
        return putUnsigned(out, magnitude);
    }
    if (e < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = -1; i > e; --i)
            *out++ = '0';
        return std::copy(first, end, out);
    }
    const char* const point = digits + e + 1;
    if (end <= point) {
        out = std::copy(first, end, out);
        return std::fill_n(out, point - end, '0');
    }
    out = std::copy(first, point, out);
    *out++ = '.';
    return std::copy(point, end, out);
}

char* putFrameLine(char* out, int frame)
{
    std::memcpy(out, "Frame ", 6);
    out += 6;
    if (frame < 0) {
        *out++ = '-';
        out = putUnsigned(out, 0u - uint32_t(frame));
    } else {
        out = putUnsigned(out, uint32_t(frame));
    }
    *out++ = '\n';
    return out;
}

CsvFile::CsvFile(const QString& path, bool text) : file(path)
{
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered;
    if (text)
        mode |= QIODevice::Text;
    open = file.open(mode);
    ok = open;
}

void CsvFile::write(const char* data, std::size_t size)
{
    if (!ok)
        return;
    if (file.write(data, qint64(size)) != qint64(size))
        ok = false;
}

bool CsvFile::close()
{
    if (!open)
        return false;
    open = false;
    if (!ok)
        file.cancelWriting();
    if (!file.commit())
        ok = false;
    return ok;
}

void formatInOrder(int count, std::size_t capacity,
                   const std::function<char*(int piece, char* buffer)>& format,
                   const std::function<void(int piece, const char* text, std::size_t size)>& write)
{
    if (count <= 0)
        return;
    const int threads = std::clamp(int(std::thread::hardware_concurrency()), 1, std::min(8, count));
    // Two pieces per thread, so the threads keep formatting while a write
    // waits for the disk. Left uninitialised: only the pages a piece fills
    // become resident.
    const int window = std::min(2 * threads, count);
    const std::unique_ptr<char[]> buffers(new char[std::size_t(window) * capacity]);
    std::vector<std::size_t> sizes(std::size_t(window), 0);
    std::vector<char> ready(std::size_t(window), 0);

    std::mutex mutex;
    std::condition_variable changed;
    int claimed = 0; // next piece to format
    int written = 0; // pieces handed to write()

    auto formatter = [&] {
        for (;;) {
            int piece;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return claimed >= count || claimed < written + window; });
                if (claimed >= count)
                    return;
                piece = claimed++;
            }
            const std::size_t slot = std::size_t(piece % window);
            char* buffer = buffers.get() + slot * capacity;
            const std::size_t size = std::size_t(format(piece, buffer) - buffer);
            {
                std::lock_guard<std::mutex> lock(mutex);
                sizes[slot] = size;
                ready[slot] = 1;
            }
            changed.notify_all();
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(std::size_t(threads));
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(formatter);

    for (int piece = 0; piece < count; ++piece) {
        const std::size_t slot = std::size_t(piece % window);
        std::size_t size;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return ready[slot] != 0; });
            size = sizes[slot];
        }
        write(piece, buffers.get() + slot * capacity, size);
        {
            std::lock_guard<std::mutex> lock(mutex);
            ready[slot] = 0;
            ++written;
        }
        changed.notify_all();
    }
    for (std::thread& thread : pool)
        thread.join();
}

} // namespace csv
