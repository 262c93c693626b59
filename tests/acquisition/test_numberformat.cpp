// The table number formatter against QTextStream itself, over the values the
// tables really hold.
#include "CsvTable.h"
#include "conversion.h"

#include <QTextStream>
#include <QtTest>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

using Doubles = std::vector<double>;

// The first value whose text differs, as (QTextStream's, ours); empty when
// all agree. Values go through both in batches, each followed by '|'.
template <typename T, typename Put>
QPair<QByteArray, QByteArray> firstDifference(const std::vector<T>& values, Put put)
{
    constexpr std::size_t kBatch = 50000;
    std::vector<char> ours(kBatch * (csv::kMaxNumberText + 1));
    QString expected;
    for (std::size_t start = 0; start < values.size(); start += kBatch) {
        const std::size_t end = std::min(values.size(), start + kBatch);
        expected.clear();
        QTextStream stream(&expected);
        char* out = ours.data();
        for (std::size_t i = start; i < end; ++i) {
            stream << values[i] << '|';
            out = put(out, values[i]);
            *out++ = '|';
        }
        stream.flush();
        const QByteArray reference = expected.toLatin1();
        if (reference == QByteArray::fromRawData(ours.data(), int(out - ours.data())))
            continue;
        const QList<QByteArray> want = reference.split('|');
        const QList<QByteArray> got = QByteArray(ours.data(), int(out - ours.data())).split('|');
        for (int i = 0; i < want.size(); ++i)
            if (i >= got.size() || want[i] != got[i])
                return {want[i], i < got.size() ? got[i] : QByteArray("(missing)")};
    }
    return {};
}

// Currents of the given raw counts for one (A, B) pair, as the tables
// compute them.
void addCurrents(Doubles& out, const std::vector<uint32_t>& raws, double A, double B)
{
    for (uint32_t raw : raws)
        out.push_back(pixelCurrent(raw, A, B));
}

// Raw counts across the whole 32-bit range, denser over the sensor's scale.
std::vector<uint32_t> rawCounts(std::mt19937_64& random, int n)
{
    std::vector<uint32_t> raws;
    for (uint32_t raw = 0; raw <= 4096 + (1u << 20); raw += 13)
        raws.push_back(raw);
    for (int i = 0; i < n; ++i)
        raws.push_back(uint32_t(random()));
    return raws;
}

// Doubles exactly half-way between two six-digit values, both signs, and
// their neighbours one step either side.
Doubles ties(std::mt19937_64& random)
{
    Doubles out;
    auto add = [&](double tie) {
        for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, INFINITY)}) {
            out.push_back(v);
            out.push_back(-v);
        }
    };
    // Fractions: (10 n + 5) / 10^j is dyadic when 5^j divides 10 n + 5.
    uint64_t five = 1;
    for (int j = 1; j <= 10; ++j) {
        five *= 5;
        const uint64_t lo = (1000000 + five - 1) / five;
        const uint64_t hi = 9999999 / five;
        for (int i = 0; i < 4000 && lo <= hi; ++i) {
            const uint64_t k = (lo + random() % (hi - lo + 1)) | 1; // odd: 10 n + 5
            if (k <= hi)
                add(std::ldexp(double(k), -j));
        }
    }
    // Integers (10 n + 5) · 10^p that a double holds exactly.
    for (int p = 0; p <= 22; ++p)
        for (int i = 0; i < 2000; ++i) {
            unsigned __int128 tie = 10 * (100000 + random() % 900000) + 5;
            for (int q = 0; q < p; ++q)
                tie *= 10;
            const double v = double(tie);
            if ((unsigned __int128)v == tie)
                add(v);
        }
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Doubles)

class TestNumberFormat : public QObject
{
    Q_OBJECT
private slots:
    void doubles_data()
    {
        QTest::addColumn<Doubles>("values");
        std::mt19937_64 random(20260105);

        // Every current range over the raw counts.
        const double ranges[][2] = {{25, 166}, {25, 500}, {13, 1300}, {4, 4000}};
        for (const auto& range : ranges) {
            Doubles values;
            addCurrents(values, rawCounts(random, 300000), range[0], range[1]);
            QTest::addRow("range %g/%g", range[0], range[1]) << values;
        }

        // Whatever the "int" and "pc" fields take: negative, zero and odd
        // divisors, large charges.
        {
            Doubles values;
            const double divisors[] = {0, 1,   -1,   2,    3,          7,
                                       9, 125, 1000, -166, 2147483647, -2147483648.0};
            std::uniform_int_distribution<int> any(INT32_MIN, INT32_MAX);
            std::uniform_int_distribution<int> small(-5000, 5000);
            for (int i = 0; i < 1000000; ++i) {
                const double A = i % 2 ? any(random) : small(random);
                const double B = i % 3 ? divisors[i % 12] : (i % 2 ? any(random) : small(random));
                values.push_back(pixelCurrent(uint32_t(random()), A, B));
            }
            QTest::newRow("int and pc entry") << values;
        }

        // Every magnitude from the smallest current step to the largest
        // product, and a few far beyond.
        {
            Doubles values;
            std::uniform_real_distribution<double> mantissa(1, 10);
            std::uniform_int_distribution<int> exponent(-16, 18);
            for (int i = 0; i < 500000; ++i) {
                const double v = mantissa(random) * std::pow(10.0, exponent(random));
                values.push_back(i % 2 ? v : -v);
            }
            for (int i = 0; i < 20000; ++i) {
                double v;
                const uint64_t bits = random();
                std::memcpy(&v, &bits, sizeof v);
                if (std::isfinite(v))
                    values.push_back(v);
            }
            for (int p = -30; p <= 30; ++p) {
                const double v = std::pow(10.0, p);
                values.insert(values.end(), {v, std::nextafter(v, 0.0), std::nextafter(v, INFINITY),
                                             0.9999995 * v, 0.99999949 * v, 9.999995 * v});
            }
            QTest::newRow("magnitudes") << values;
        }

        QTest::newRow("ties") << ties(random);

        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("specials") << Doubles{
            0.0,      -0.0,     nan,     -nan,         INFINITY,      -INFINITY,
            DBL_MAX,  -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -DBL_TRUE_MIN, 1e6,
            999999.5, 100000,   1e-5,    9.999995e-5,  0.0001,        150.60240963855422};
    }

    void doubles()
    {
        QFETCH(Doubles, values);
        const auto difference = firstDifference(values, csv::putDouble);
        QCOMPARE(difference.second, difference.first);
    }

    void unsignedIntegers()
    {
        std::vector<uint32_t> values;
        for (uint32_t v = 0; v < 70000; ++v)
            values.push_back(v);
        for (uint32_t p = 10; p < 1000000000u; p *= 10)
            values.insert(values.end(), {p - 1, p, p + 1});
        values.insert(values.end(), {999999999u, 1000000000u, 4294967295u});
        std::mt19937 random(7);
        for (int i = 0; i < 500000; ++i)
            values.push_back(random());
        const auto difference = firstDifference(values, csv::putUnsigned);
        QCOMPARE(difference.second, difference.first);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "test_numberformat.moc"
