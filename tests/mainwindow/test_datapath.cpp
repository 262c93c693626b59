// The data path as a user drives it: saves and a calibration taken from the
// simulated board through the window's own buttons, checked in the files.
#include "Bus.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"

#include <QtTest>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <cstdlib>
#include <string>

namespace {

// Every pixel at full scale: gray 255; a save or a calibration takes the
// integration time from the developer window, 180 us while its field is empty,
// so 25 pC give 138.889 nA.
constexpr uint32_t kFullScale = 4096 + (1u << 20);

// One table as the files hold it: the "Frame" line (if any), 256 rows of
// `value,` and two empty lines.
QByteArray table(const QByteArray& value, int frame = -1)
{
    const QByteArray head = frame >= 0 ? "Frame " + QByteArray::number(frame) + '\n' : "";
    return head + ((value + ',').repeated(256) + '\n').repeated(256) + "\n\n";
}

// Board frame whose pixels all show the gray level g.
std::vector<uint8_t> grayFrame(int g)
{
    const uint32_t above = (uint32_t(g) * (kDefaultBright - kZeroLevel) + 254) / 255;
    return rawFrame([above](int) { return kZeroLevel + above; });
}

// What a save left: the levels of each gray table and of each picture 1,
// 2, … (row-major bytes), and the middle level of each video frame.
struct Saved
{
    QList<QByteArray> tables, pictures;
    QList<int> video;
};

Saved saved(const QDir& dir, const QString& name, int frames)
{
    Saved s;
    const QByteArray grays =
        fileBytes(dir.filePath(QString("%1_%2_Frames_Grayscale.csv").arg(name).arg(frames)));
    // Read in one pass, without a string per field: under the address checker every
    // allocation is slow, and millions of them outlast the test's time limit.
    std::string level;
    bool head = false; // on a table's "Frame" line
    const auto take = [&] {
        if (!level.empty())
            s.tables.last() += char(std::atoi(level.c_str()));
        level.clear();
    };
    for (const char c : grays) {
        if (c == 'F') {
            s.tables << QByteArray();
            s.tables.last().reserve(256 * 256);
            head = true;
        } else if (head || s.tables.isEmpty()) {
            head = head && c != '\n';
        } else if (c == ',' || c == '\n') {
            take();
        } else {
            level += c;
        }
    }
    if (!s.tables.isEmpty())
        take();
    for (int k = 1;; ++k) {
        const cv::Mat p =
            cv::imread(dir.filePath(QString("%1pic/%1_%2.png").arg(name).arg(k)).toStdString(),
                       cv::IMREAD_GRAYSCALE);
        if (p.empty())
            break;
        s.pictures << QByteArray(reinterpret_cast<const char*>(p.data), int(p.total()));
    }
    cv::VideoCapture video(dir.filePath(name + "_output_video.mp4").toStdString(), cv::CAP_FFMPEG);
    for (cv::Mat f; video.read(f);)
        s.video << f.at<cv::Vec3b>(128, 128)[0];
    return s;
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
        window->on_Capture_click();
        QVERIFY(isRuning);
    }

    void confirmSave(const QTemporaryDir& target, int index)
    {
        window->on_Save_click();
        QVERIFY(window->ui.savelayout->isVisible());
        saveDirectory = target.path();
        window->ui.lineEdit_savepath->setText(target.path());
        window->ui.lineEdit_savename->setText("run");
        window->ui.comboBox_saveFrame->setCurrentIndex(index);
        window->ui.checkBox_Picture->setChecked(true);
        window->ui.checkBox_Video->setChecked(true);
        window->on_Save_confirm_click();
    }

private slots:
    void initTestCase() { cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT); }

    void init()
    {
        startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        QDir().mkpath("Calibration");
        startWindow();
    }

    void cleanup()
    {
        stopWindow();
        QDir::setCurrent(startDir);
    }

    // However a save ends, what it kept is stored under the number of frames
    // it holds, the video is finalised, and it says so. Tables, pictures and
    // video hold the same frames: picture k and video frame k are table
    // frame k - 1, filtered exactly when the picture was.
    void saveEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("count reached") << "";
        QTest::newRow("filter switched on") << "filter";
        QTest::newRow("capture stopped") << "stop";
        QTest::newRow("board lost") << "unplug";
        QTest::newRow("window closed") << "close";
    }
    void saveEnds()
    {
        QFETCH(QString, how);
        for (int i = 0; i < 100; ++i) // more than a save that ends early takes
            board->pushFrame(grayFrame(std::abs(i % 24 - 12) * 20));
        const int count = how.isEmpty() ? 5 : how == "filter" ? 30 : 100;
        QVERIFY(openBoard());
        if (count == 100) {
            // The board at 2 frames/s, the worker told so: 100 frames take longer than
            // any wait below, so the save is still collecting when the row ends it.
            setFramePeriod(fthandle1, 5000000);
            board->setPaced(true);
            window->videoThread->boardFramePeriodMs = 500;
        }
        window->on_Capture_click();
        QVERIFY(isRuning);
        if (how == "stop")
            QTRY_VERIFY(window->ui.pushButton_2->isEnabled()); // after its lock-out
        QTemporaryDir target;
        confirmSave(target, how.isEmpty() ? 1 : how == "filter" ? 2 : 4);
        BoxCatcher boxes;
        QTRY_VERIFY_WITH_TIMEOUT(how.isEmpty() || runningDataManager->getSaveProgress() >= 3,
                                 20000);
        if (how == "filter")
            window->fftButton->click();
        else if (how == "stop")
            window->ui.pushButton_2->click();
        else if (how == "unplug")
            boardsim::Bus::instance().detach("TS256A01");
        else if (how == "close")
            window->close();
        QTRY_COMPARE_WITH_TIMEOUT(runningDataManager->getSaveProgress(), -100, 20000);
        const int n = window->videoThread->saveStoredFrames;
        QVERIFY(how.isEmpty() || how == "filter" ? n == count : n >= 3 && n < count);
        if (how != "close") {
            QTRY_VERIFY(window->ui.label_save->text().endsWith(
                n == count ? QString(" save success")
                           : QString(" save stopped, %1/100 frames").arg(n)));
            // The end is told with the share stored, however late the reports before were read.
            QVERIFY(window->ui.pushButton_max->isEnabled());
            QCOMPARE(window->ui.widget_11->width(), n * 140 / count);
        }
        QCOMPARE(boxes.texts(), how == "unplug"  ? QStringList{"断开连接"}
                                : how == "close" ? QStringList{"Are you sure you want to close?\n"}
                                                 : QStringList());

        const QDir dir(target.path());
        const Saved s = saved(dir, "run", n);
        QCOMPARE(s.tables.size(), n);
        QVERIFY(s.pictures == s.tables);
        QCOMPARE(s.video.size(), n);
        // The video's colour coding moves the levels by a few steps.
        for (int k = 0; k < n; ++k)
            QVERIFY2(qAbs(s.video[k] - uchar(s.tables[k][128 * 256 + 128])) <= 8,
                     qPrintable(QString::number(k)));
        QCOMPARE(fileBytes(dir.filePath(QString("run_%1_Frames.csv").arg(n))).count("Frame "), n);
        // A new capture records nothing more into that save.
        if (how == "stop") {
            const QStringList files =
                dir.entryList(QDir::Files) + QDir(dir.filePath("runpic")).entryList();
            QTRY_VERIFY(window->ui.pushButton_2->isEnabled());
            window->ui.pushButton_2->click();
            const auto served = board->framesServed();
            QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() > served + 3, 20000);
            QCOMPARE(dir.entryList(QDir::Files) + QDir(dir.filePath("runpic")).entryList(), files);
        }
    }

    void calibrationIsWrittenAndLoadedBack()
    {
        // However many frames go by before Full-ON is clicked, the ten it takes are full scale.
        board->holdFrame(rawFrame([](int) { return kFullScale; }));
        capture();
        BoxCatcher boxes;
        window->ui.pushButton_max->click();
        QCOMPARE(window->calibrationButton->text(), QString("close Calibration"));
        QTRY_COMPARE_WITH_TIMEOUT(window->ui.label_save->text(), QString("Full-On set success"),
                                  20000);
        QCOMPARE(fileBytes("Calibration/ON_calibration.csv"), table("1052672"));
        QCOMPARE(fileBytes("Calibration/ON_Current_calibration.csv"), table("138.889"));

        // The switch resets the references, then loads the files (x 1.1); a
        // file that is missing, holds no number or a part that is not one is
        // told and leaves its array, and with nothing loaded the switch stays off.
        Tessary_VideoThread& worker = *window->videoThread;
        const auto references = [&worker] {
            std::lock_guard<std::mutex> lock(worker.rangeMutex);
            return QList<uint32_t>{worker.maxRange[0], worker.maxRange[65535], worker.minRange[0],
                                   worker.minRange[1]};
        };
        const auto toggle = [&](const QStringList& said, const QList<uint32_t>& arrays, bool on) {
            boxes.boxes.clear();
            worker.setminrange(7);
            window->calibrationButton->click();
            QCOMPARE(boxes.texts(), said);
            QCOMPARE(references(), arrays);
            QCOMPARE(window->calibrationButton->text(),
                     QString(on ? "close Calibration" : "open Calibration"));
            QCOMPARE(window->ui.isCalibration->styleSheet(), kLamp.arg(on ? "running" : "stop"));
        };
        const QString off = "Calibration/OFF_calibration.csv",
                      on = "Calibration/ON_calibration.csv";
        toggle({}, {0xFFFFF, 0xFFFFF, 4096, 4096}, false);
        toggle({"Could not read " + off}, {1157939, 1157939, 7, 7}, true);
        QVERIFY(writeFile(on, "1,\n\n2,x,\n") && writeFile(off, ",\n"));
        toggle({}, {0xFFFFF, 0xFFFFF, 4096, 4096}, false);
        toggle({"Not a number in " + on + ", line 3", "No calibration values in " + off},
               {0xFFFFF, 0xFFFFF, 7, 7}, false);
        QVERIFY(writeFile(off, "5,\r\n"));
        toggle({"Not a number in " + on + ", line 3"}, {0xFFFFF, 0xFFFFF, 5, 7}, true);
    }
};

QTEST_MAIN(TestDataPath)
#include "test_datapath.moc"
