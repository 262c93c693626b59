#include "Bus.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using boardsim::Bus;

namespace {

using Bytes = std::vector<uint8_t>;
const Bytes kSystemReset{0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB};
const Bytes kChunk0{0xFF, 0xAA, 0x00, 0x00, 0x0D, 0xEB};

// Column c shows gray c: raw = dark + c/255 of the default span, rounded up.
uint32_t rampValue(int i)
{
    const uint32_t span = 0xFFFFF - 4096;
    const uint32_t c = uint32_t(i % 256);
    return 4096 + (c * span + 254) / 255;
}

} // namespace

class TestCapture : public WindowFixture
{
    Q_OBJECT

    void press()
    {
        QTRY_VERIFY_WITH_TIMEOUT(window->ui.pushButton_2->isEnabled(), 5000);
        QTest::mouseClick(window->ui.pushButton_2, Qt::LeftButton);
    }
    void feed(int frames, const Bytes& raw)
    {
        for (int i = 0; i < frames; ++i)
            board->pushFrame(raw);
    }

private slots:
    void init()
    {
        startWindow();
        board->setPaced(false);
        window->show();
    }

    void cleanup() { stopWindow(); }

    void captureWithoutDeviceIsRefused()
    {
        BoxCatcher boxes;
        window->on_Capture_click();
        QCOMPARE(boxes.texts(), QStringList{"No Device Connected"});
        QVERIFY(!isRuning);
        QVERIFY(!window->videoThread->isRunning());
    }

    void liveFramesAndPixelReadOut()
    {
        QVERIFY(openBoard());
        Bytes raw = rawFrame(rampValue);
        // Pixel (col 128, row 64) at full scale: 25 pC in 166 us.
        const int picked = 64 * 256 + 128;
        for (int b = 0; b < 4; ++b)
            raw[4 * picked + b] = uint8_t((4096u + (1u << 20)) >> (8 * b));
        feed(200, raw);

        QTest::mousePress(window->ui.label, Qt::LeftButton, Qt::NoModifier, QPoint(300, 150));
        QCOMPARE(window->selectedCol, 128);
        QCOMPARE(window->selectedRow, 64);
        QCOMPARE(runningDataManager->getShowIndex(), 16512);
        QVERIFY(runningDataManager->getShowState());

        window->ui.label->setPixmap(QPixmap());
        press();
        QVERIFY(isRuning);
        QVERIFY(runningDataManager->getRunningState());
        QVERIFY(!window->batteryTimer.isActive());
        QCOMPARE(window->ui.pushButton_2->text(), QString("Stop"));
        QCOMPARE(window->ui.label_Running->text(), QString("Running"));
        QCOMPARE(window->ui.isRunning->styleSheet(),
                 QString("QPushButton { border-image: url(:/Image/images/tip_running.png);}"));

        QTRY_VERIFY_WITH_TIMEOUT(!window->ui.label->pixmap(Qt::ReturnByValue).isNull(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window->ui.label_current->text(),
                                  QString("( 128 , 64 ) :150.602nA"), 5000);
        // Column c gray c, the picked pixel white, handed over fitted to the label.
        QImage frame(256, 256, QImage::Format_Grayscale8);
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c)
                frame.scanLine(r)[c] = uchar(c);
        frame.scanLine(64)[128] = 255;
        const QImage shown = window->ui.label->pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 frame.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32));
    }

    void startSendsNothingStopSendsReset()
    {
        QVERIFY(openBoard());
        QVERIFY(window->batteryTimer.isActive());
        board->clearHostLog();
        press();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() >= 2, 5000);
        const auto started = board->hostLog();
        QCOMPARE(started.front().bytes, kChunk0);

        press();
        QVERIFY(!isRuning);
        QVERIFY(!window->videoThread->isRunning());
        QVERIFY(window->displayOff);
        QCOMPARE(board->hostLog().back().bytes, kSystemReset);
        QCOMPARE(window->ui.pushButton_2->text(), QString("Capture"));
        QCOMPARE(window->ui.label_Running->text(), QString("   Stop"));
        QCOMPARE(window->ui.isRunning->styleSheet(),
                 QString("QPushButton { border-image: url(:/Image/images/tip_stop.png);}"));
        QVERIFY(!runningDataManager->getRunningState());
        QVERIFY(window->batteryTimer.isActive());
        // Nothing else leaves after the reset frame.
        const size_t writes = board->hostLog().size();
        QTest::qWait(100);
        QCOMPARE(board->hostLog().size(), writes);
    }

    void secondPressWithinASecondIsNotDelivered()
    {
        QVERIFY(openBoard());
        press();
        QVERIFY(!window->ui.pushButton_2->isEnabled());
        QTest::mouseClick(window->ui.pushButton_2, Qt::LeftButton);
        QVERIFY(isRuning);
        QCOMPARE(window->ui.pushButton_2->text(), QString("Stop"));
        QTRY_VERIFY_WITH_TIMEOUT(window->ui.pushButton_2->isEnabled(), 3000);
        QVERIFY(isRuning);
    }

    void restartsKeepOneConnectionEach()
    {
        QVERIFY(openBoard());
        for (int round = 0; round < 3; ++round) {
            press();
            QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() > 0, 5000);
            press();
            QVERIFY(!window->videoThread->isRunning());
        }
        for (const char* signal : {SIGNAL(sendMatToUI(Mat)), SIGNAL(disConnect()),
                                   SIGNAL(labelCurrentShow(double)), SIGNAL(savePicture(QImage))}) {
            const QByteArray slot = QByteArray(signal).replace("sendMatToUI", "ShowUILabel")
                                        .replace("disConnect()", "disConnectReact()");
            QVERIFY2(QObject::disconnect(window->videoThread, signal, window.get(), slot.constData()),
                     signal);
            QVERIFY2(!QObject::disconnect(window->videoThread, signal, window.get(),
                                          slot.constData()),
                     signal);
        }
    }

    void unplugDuringCaptureClosesOnce()
    {
        QVERIFY(openBoard());
        press();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() >= 1, 5000);
        BoxCatcher boxes;
        Bus::instance().detach("TS256A01");
        QTRY_VERIFY_WITH_TIMEOUT(!window->videoThread->isRunning(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 5000);
        QCOMPARE(boxes.boxes.first().title, QString("Error"));
        QCOMPARE(boxes.boxes.first().text, QString("断开连接"));
        QCOMPARE(window->ui.pushButton_5->text(), QString("Open"));
        QVERIFY(!isConnected);
        QVERIFY(!isRuning);
        QCOMPARE(window->ui.pushButton_2->text(), QString("Capture"));
        QCOMPARE(window->ui.isRunning->styleSheet(),
                 QString("QPushButton { border-image: url(:/Image/images/tip_stop.png);}"));
        QTest::qWait(200);
        QCOMPARE(boxes.boxes.size(), 1);
    }

    void framesAfterStopAreNotDrawn()
    {
        QVERIFY(openBoard());
        press();
        QTRY_VERIFY_WITH_TIMEOUT(!window->ui.label->pixmap(Qt::ReturnByValue).isNull(), 5000);
        press();
        const qint64 before = window->ui.label->pixmap(Qt::ReturnByValue).cacheKey();
        window->ShowUILabel(cv::Mat(256, 256, CV_8UC1, cv::Scalar(7)));
        QCOMPARE(window->ui.label->pixmap(Qt::ReturnByValue).cacheKey(), before);
        window->displayOff = false;
        window->ShowUILabel(cv::Mat(256, 256, CV_8UC1, cv::Scalar(7)));
        QVERIFY(window->ui.label->pixmap(Qt::ReturnByValue).cacheKey() != before);
    }

    void closingDuringCaptureStopsTheWorkerFirst()
    {
        QVERIFY(openBoard());
        press();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() >= 1, 5000);
        BoxCatcher boxes;
        window->on_Open_Close_click();
        QVERIFY(!isRuning && !runningDataManager->getRunningState());
        QCOMPARE(window->ui.pushButton_2->text(), QString("Capture"));
        QVERIFY(!board->isOpen());
        QVERIFY(!window->videoThread->isRunning());
        const size_t writes = board->hostLog().size();
        QTest::qWait(100);
        QCOMPARE(board->hostLog().size(), writes);
        QVERIFY(boxes.boxes.isEmpty());
    }

    void mirrorAndRotateButtons()
    {
        window->ui.pushButton_mirror->click();
        QCOMPARE(flipCode, 1);
        QCOMPARE(runningDataManager->getFlipCode(), 1);
        window->ui.pushButton_mirror->click();
        QCOMPARE(runningDataManager->getFlipCode(), 0);
        window->ui.pushButton_rotate->click();
        window->ui.pushButton_rotate->click();
        QCOMPARE(runningDataManager->getRotationAngle(), 180);
    }

    void pixelPicks_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::newRow("middle") << int(Qt::LeftButton) << QPoint(300, 150) << 128 << 64;
        // QPoint(0, 0) means the centre to QTest.
        QTest::newRow("near origin") << int(Qt::LeftButton) << QPoint(1, 1) << 0 << 0;
        QTest::newRow("far corner") << int(Qt::LeftButton) << QPoint(599, 599) << 255 << 255;
        QTest::newRow("edge of a pixel") << int(Qt::LeftButton) << QPoint(2, 3) << 0 << 1;
        QTest::newRow("right button") << int(Qt::RightButton) << QPoint(300, 150) << 4 << 4;
        QTest::newRow("middle button") << int(Qt::MiddleButton) << QPoint(300, 150) << 4 << 4;
    }
    void pixelPicks()
    {
        QFETCH(int, button);
        QFETCH(QPoint, at);
        QFETCH(int, col);
        QFETCH(int, row);
        QTest::mousePress(window->ui.label, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QTest::mousePress(window->ui.label, Qt::MouseButton(button), Qt::NoModifier, at);
        QCOMPARE(window->selectedCol, col);
        QCOMPARE(window->selectedRow, row);
        QCOMPARE(runningDataManager->getShowIndex(), row * 256 + col);
        window->labelCurrentShow(1.5);
        QCOMPARE(window->ui.label_current->text(),
                 QString("( %1 , %2 ) :1.5nA").arg(col).arg(row));
    }
};

QTEST_MAIN(TestCapture)
#include "test_capture.moc"
