// The developer window's value encoders: exact bytes, the "0" they print for
// a zero value, and the scratch string they share.
#include "Developer_Mode.h"
#include "TestSupport.h"

#include <QtTest>

#include <climits>

class TestCodecs : public QObject
{
    Q_OBJECT
    Developer_Mode* dev_ = nullptr;

private slots:
    void initTestCase() { dev_ = new Developer_Mode; }
    void cleanupTestCase() { delete dev_; }
    void init() { resetStdoutState(); }

    void encoders_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("printed");
        const char* const rows[][4] = {
            // INT tick codes (three bytes; the presets are in the ADC frames);
            // beyond the field they saturate.
            {"ticks", "6640", "0019f0", ""},
            {"ticks", "1048560", "0ffff0", ""},
            {"ticks", "1048600", "100018", ""},
            {"ticks", "0", "000000", "0"},
            {"ticks", "16777215", "ffffff", ""},
            {"ticks", "16777240", "ffffff", ""},
            {"ticks", "2147483647", "ffffff", ""},
            {"ticks", "-40", "000000", "0"},
            // Voltages through the two-byte encoder; +20 V no longer goes out
            // as 10 00 (-17.5 V) but as the largest code.
            {"volts", "0", "8000", ""},
            {"volts", "3", "9333", ""},
            {"volts", "-3", "6ccd", ""},
            {"volts", "19.9", "ff5c", ""},
            {"volts", "-20", "0000", "0"},
            {"volts", "0.00030517578125", "8001", ""},
            {"volts", "20", "ffff", ""},
            {"volts", "-25", "0000", "0"},
            {"volts", "1e12", "ffff", ""},
            {"volts", "-1e12", "0000", "0"},
            // CFG_REG texts; G counts 23 by its character code.
            {"cfg", "1bf", "01bf", ""},
            {"cfg", "01bf", "01bf", ""},
            {"cfg", "01BF", "01bf", ""},
            {"cfg", "ABCD", "abcd", ""},
            {"cfg", "xyz", "48da", ""},
            {"cfg", "G0", "0070", ""},
            {"cfg", "", "0000", "0"},
            {"cfg", "0001bf", "01bf", ""},
            {"cfg", "00000", "0000", ""},
            {"cfg", "1bf00", "ffff", ""},
        };
        for (const auto& r : rows)
            QTest::addRow("%s '%s'", r[0], r[1])
                << r[0] << r[1] << QByteArray::fromHex(r[2]) << QString(r[3]);
    }

    void encoders()
    {
        QFETCH(QString, kind);
        QFETCH(QString, input);
        QFETCH(QByteArray, out);
        QFETCH(QString, printed);
        unsigned char buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        StdoutCapture capture;
        if (kind == "ticks")
            dev_->getcharFromSide(input.toInt(), buffer);
        else if (kind == "volts")
            dev_->getcharFromTFT(dev_->double2int(input.toDouble()), buffer);
        else
            dev_->string2uchar(input.toStdString(), buffer);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), out.size()), out);
        QCOMPARE(buffer[out.size()], 0xAA); // nothing written past the field
        QCOMPARE(QString::fromStdString(capture.text()), printed);
        QVERIFY(s1.empty());
    }

    void voltageCodes()
    {
        QCOMPARE(dev_->double2int(3.0), 37683);
        QCOMPARE(dev_->double2int(-3.0), 27853);
        QCOMPARE(dev_->double2int(0.00030517578125), 32769); // 32768.5: away from zero
        QCOMPARE(dev_->double2int(20.0), 65536);
        QCOMPARE(dev_->double2int(-25.0), -8192);
        // Codes beyond int saturate instead of reading back as 0 (-20 V).
        QCOMPARE(dev_->double2int(1e12), INT_MAX);
        QCOMPARE(dev_->double2int(-1e12), INT_MIN);
        QCOMPARE(dev_->double2int(qInf()), INT_MAX);
        QCOMPARE(dev_->double2int(qQNaN()), 32768);
    }
};

QTEST_MAIN(TestCodecs)
#include "test_codecs.moc"
