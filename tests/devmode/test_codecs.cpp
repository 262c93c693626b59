// The developer window's value encoders: exact bytes and the "0" they print
// for a zero value.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "TestSupport.h"

#include <QtTest>

class TestCodecs : public QObject
{
    Q_OBJECT
    Developer_Mode dev_;

private slots:
    void encoders_data()
    {
        // "encoder|input|bytes in hexadecimal|standard output"
        QTest::addColumn<QString>("row");
        const char* const rows[] = {
            // INT in microseconds to its three-byte tick code (40 ticks per microsecond).
            "INT|166|0019f0", "INT|500|004e20", "INT|1300|00cb20", "INT|4000|027100",
            "INT|26214|0ffff0", "INT|26215|100018", "INT|0|000000|0",
            // Voltages; the half-way code rounds away from zero, +20 V saturates.
            "V|0|8000", "V|3|9333", "V|-3|6ccd", "V|15|e000", "V|-15|2000", "V|-10|4000",
            "V|0.5|8333", "V|19.9|ff5c", "V|-20|0000|0", "V|20|ffff", "V|0.00030517578125|8001",
            // CFG_REG texts: letters beyond F count by their distance from '0'; leading
            // zeros beyond four digits are dropped, and a longer value saturates.
            "CFG_REG|1bf|01bf", "CFG_REG|01BF|01bf", "CFG_REG|xyz|48da", "CFG_REG|G0|0070",
            "CFG_REG||0000|0", "CFG_REG|0001bf|01bf", "CFG_REG|1bf00|ffff",
            // sum_16 (its value in two bytes).
            "sum_16|bF|00bf", "sum_16|G0|0170"};
        for (const char* row : rows)
            QTest::newRow(row) << QString(row);
    }

    void encoders()
    {
        QFETCH(QString, row);
        const QString kind = row.section('|', 0, 0), input = row.section('|', 1, 1);
        const QString out = row.section('|', 2, 2) + "aa"; // the field, and nothing past it
        unsigned char buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        StdoutCapture capture;
        if (kind == "INT")
            dev_.getcharFromSide(framecodec::tickCode(input.toInt()), buffer);
        else if (kind == "V")
            dev_.getcharFromTFT(dev_.double2int(input.toDouble()), buffer);
        else if (kind == "CFG_REG")
            dev_.string2uchar(input.toStdString(), buffer);
        else
            framecodec::putBigEndian(buffer, uint32_t(dev_.sum_16(input.toStdString())), 2);
        QCOMPARE(QString(QByteArray(reinterpret_cast<char*>(buffer), out.size() / 2).toHex()), out);
        QCOMPARE(QString::fromStdString(capture.text()), row.section('|', 3, 3));
    }
};

QTEST_MAIN(TestCodecs)
#include "test_codecs.moc"
