#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"
#include "ui_developer_mode.h"

#include <QApplication>
#include <QFileDialog>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <mutex>

namespace {

const QString kLampRunning = "QPushButton { border-image: url(:/Image/images/tip_running.png);}";
const QString kLampStopped = "QPushButton { border-image: url(:/Image/images/tip_stop.png);}";

// Answers every file dialog that opens while it lives: records its caption,
// then lets `answer` pick the file (an empty answer cancels the dialog).
class FileDialogAnswerer : public QObject
{
public:
    explicit FileDialogAnswerer(std::function<QString()> answer) : answer(std::move(answer))
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(widget);
                if (!dialog || !dialog->isVisible())
                    continue;
                captions << dialog->windowTitle();
                const QString file = this->answer();
                if (file.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->selectFile(file);
                    static_cast<QDialog*>(dialog)->accept();
                }
            }
        });
        timer.start(5);
    }
    QStringList captions;

private:
    std::function<QString()> answer;
    QTimer timer;
};

// Every entry of a reference array, read under the worker's lock.
QVector<uint32_t> entries(Tessary_VideoThread& worker, const uint32_t* array)
{
    std::lock_guard<std::mutex> lock(worker.rangeMutex);
    return QVector<uint32_t>(array, array + 65536);
}

} // namespace

class TestSaveControl : public WindowFixture
{
    Q_OBJECT

    Tessary_VideoThread& worker() { return *window->videoThread; }

private slots:
    void init()
    {
        startWindow();
        isCalibration = true;
        saveFrame = 0;
        saveDirectory.clear();
        runningDataManager->setSaveState(false);
        runningDataManager->setSaveProgress(0);
    }

    void cleanup() { stopWindow(); }

    void refusalsAndRequests_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("acts");
        for (const char* slot : {"save", "Full-ON", "Full-OFF"}) {
            QTest::addRow("%s, no device", slot)
                << slot << false << false << "No Device Connected" << false;
            QTest::addRow("%s, not capturing", slot)
                << slot << true << false << "Please initiate capture" << false;
        }
        QTest::newRow("save, capturing") << "save" << true << true << "" << true;
        QTest::newRow("Full-ON, capturing")
            << "Full-ON" << true << true << "Ready to get the brightest frame." << true;
        QTest::newRow("Full-OFF, capturing")
            << "Full-OFF" << true << true << "Ready to get the darkest frame." << true;
    }
    void refusalsAndRequests()
    {
        QFETCH(QString, slot);
        QFETCH(bool, connected);
        QFETCH(bool, running);
        QFETCH(QString, box);
        QFETCH(bool, acts);
        isConnected = connected;
        isRuning = running;
        isCalibration = false;
        developer_mode->ui->lineEdit_int0->setText("250");
        const QString lamp = window->ui.isCalibration->styleSheet();
        BoxCatcher boxes;
        if (slot == "save")
            window->ui.pushButton->click();
        else
            (slot == "Full-ON" ? window->ui.pushButton_max : window->ui.pushButton_low)->click();

        QCOMPARE(boxes.texts(), box.isEmpty() ? QStringList() : QStringList{box});
        for (const BoxCatcher::Box& shown : boxes.boxes)
            QCOMPARE(shown.title, QString());
        QCOMPARE(window->ui.savelayout->isVisibleTo(window.get()), acts && slot == "save");
        QCOMPARE(bool(worker().isSetMax), acts && slot == "Full-ON");
        QCOMPARE(bool(worker().isSetMin), acts && slot == "Full-OFF");
        const bool calibrating = acts && slot != "save";
        QCOMPARE(isCalibration, calibrating);
        QCOMPARE(worker().integrationTime.load(), calibrating ? 250 : 166);
        QCOMPARE(window->calibrationButton->text(),
                 QString(calibrating ? "close Calibration" : "open Calibration"));
        QCOMPARE(window->ui.isCalibration->styleSheet(), calibrating ? kLampRunning : lamp);
    }

    void calibrationDoneTexts_data()
    {
        QTest::addColumn<bool>("bright");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bright") << true << false << "Full-On set success";
        QTest::newRow("dark") << false << true << "Full-Off set success";
        QTest::newRow("both") << true << true << "Full-Off set success";
    }
    void calibrationDoneTexts()
    {
        QFETCH(bool, bright);
        QFETCH(bool, dark);
        QFETCH(QString, shown);
        runningDataManager->setMaxFlag(bright);
        runningDataManager->setMinFlag(dark);
        emit worker().setFlag();
        QCOMPARE(window->ui.label_save->text(), shown);
        QVERIFY(!runningDataManager->getMaxFlag() && !runningDataManager->getMinFlag());
    }

    void saveConfirm_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("video");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<QString>("int0");
        QTest::addColumn<int>("count"); // -1: refused with a box
        QTest::addColumn<int>("integration");
        QTest::newRow("30, both ticked") << "/data/Säve"
                                         << "run1" << 2 << true << true << "250" << 30 << 250;
        QTest::newRow("1, video") << "/d"
                                  << "n" << 0 << true << false << "" << 1 << 180;
        QTest::newRow("1000, picture") << "/d"
                                       << "n" << 6 << false << true << "0" << 1000 << 180;
        QTest::newRow("5, data only") << "/d"
                                      << "n" << 1 << false << false << "7" << 5 << 7;
        QTest::newRow("no count selected") << "/d"
                                           << "n" << -1 << false << false << "" << 99 << 180;
        QTest::newRow("no path") << ""
                                 << "n" << 2 << true << true << "" << -1 << 166;
        QTest::newRow("no name") << "/d"
                                 << "" << 2 << true << true << "" << -1 << 166;
    }
    void saveConfirm()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(int, index);
        QFETCH(bool, video);
        QFETCH(bool, picture);
        QFETCH(QString, int0);
        QFETCH(int, count);
        QFETCH(int, integration);
        // What an earlier save asked for must not linger.
        saveFrame = 99;
        worker().saveNumber = 99;
        worker().isSavePicture = true;
        worker().isSaveVideo = true;
        saveDirectory = path;
        window->ui.lineEdit_savepath->setText(path);
        window->ui.lineEdit_savename->setText(name);
        window->ui.comboBox_saveFrame->setCurrentIndex(index);
        window->ui.checkBox_Video->setChecked(video);
        window->ui.checkBox_Picture->setChecked(picture);
        developer_mode->ui->lineEdit_int0->setText(int0);
        window->ui.savelayout->show();

        BoxCatcher boxes;
        window->ui.pushButton_save_confirm->click();
        const bool refused = count < 0;
        QCOMPARE(boxes.texts(),
                 refused ? QStringList{"Please select a valid path"} : QStringList());
        QCOMPARE(worker().integrationTime.load(), integration);
        QCOMPARE(runningDataManager->getSaveState(), !refused);
        QCOMPARE(window->ui.savelayout->isHidden(), !refused);
        QCOMPARE(window->ui.widget_10->isHidden(), refused);
        if (refused) {
            QCOMPARE(worker().saveNumber.load(), 99);
            QVERIFY(!worker().isSaveData);
            QCOMPARE(worker().savePath.get(), std::string());
            return;
        }
        QCOMPARE(worker().savePath.get(), path.toUtf8().toStdString());
        QCOMPARE(runningDataManager->getSaveName(), name);
        QCOMPARE(saveFrame, count);
        QCOMPARE(worker().saveNumber.load(), count);
        QVERIFY(worker().isSaveData);
        QCOMPARE(bool(worker().isSaveVideo), video);
        QCOMPARE(bool(worker().isSavePicture), picture);
    }

    void saveProgress_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<int>>("reports");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("shown"); // "%T": the time of day, h:mm:ss
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("buttons");
        QTest::newRow("first of 30") << 2 << QList<int>{1} << false << "3.33333%" << 4 << false;
        QTest::newRow("half of 100") << 4 << QList<int>{50} << false << "50%" << 70 << false;
        QTest::newRow("last of 30")
            << 2 << QList<int>{1, 30} << false << "Export Data..Please wait" << 140 << false;
        QTest::newRow("written") << 2 << QList<int>{1, 30, -100} << false << "%T save success"
                                 << 140 << true;
        QTest::newRow("not written")
            << 2 << QList<int>{1, 30, -100} << true << "%T save failed" << 140 << true;
        // The end removes the connection: later reports show nothing.
        QTest::newRow("after the end")
            << 0 << QList<int>{1, -100, 0} << false << "%T save success" << 140 << true;
    }
    void saveProgress()
    {
        QFETCH(int, index);
        QFETCH(QList<int>, reports);
        QFETCH(bool, failed);
        QFETCH(QString, shown);
        QFETCH(int, width);
        QFETCH(bool, buttons);
        window->ui.lineEdit_savepath->setText("/d");
        window->ui.lineEdit_savename->setText("n");
        window->ui.comboBox_saveFrame->setCurrentIndex(index);
        // Confirmed twice while collecting: still one report per emission.
        window->ui.pushButton_save_confirm->click();
        window->ui.pushButton_save_confirm->click();
        worker().saveFailed = failed;

        const QString before = QTime::currentTime().toString("h:mm:ss");
        for (int progress : reports) {
            runningDataManager->setSaveProgress(progress);
            emit worker().saveDialog();
        }
        const QString after = QTime::currentTime().toString("h:mm:ss");
        const QString text = window->ui.label_save->text();
        QVERIFY2(text == QString(shown).replace("%T", before) ||
                     text == QString(shown).replace("%T", after),
                 qPrintable(text));
        QCOMPARE(window->ui.widget_11->width(), width);
        QCOMPARE(window->ui.widget_11->minimumWidth(), width);
        QCOMPARE(window->ui.pushButton_max->isEnabled(), buttons);
        QCOMPARE(window->ui.pushButton_low->isEnabled(), buttons);
        const bool stillConnected = QObject::disconnect(window->videoThread, SIGNAL(saveDialog()),
                                                        window.get(), SLOT(threadSaveDialog()));
        QCOMPARE(stillConnected, !buttons);
    }

    void filterSwitchAndIntPc()
    {
        runningDataManager->setMaxFlag(true);
        window->fftButton->click();
        QCOMPARE(window->fftButton->text(), QString("close FFT"));
        QVERIFY(worker().isFft);
        QCOMPARE(worker().integrationTime.load(), 180);
        QCOMPARE(window->ui.label_save->text(), QString("Full-On set success"));
        developer_mode->ui->lineEdit_int0->setText("333");
        window->fftButton->click();
        QCOMPARE(window->fftButton->text(), QString("open FFT"));
        QVERIFY(!worker().isFft);
        QCOMPARE(worker().integrationTime.load(), 333);

        window->ui.lineEdit_2->setText("200");
        window->ui.lineEdit->setText("5pC");
        window->ui.pushButton_3->click();
        QCOMPARE(worker().integrationTime.load(), 200);
        QCOMPARE(worker().fullScaleCharge.load(), 0);
        QCOMPARE(window->integrationTime, 166);
        QCOMPARE(window->fullScaleCharge, 25);
    }

    void rangeSliders_data()
    {
        QTest::addColumn<bool>("bright");
        QTest::addColumn<int>("charge");
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("label");
        QTest::newRow("max at zero level") << true << 25 << 166 << 4096 << "0";
        QTest::newRow("max at top") << true << 25 << 166 << 0xFFFFF << "150.014";
        QTest::newRow("min, 1 nA range") << false << 1 << 1000 << 4096 + 1048 << "0.000999451";
    }
    void rangeSliders()
    {
        QFETCH(bool, bright);
        QFETCH(int, charge);
        QFETCH(int, time);
        QFETCH(int, value);
        QFETCH(QString, label);
        window->fullScaleCharge = charge;
        window->integrationTime = time;
        QSlider* slider =
            bright ? window->ui.horizontalSlider_max : window->ui.horizontalSlider_min;
        slider->setValue(value == 4096 ? 5000 : 4096);
        slider->setValue(value);
        QCOMPARE((bright ? window->ui.label_max : window->ui.label_min)->text(), label);
        QCOMPARE(entries(worker(), bright ? worker().maxRange : worker().minRange),
                 QVector<uint32_t>(65536, uint32_t(value)));
    }

    void calibrationSwitch_data()
    {
        QTest::addColumn<QByteArray>("onFile");
        QTest::addColumn<QVector<uint32_t>>("loaded"); // first entries; the rest stay 7
        QByteArray full;
        QVector<uint32_t> fullValues;
        for (int row = 0; row < 300; ++row) {
            for (int col = 0; col < 256; ++col) {
                full += QByteArray::number(row * 256 + col) + ',';
                if (row < 256)
                    fullValues << uint32_t(uint64_t((row * 256 + col) * 1.1));
            }
            full += '\n';
        }
        QTest::newRow("rounding down")
            << QByteArray("1000,4096,\n\n\n") << QVector<uint32_t>{1100, 4505};
        QTest::newRow("empty parts") << QByteArray("12,,34,\n") << QVector<uint32_t>{13, 37};
        QTest::newRow("windows line ends, no last line end")
            << QByteArray("1,\r\n\r\n2,3") << QVector<uint32_t>{1, 2, 3};
        QTest::newRow("not numbers, 32-bit overflow")
            << QByteArray("x,-5, 20 ,4294967295,4294967296,\n")
            << QVector<uint32_t>{0, 0, 22, 429496728, 0};
        QTest::newRow("longer than the array") << full << fullValues;
        QTest::newRow("one long line")
            << QByteArray("5,").repeated(70000) << QVector<uint32_t>(65536, 5);
        QTest::newRow("missing") << QByteArray() << QVector<uint32_t>{};
    }
    void calibrationSwitch()
    {
        QFETCH(QByteArray, onFile);
        QFETCH(QVector<uint32_t>, loaded);
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(QDir().mkdir("Calibration"));
        QFile on("Calibration/ON_calibration.csv");
        if (!onFile.isEmpty()) {
            QVERIFY(on.open(QIODevice::WriteOnly));
            on.write(onFile);
            on.close();
        }
        QFile off("Calibration/OFF_calibration.csv");
        QVERIFY(off.open(QIODevice::WriteOnly));
        off.write("2000,\n\n\n");
        off.close();

        // First use after start: the references go back to their defaults.
        worker().setmaxrange(123);
        worker().setminrange(5);
        window->calibrationButton->click();
        QVERIFY(!isCalibration);
        QCOMPARE(window->calibrationButton->text(), QString("open Calibration"));
        QCOMPARE(window->ui.isCalibration->styleSheet(), kLampStopped);
        QCOMPARE(entries(worker(), worker().maxRange), QVector<uint32_t>(65536, 0xFFFFF));
        QCOMPARE(entries(worker(), worker().minRange), QVector<uint32_t>(65536, 4096));

        // Second use: the files are loaded over what the arrays hold.
        worker().setmaxrange(7);
        window->calibrationButton->click();
        QVERIFY(isCalibration);
        QCOMPARE(window->calibrationButton->text(), QString("close Calibration"));
        QCOMPARE(window->ui.isCalibration->styleSheet(), kLampRunning);
        QVector<uint32_t> bright = loaded;
        bright.resize(65536);
        std::fill(bright.begin() + loaded.size(), bright.end(), 7u);
        QCOMPARE(entries(worker(), worker().maxRange), bright);
        QVector<uint32_t> dark(65536, 4096);
        dark[0] = 2200;
        QCOMPARE(entries(worker(), worker().minRange), dark);
    }

    void directoryChoice_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("chosen") << false;
        QTest::newRow("cancelled") << true;
    }
    void directoryChoice()
    {
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        board->setPaced(false);
        QVERIFY(openBoard());
        window->on_Capture_click();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() > 0, 5000);
        saveDirectory = "/earlier";
        window->ui.lineEdit_savepath->setText("/earlier");

        bool stoppedMeanwhile = false;
        FileDialogAnswerer answerer([&] {
            stoppedMeanwhile = !worker().isRunning() && window->displayOff;
            return cancel ? QString() : dir.path();
        });
        BoxCatcher boxes;
        window->ui.pushButton_choice_path->click();
        QCOMPARE(answerer.captions, QStringList{"Select Directory"});
        QVERIFY(stoppedMeanwhile);
        const QString expected = cancel ? "/earlier" : dir.path();
        QCOMPARE(saveDirectory, expected);
        QCOMPARE(window->ui.lineEdit_savepath->text(), expected);
        QCOMPARE(boxes.texts(), cancel ? QStringList{"Please select a valid path"} : QStringList());

        // The live picture goes on, and a store failure is told once.
        QVERIFY(worker().isRunning());
        QVERIFY(!window->displayOff);
        const auto served = board->framesServed();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() > served, 5000);
        boxes.boxes.clear();
        emit worker().storeFailed("Could not write /d/n_30_Frames.csv");
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.first().text, QString("Could not write /d/n_30_Frames.csv"));
        QCOMPARE(boxes.boxes.first().title, QString());
    }
};

QTEST_MAIN(TestSaveControl)
#include "test_savecontrol.moc"
