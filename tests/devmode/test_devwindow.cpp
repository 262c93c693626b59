#include "Bus.h"
#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "TestSupport.h"
#include "ui_developer_mode.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidgetAction>
#include <QtTest>

#include <numeric>
#include <vector>

namespace {

// Splits a dump into its lines; the first keeps the time stamp.
QStringList lines(const std::string& text)
{
    return QString::fromStdString(text).split('\n');
}

const QRegularExpression kStamp(R"(^\[\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}\] )");

} // namespace

class TestDevWindow : public QObject
{
    Q_OBJECT
private slots:
    void freshWindowAndItsInertMenu()
    {
        DevelopView window;
        QCOMPARE(window.ftHandle, FT_HANDLE(nullptr));
        QCOMPARE(window.ftStatus, FT_STATUS(0));
        QCOMPARE(window.model, 0);
        QVERIFY(window.ui->textEdit->isReadOnly());
        QStringList entries;
        for (QMenu* menu : {window.settingMenu, window.helpMenu})
            for (QAction* action : menu->actions())
                entries << menu->title() + ">" +
                               static_cast<QPushButton*>(
                                   static_cast<QWidgetAction*>(action)->defaultWidget())
                                   ->text();
        QCOMPARE(entries, (QStringList{"    Setting    >Client  Mode", "    Setting    >About",
                                       "    Help    >Language", "    Help    >Contact Us"}));
        // None of the entries does anything.
        window.ui->lineEdit_int0->setText("42");
        StdoutCapture out;
        for (QPushButton* button : {window.clientModeButton, window.aboutButton,
                                    window.languageButton, window.contactButton})
            button->click();
        QCOMPARE(window.ui->lineEdit_int0->text(), QString("42"));
        QVERIFY(out.text().empty());
    }

    void getINT0_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("166") << "166" << 166;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("decimal") << "12.5" << 0;
        QTest::newRow("negative") << "-5" << -5;
    }
    void getINT0()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        DevelopView window;
        window.ui->lineEdit_int0->setText(text);
        QCOMPARE(window.getINT0(), value);
    }

    void logHexRows_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("none") << 0 << QStringList{""};
        QTest::newRow("one row") << 4 << QStringList{"[0] 00 01 02 03 ", ""};
        QTest::newRow("row and a byte") << 5 << QStringList{"[0] 00 01 02 03 ", "[1] 04 ", ""};
    }
    void logHexRows()
    {
        QFETCH(int, length);
        QFETCH(QStringList, rows);
        DevelopView window;
        std::vector<unsigned char> bytes(static_cast<size_t>(length));
        std::iota(bytes.begin(), bytes.end(), 0);
        StdoutCapture out;
        window.logHex(bytes.data(), bytes.size());
        QStringList got = lines(out.text());
        const auto stamp = kStamp.match(got.first());
        QVERIFY2(stamp.hasMatch(), qPrintable(got.first()));
        got.first().remove(0, stamp.capturedLength());
        QCOMPARE(got, rows);
    }

    void logHexOfAGoaFrame()
    {
        DevelopView window;
        std::vector<unsigned char> frame(143);
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<unsigned char>(0xF0 + i);
        resetStdoutState();
        StdoutCapture out;
        std::cout << std::hex << 255 << " ";
        window.logHex(frame.data(), frame.size());
        std::cout << 255 << " " << std::hex << 171;
        const QStringList got = lines(out.text());
        QCOMPARE(got.size(), 37);
        QVERIFY(got[0].startsWith("ff ["));
        QVERIFY(got[0].endsWith("] [0] F0 F1 F2 F3 "));
        QCOMPARE(got[10], QString("[10] 18 19 1A 1B "));
        QCOMPARE(got[35], QString("[35] 7C 7D 7E "));
        // Decimal again afterwards, and upper case from now on.
        QCOMPARE(got[36], QString("255 AB"));
        resetStdoutState();
    }

    void accessLockWhileRunning()
    {
        DevelopView window;
        boardsim::Bus::instance().resetToEnvironment();
        auto board = boardsim::Bus::instance().board("TS256A01");
        QVERIFY(board);
        QCOMPARE(FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER,
                           &window.ftHandle),
                 FT_STATUS(FT_OK));
        window.ftStatus = 77;
        runningState->setRunningState(true);
        BoxCatcher boxes;
        for (QPushButton* button : {window.ui->pushButton_adc, window.ui->pushButton_dac,
                                    window.ui->pushButton_goa, window.ui->pushButton_scan,
                                    window.ui->pushButton_readparam, window.ui->pushButton_switch})
            button->click();
        runningState->setRunningState(false);
        QStringList expected;
        for (int i = 0; i < 6; ++i)
            expected << "Access prohibited during operation";
        QCOMPARE(boxes.texts(), expected);
        QCOMPARE(window.ftStatus, FT_STATUS(77));
        QVERIFY(board->hostBytes().empty());
        // The unused SystemReset member writes the bare reset frame.
        window.SystemReset();
        QCOMPARE(window.ftStatus, FT_STATUS(FT_OK));
        QCOMPARE(board->hostBytes(), (std::vector<uint8_t>{0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB}));
        FT_Close(window.ftHandle);
    }
};

QTEST_MAIN(TestDevWindow)
#include "test_devwindow.moc"
