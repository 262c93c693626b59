// The data path as a user drives it: a save and a calibration taken from
// the simulated board through the window's own buttons, checked in the files.
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"

#include <QtTest>

namespace {

// Every pixel at full scale: gray 255; a save or a calibration takes the
// integration time from the developer window, 180 us while its field is empty,
// so 25 pC give 138.889 nA.
constexpr uint32_t kFullScale = 4096 + (1u << 20);

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One table as the files hold it: the "Frame" line (if any), 256 rows of
// `value,` and two empty lines.
QByteArray table(const QByteArray& value, int frame = -1)
{
    const QByteArray head = frame >= 0 ? "Frame " + QByteArray::number(frame) + '\n' : "";
    return head + ((value + ',').repeated(256) + '\n').repeated(256) + "\n\n";
}

} // namespace

class TestDataPath : public WindowFixture
{
    Q_OBJECT
    QTemporaryDir work;
    QString startDir;

    void capture()
    {
        QVERIFY(openBoard());
        for (int i = 0; i < 40; ++i)
            board->pushFrame(rawFrame([](int) { return kFullScale; }));
        window->on_Capture_click();
        QVERIFY(isRuning);
    }

private slots:
    void init()
    {
        startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        QDir().mkpath("Calibration");
        startWindow();
        board->setPaced(false);
        window->show();
    }

    void cleanup()
    {
        stopWindow();
        QDir::setCurrent(startDir);
    }

    void saveWritesTables()
    {
        capture();
        window->on_Save_click();
        QVERIFY(window->ui.savelayout->isVisible());
        QTemporaryDir target;
        saveDirectory = target.path();
        window->ui.lineEdit_savepath->setText(target.path());
        window->ui.lineEdit_savename->setText("run");
        window->ui.comboBox_saveFrame->setCurrentIndex(1); // 5 frames
        window->on_Save_confirm_click();

        // The bar's last width is not checked: each report reads the progress
        // when it is shown, which may already be past the last frame.
        QTRY_VERIFY_WITH_TIMEOUT(window->ui.label_save->text().endsWith(" save success"), 20000);
        QVERIFY(window->ui.pushButton_max->isEnabled());

        QByteArray currents, grays;
        for (int f = 0; f < 5; ++f) {
            currents += table("138.889", f);
            grays += table("255", f);
        }
        QCOMPARE(fileBytes(target.filePath("run_5_Frames.csv")), currents);
        QCOMPARE(fileBytes(target.filePath("run_5_Frames_Grayscale.csv")), grays);
        // Pictures and video: the save-control test hands the choice over, the
        // recording test writes them.
    }

    void calibrationIsWrittenAndLoadedBack()
    {
        capture();
        BoxCatcher boxes;
        window->ui.pushButton_max->click();
        QCOMPARE(boxes.texts(), QStringList{"Ready to get the brightest frame."});
        QCOMPARE(window->calibrationButton->text(), QString("close Calibration"));
        QTRY_COMPARE_WITH_TIMEOUT(window->ui.label_save->text(), QString("Full-On set success"),
                                  20000);
        QCOMPARE(fileBytes("Calibration/ON_calibration.csv"), table("1052672"));
        QCOMPARE(fileBytes("Calibration/ON_Current_calibration.csv"), table("138.889"));

        // The switch resets the references, then loads the files (x 1.1) over
        // what the arrays hold: no dark file leaves them, a short one fills
        // only its entries. Nothing is said either way.
        Tessary_VideoThread& worker = *window->videoThread;
        const auto references = [&worker] {
            std::lock_guard<std::mutex> lock(worker.rangeMutex);
            return QList<uint32_t>{worker.maxRange[0], worker.maxRange[65535], worker.minRange[0],
                                   worker.minRange[1]};
        };
        worker.setminrange(7);
        window->calibrationButton->click();
        QCOMPARE(window->calibrationButton->text(), QString("open Calibration"));
        const QString lamp = "QPushButton { border-image: url(:/Image/images/tip_%1.png);}";
        QCOMPARE(window->ui.isCalibration->styleSheet(), lamp.arg("stop"));
        QCOMPARE(references(), (QList<uint32_t>{0xFFFFF, 0xFFFFF, 4096, 4096}));
        worker.setminrange(7);
        window->calibrationButton->click();
        QCOMPARE(window->calibrationButton->text(), QString("close Calibration"));
        QCOMPARE(window->ui.isCalibration->styleSheet(), lamp.arg("running"));
        QCOMPARE(references(), (QList<uint32_t>{1157939, 1157939, 7, 7}));
        QFile off("Calibration/OFF_calibration.csv");
        QVERIFY(off.open(QIODevice::WriteOnly) && off.write("2000,\n"));
        off.close();
        window->calibrationButton->click();
        window->calibrationButton->click();
        QCOMPARE(references(), (QList<uint32_t>{1157939, 1157939, 2200, 4096}));
        QCOMPARE(boxes.boxes.size(), 1);
    }
};

QTEST_MAIN(TestDataPath)
#include "test_datapath.moc"
