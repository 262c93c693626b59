// Capture start and stop, the live picture and the pixel read-out, and a
// board lost or closed during capture.
#include "Bus.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"

#include <QtTest>

class TestCapture : public WindowFixture
{
    Q_OBJECT

    void press()
    {
        QTRY_VERIFY_WITH_TIMEOUT(window->ui.pushButton_2->isEnabled(), 5000);
        QTest::mouseClick(window->ui.pushButton_2, Qt::LeftButton);
    }
    // The button, the state label and the lamp.
    QStringList shown() const
    {
        return {window->ui.pushButton_2->text(), window->ui.label_Running->text(),
                window->ui.isRunning->styleSheet()};
    }
    // The window as a stopped capture leaves it; the board then receives nothing more.
    void verifyStopped()
    {
        QVERIFY(!isRuning && !runningDataManager->getRunningState());
        QVERIFY(!window->videoThread->isRunning());
        QCOMPARE(shown(), QStringList({"Capture", "   Stop", kLamp.arg("stop")}));
        const size_t writes = board->hostLog().size();
        QTest::qWait(200);
        QCOMPARE(board->hostLog().size(), writes);
    }

private slots:
    void init() { startWindow(); }

    void cleanup() { stopWindow(); }

    // Refused before the board is open. Start sends no command of its own and
    // pauses the battery poll; a second press within a second is not
    // delivered; with the picture turned twice, the current of the pixel shown
    // at the picked place follows the frames, named by that pixel's column
    // and row in the raw frame (the picture itself is the worker's and the
    // full-screen test's); stop sends the reset frame, and a frame still
    // queued is not drawn.
    void startShowStop()
    {
        BoxCatcher boxes;
        window->on_Capture_click();
        QCOMPARE(boxes.texts(), QStringList{"No Device Connected"});
        QVERIFY(!isRuning && !window->videoThread->isRunning());
        QVERIFY(openBoard());
        // Pixel (col 100, row 192), shown at (156, 64), at full scale: 25 pC in 166 us;
        // in every frame, however many go by before the label is read.
        board->holdFrame(
            rawFrame([](int i) { return i == 192 * 256 + 100 ? 4096u + (1u << 20) : 0u; }));
        window->ui.pushButton_rotate->click();
        window->ui.pushButton_rotate->click();
        QTest::mousePress(window->ui.label, Qt::LeftButton, Qt::NoModifier, QPoint(366, 150));

        board->clearHostLog();
        press();
        QVERIFY(isRuning && runningDataManager->getRunningState());
        QVERIFY(!window->batteryTimer.isActive());
        QCOMPARE(shown(), QStringList({"Stop", "Running", kLamp.arg("running")}));
        QVERIFY(!window->ui.pushButton_2->isEnabled());
        QTest::mouseClick(window->ui.pushButton_2, Qt::LeftButton);
        QVERIFY(isRuning);

        QTRY_COMPARE_WITH_TIMEOUT(window->ui.label_current->text(),
                                  QString("( 100 , 192 ) :150.602nA"), 5000);
        QCOMPARE(hostWrites(*board).first(), QByteArray::fromHex("ffaa00000deb"));

        press();
        QCOMPARE(hostWrites(*board).last(), QByteArray::fromHex("ffaa01000deb"));
        QVERIFY(window->batteryTimer.isActive());
        window->batteryTimer.stop(); // its polls would be writes the silence below is not about
        verifyStopped();
        const qint64 before = window->ui.label->pixmap(Qt::ReturnByValue).cacheKey();
        window->ShowUILabel(cv::Mat(256, 256, CV_8UC1, cv::Scalar(7)));
        QCOMPARE(window->ui.label->pixmap(Qt::ReturnByValue).cacheKey(), before);
    }

    // After a restart (each start connects the worker's signals anew, and
    // never twice), an unplugged board is reported once; a close stops the
    // worker before the handle goes, and says nothing.
    void captureEnds_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("board unplugged") << true;
        QTest::newRow("device closed") << false;
    }
    void captureEnds()
    {
        QFETCH(bool, unplug);
        QVERIFY(openBoard());
        for (int i = 0; i < 3; ++i)
            press();
        const uint64_t served = board->framesServed();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() > served, 5000);
        BoxCatcher boxes;
        if (unplug) {
            boardsim::Bus::instance().detach("TS256A01");
        } else {
            window->on_Open_Close_click();
            QVERIFY(!window->videoThread->isRunning());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window->videoThread->isRunning(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), int(unplug), 5000);
        QCOMPARE(window->ui.pushButton_5->text(), QString("Open"));
        QVERIFY(!isConnected && !board->isOpen());
        verifyStopped();
        QCOMPARE(boxes.texts(), unplug ? QStringList{"断开连接"} : QStringList());
    }

    // Only the left button picks. On the border a turned picture leaves empty
    // there is no current, and the picked place names the pixel.
    void pixelPicks()
    {
        QTest::mousePress(window->ui.label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 4));
        QTest::mousePress(window->ui.label, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(QPoint(window->selectedCol, window->selectedRow), QPoint(0, 1));
        QCOMPARE(runningDataManager->getShowIndex(), 256);
        window->labelCurrentShow(qQNaN());
        QCOMPARE(window->ui.label_current->text(), QString("( 0 , 1 ) :no pixel"));
    }
};

QTEST_MAIN(TestCapture)
#include "test_capture.moc"
