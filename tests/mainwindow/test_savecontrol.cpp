// Save and calibration control of the window; a whole save and calibration
// through the board is the data-path test.
#include "CalibrationFile.h"
#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"
#include "ui_developer_mode.h"

#include <QDirIterator>
#include <QFileDialog>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Runs `act` at each event of `type` that the object it filters receives.
struct EventHook : QObject
{
    QEvent::Type type;
    std::function<void()> act;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type)
            act();
        return false;
    }
};

// Takes from this thread, while it lives, the right to pass over file
// permissions that a test run as root has: a folder without write permission
// then refuses changes as it does for any user.
class PermissionsHonoured
{
public:
    PermissionsHonoured()
    {
        if (!read)
            return;
        __user_cap_data_struct lowered[2] = {saved[0], saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &header, lowered);
    }
    ~PermissionsHonoured()
    {
        if (read)
            syscall(SYS_capset, &header, saved);
    }

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    const bool read = syscall(SYS_capget, &header, saved) == 0;
};

const QFile::Permissions kReadOnly = QFile::ReadOwner | QFile::ExeOwner;
const QFile::Permissions kWritable = kReadOnly | QFile::WriteOwner;

class TestSaveControl : public WindowFixture
{
    Q_OBJECT

    Tessary_VideoThread& worker() { return *window->videoThread; }

    void confirm(const QString& name, int index, bool video, bool picture)
    {
        window->ui.lineEdit_savename->setText(name);
        window->ui.comboBox_saveFrame->setCurrentIndex(index);
        window->ui.checkBox_Video->setChecked(video);
        window->ui.checkBox_Picture->setChecked(picture);
        window->ui.pushButton_save_confirm->click();
    }

private slots:
    void init()
    {
        startWindow();
        runningDataManager->setSaveState(false);
    }

    void cleanup() { stopWindow(); }

    // Save, Full-OFF and Full-ON pressed in turn.
    void captureCheck_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no device") << false << false << "No Device Connected";
        QTest::newRow("not capturing") << true << false << "Please initiate capture";
        QTest::newRow("capturing") << true << true << "";
    }
    void captureCheck()
    {
        QFETCH(bool, connected);
        QFETCH(bool, running);
        QFETCH(QString, refusal);
        isConnected = connected;
        isRuning = running;
        isCalibration = false;
        developer_mode->ui->lineEdit_int0->setText("250");
        const QString lamp = window->ui.isCalibration->styleSheet();
        BoxCatcher boxes;
        for (QPushButton* button :
             {window->ui.pushButton, window->ui.pushButton_low, window->ui.pushButton_max})
            button->click();

        const bool acts = refusal.isEmpty();
        QCOMPARE(boxes.texts(), (acts ? QStringList{"Ready to get the darkest frame.",
                                                    "Ready to get the brightest frame."}
                                      : QStringList{refusal, refusal, refusal}));
        QCOMPARE(boxes.boxes.first().title, QString());
        QVERIFY(window->ui.savelayout->isVisibleTo(window.get()) == acts);
        QVERIFY(worker().isSetMin == acts && worker().isSetMax == acts && isCalibration == acts);
        QCOMPARE(worker().integrationTime.load(), acts ? 250 : 166);
        // Acting, the switch's lamp turns on.
        QCOMPARE(window->ui.isCalibration->styleSheet(), acts ? kLamp.arg("running") : lamp);
    }

    // Each confirm hands over what the panel shows now, nothing of an earlier
    // save, into the folder the path field names; one save at a time, and
    // only a name whose files can be made there. An earlier save of the same
    // name is replaced as a whole or kept as it is.
    void saveConfirm()
    {
        QTemporaryDir dir;
        const QString typed = dir.filePath("Säve"), pic = typed + "/spic/";
        QVERIFY(QDir().mkpath(pic));
        // Not of the save "s", and what the new save "s" writes again; then the
        // earlier save, whose longest table is there already.
        const QStringList files{"s2_5_Frames.csv",    "s_x_Frames.csv",
                                "spic/notes.txt",     "rpic",
                                "spic/s_1.png",       "s_30_Frames.csv",
                                "s_output_video.mp4", "s_1000_Frames_Grayscale.csv",
                                "spic/s_3.png"};
        const auto present = [&] {
            QStringList found;
            for (const QString& file : files)
                if (QFile(typed + "/" + file).open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
                    found << file;
            return found;
        };
        for (const QString& file : files)
            QVERIFY(QFile(typed + "/" + file).open(QIODevice::WriteOnly));
        window->ui.savelayout->show();
        BoxCatcher boxes;
        const QString aside = ".tessary-replace-*";
        QVERIFY(QFile::setPermissions(pic, kReadOnly));
        {
            PermissionsHonoured honoured;
            for (const QString& field :
                 {QString(), dir.filePath("missing"), typed + "/s_30_Frames.csv", typed + "/"}) {
                window->ui.lineEdit_savepath->setText(field);
                if (field.endsWith('/'))
                    boxes.answerNext(QMessageBox::Yes); // a picture cannot be moved away: all stay
                for (const char* name : {"s", "s", "", "../escaped", "a\\b"})
                    confirm(name, 2, false, false);
            }
        }
        QVERIFY(QFile::setPermissions(pic, kWritable));
        confirm(QString(235, 'n'), 2, false, false); // its 1000th gray table's name is too long
        confirm("r", 2, false, true);                // "rpic" is a file: no pictures
        const QString path = "Please select a valid path",
                      slash = "Please enter a save name without / or \\",
                      made = "Please enter a shorter save name or select another path",
                      question = "The folder already holds a save named \"s\". Replace it?";
        // An empty field; a missing folder, then a file, typed as the path; the folder.
        const QStringList notFolder{path, path, path, slash, slash};
        const QStringList folder{
            question, "Could not remove " + pic + "s_1.png", question, path, slash, slash};
        const QStringList said = QStringList{path, path, path, path, path} + notFolder + notFolder +
                                 folder + QStringList{made, made};
        QCOMPARE(boxes.texts(), said);
        QVERIFY(present() == files && !worker().isSaveData && !runningDataManager->getSaveState());
        QVERIFY(!window->ui.savelayout->isHidden() && window->ui.widget_10->isHidden());
        QVERIFY(QDir(typed).entryList({aside}, QDir::Dirs | QDir::Hidden).isEmpty());
        // Left by a replace that was cut short.
        QVERIFY(QDir().mkpath(typed + "/.tessary-replace-Ab12Cd/0"));

        // Replaced; the worker may take the request over and end it before
        // the confirm returns (a 1-frame save): the window is free again.
        saveDirectory = "/chosen/earlier";
        boxes.answerNext(QMessageBox::Yes);
        std::vector<uint8_t> raw(kRawFrameBytes, 0);
        uint8_t* f = raw.data();
        EventHook hook;
        hook.type = QEvent::Hide;
        hook.act = [&] {
            QVERIFY(worker().isSaveData && runningDataManager->getSaveState());
            QCOMPARE(worker().savePath.get(), (dir.path() + "/S\u00e4ve").toStdString());
            QVERIFY(worker().saveNumber == 1 && runningDataManager->getSaveName() == "s");
            QVERIFY(worker().isSavePicture && !worker().isSaveVideo);
            worker().keepFrame(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes,
                               cv::Mat());
            cv::Mat frame(256, 256, CV_8UC1, cv::Scalar(9));
            worker().recordFrame(frame);
        };
        window->ui.savelayout->installEventFilter(&hook);
        confirm("s", 0, false, true);
        window->ui.savelayout->removeEventFilter(&hook);
        QVERIFY(!runningDataManager->getSaveState() && !worker().isSaveData);
        QCOMPARE(saveDirectory, typed);
        QCOMPARE(present(), files.mid(0, 5));
        QVERIFY(QFile::exists(typed + "/s_1_Frames.csv") && QDir(pic).count() == 4);
        QVERIFY(QDir(typed).entryList({aside}, QDir::Dirs | QDir::Hidden).isEmpty());
        QVERIFY(window->ui.savelayout->isHidden() && !window->ui.widget_10->isHidden());

        // While one collects, neither the panel nor a confirm starts another.
        isConnected = isRuning = true;
        confirm("run2", 6, true, false);
        window->ui.pushButton->click();
        confirm("run3", 2, false, true);
        const QString busy = "A save is in progress, please wait";
        QCOMPARE(boxes.texts().mid(said.size()), (QStringList{question, busy, busy}));
        QVERIFY(window->ui.savelayout->isHidden() && runningDataManager->getSaveName() == "run2");
        QVERIFY(saveFrame == 1000 && !worker().isSavePicture && worker().isSaveVideo);

        // Nothing ticked, "Data" included, and no count chosen: data alone, count kept.
        runningDataManager->setSaveState(false);
        window->ui.checkBox_Data->setChecked(false);
        confirm("run4", -1, false, false);
        QVERIFY(saveFrame == 1000 && worker().saveNumber == 1000);
        QVERIFY(worker().isSaveData && !worker().isSavePicture && !worker().isSaveVideo);
    }

    // Saves through the board under a name as long as a save takes: the
    // earlier save is replaced as a whole or stays whole, and no picture
    // folder is left empty by a save that neither made nor emptied it.
    void replaceEarlierSave()
    {
        QTemporaryDir dir;
        QVERIFY(openBoard());
        window->on_Capture_click();
        window->ui.lineEdit_savepath->setText(dir.path());
        const QString name(225, 'N'), pic = dir.filePath(name + "pic");
        const auto listing = [&] {
            QStringList all;
            QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                all << it.next().mid(dir.path().size() + 1).replace(name, "N");
            all.sort();
            return all;
        };
        const auto bytes = [&](const QStringList& files) {
            QList<QByteArray> all;
            for (const QString& file : files)
                all << fileBytes(dir.filePath(QString(file).replace("N", name)));
            return all;
        };
        BoxCatcher boxes;
        const QString question =
            "The folder already holds a save named \"" + name + "\". Replace it?";
        // Each gives the boxes it showed.
        const auto save = [&](int index, bool video, bool pictures, bool replace = true) {
            boxes.boxes.clear();
            if (replace)
                boxes.answerNext(QMessageBox::Yes);
            window->ui.pushButton->click();
            confirm(name, index, video, pictures);
            [&] { QTRY_VERIFY_WITH_TIMEOUT(!runningDataManager->getSaveState(), 20000); }();
            return boxes.texts();
        };
        QCOMPARE(save(1, true, true, false), QStringList());
        const QStringList earlier{"N_5_Frames.csv",     "N_5_Frames_Grayscale.csv",
                                  "N_output_video.mp4", "Npic",
                                  "Npic/N_1.png",       "Npic/N_2.png",
                                  "Npic/N_3.png",       "Npic/N_4.png",
                                  "Npic/N_5.png"};
        QCOMPARE(listing(), earlier);
        const QList<QByteArray> whole = bytes(earlier);

        // Left by replaces cut short: one goes, one cannot.
        const QString stuck = ".tessary-replace-stuck1";
        QVERIFY(QDir(dir.path()).mkpath(".tessary-replace-Ab12Cd/0") &&
                QDir(dir.path()).mkpath(stuck + "/0/1"));
        QVERIFY(QFile::setPermissions(dir.filePath(stuck + "/0"), kReadOnly));
        PermissionsHonoured honoured;
        const QStringList left{stuck, stuck + "/0", stuck + "/0/1"};
        // A picture that cannot be moved away, then a folder where nothing
        // can be made but the earlier 1000th gray table is there already.
        QVERIFY(QFile::setPermissions(pic, kReadOnly));
        QCOMPARE(save(0, false, false),
                 (QStringList{question, "Could not remove " + pic + "/" + name + "_1.png"}));
        QVERIFY(QFile::setPermissions(pic, kWritable));
        const QString longest = dir.filePath(name + "_1000_Frames_Grayscale.csv");
        QVERIFY(QFile(longest).open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(dir.path(), kReadOnly));
        QCOMPARE(
            save(0, false, false),
            (QStringList{question, "Could not create " + dir.filePath(".tessary-replace-XXXXXX")}));
        QVERIFY(QFile::setPermissions(dir.path(), kWritable) && QFile::remove(longest));
        QCOMPARE(listing(), left + earlier);
        QVERIFY(bytes(earlier) == whole);
        QCOMPARE(save(0, false, true), QStringList{question});
        QCOMPARE(listing(), left + QStringList({"N_1_Frames.csv", "N_1_Frames_Grayscale.csv",
                                                "Npic", "Npic/N_1.png"}));

        // Replaced by a save without pictures, declined, and refused with
        // pictures: no picture folder stays; one the user made stays.
        QCOMPARE(save(0, false, false), QStringList{question});
        QCOMPARE(save(0, false, true, false), QStringList{question});
        QCOMPARE(listing(), left + QStringList({"N_1_Frames.csv", "N_1_Frames_Grayscale.csv"}));
        QVERIFY(QDir().mkdir(pic));
        QCOMPARE(save(0, false, false), QStringList{question});
        boxes.boxes.clear();
        confirm(name + "NNNNN", 0, false, true);
        QCOMPARE(boxes.texts(),
                 QStringList{"Please enter a shorter save name or select another path"});
        QCOMPARE(listing(),
                 left + QStringList({"N_1_Frames.csv", "N_1_Frames_Grayscale.csv", "Npic"}));
        QVERIFY(QFile::setPermissions(dir.filePath(stuck + "/0"), kWritable));
    }

    // Reports give text|bar width|Full-ON and Full-OFF enabled.
    void saveProgress_data()
    {
        QTest::addColumn<bool>("failed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("end");
        QTest::newRow("success") << false << 30 << " save success|140|140|11";
        QTest::newRow("failed") << true << 30 << " save failed|140|140|11";
        // The bar shows the share stored.
        QTest::newRow("ended early") << false << 12 << " save stopped, 12/30 frames|56|56|11";
    }
    void saveProgress()
    {
        QFETCH(bool, failed);
        QFETCH(int, stored);
        QFETCH(QString, end);
        QTemporaryDir dir;
        window->ui.lineEdit_savepath->setText(dir.path());
        confirm("n", 2, false, false);
        const auto report = [&](int progress) {
            runningDataManager->setSaveProgress(progress);
            emit worker().saveDialog();
            QWidget* bar = window->ui.widget_11;
            return QStringList{window->ui.label_save->text(), QString::number(bar->width()),
                               QString::number(bar->maximumWidth()),
                               QString::number(window->ui.pushButton_max->isEnabled()) +
                                   QString::number(window->ui.pushButton_low->isEnabled())}
                .join('|');
        };
        QCOMPARE(report(1), QString("3.33333%|4|4|00"));
        QVERIFY(stored < 30 || report(30) == "Export Data..Please wait|140|140|00");
        worker().saveFailed = failed;
        worker().saveStoredFrames = stored;
        const QString before = QTime::currentTime().toString("h:mm:ss");
        const QString text = report(-100);
        const QString after = QTime::currentTime().toString("h:mm:ss");
        QVERIFY2(text == before + end || text == after + end, qPrintable(text));
        // The end removes the connection: later reports show nothing.
        QCOMPARE(report(5), text);
    }

    // No text of the status line moves a control beside it, and each fits
    // in two lines.
    void statusLine()
    {
        QLabel* status = window->ui.label_save;
        window->ui.widget_10->show();
        const auto places = [&] {
            QApplication::processEvents();
            QList<QRect> at;
            for (QWidget* control : window->ui.widget_6->findChildren<QWidget*>())
                at << (control == status ? QRect() : control->geometry());
            return at;
        };
        const QList<QRect> before = places();
        for (const char* text :
             {"23:59:59 save stopped, 999/1000 frames", "Full-Off set, files not stored",
              "Export Data..Please wait", "23:59:59 current set ", "99.9%", ""}) {
            status->setText(text);
            QCOMPARE(places(), before);
            const QRect used = status->fontMetrics().boundingRect(
                status->contentsRect(), status->wordWrap() ? Qt::TextWordWrap : 0, text);
            QVERIFY(used.width() <= status->width() &&
                    used.height() <= 2 * status->fontMetrics().height());
        }
    }

    // Both calibrations done: the dark one's text is what stays; one whose
    // files were not stored says so.
    void filterSwitch()
    {
        runningDataManager->setMaxFlag(true);
        runningDataManager->setMinFlag(true);
        window->fftButton->click();
        QCOMPARE(window->fftButton->text(), QString("close FFT"));
        QVERIFY(worker().isFft);
        QCOMPARE(worker().integrationTime.load(), 180);
        QCOMPARE(window->ui.label_save->text(), QString("Full-Off set success"));
        QVERIFY(!runningDataManager->getMaxFlag() && !runningDataManager->getMinFlag());
        for (const bool bright : {true, false}) {
            (bright ? worker().maxNotStored : worker().minNotStored) = true;
            bright ? runningDataManager->setMaxFlag(true) : runningDataManager->setMinFlag(true);
            window->threadSetMaxMinDialog();
            QCOMPARE(window->ui.label_save->text(),
                     QString("Full-%1 set, files not stored").arg(bright ? "On" : "Off"));
        }
        window->fftButton->click();
        QCOMPARE(window->fftButton->text(), QString("open FFT"));
        QVERIFY(!worker().isFft);
    }

    // The labels use the window's own current range.
    void rangeSliders()
    {
        window->ui.horizontalSlider_max->setValue(4096);
        window->ui.horizontalSlider_max->setValue(0xFFFFF);
        QCOMPARE(window->ui.label_max->text(), QString("150.014"));
        window->fullScaleCharge = 1;
        window->integrationTime = 1000;
        window->ui.horizontalSlider_min->setValue(4096 + 1048);
        QCOMPARE(window->ui.label_min->text(), QString("0.000999451"));
        std::lock_guard<std::mutex> lock(worker().rangeMutex);
        QCOMPARE(QVector<uint32_t>(worker().minRange, worker().minRange + 65536),
                 QVector<uint32_t>(65536, 4096 + 1048));
    }

    void calibrationFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVector<uint32_t>>("values");
        QTest::addColumn<int>("badLine");
        QByteArray noise(1 << 20, '\0');
        QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        // CR LF and LF line ends, empty parts and lines; x 1.1 rounded down, low 32 bits.
        QTest::newRow("short file") << QByteArray("1000,,4096,\r\n4294967295,\n\n,\r\n")
                                    << QVector<uint32_t>{1100, 4505, 429496728} << 0;
        // Blanks around the digits and one leading plus sign, as Qt reads a number.
        QTest::newRow("blanks and signs") << QByteArray("12, 34,\n\t+7 ,\v+0\f, 010 \r\n")
                                          << QVector<uint32_t>{13, 37, 7, 0, 11} << 0;
        QTest::newRow("letter") << QByteArray("1,\r\n2,\r\n3,4x,\r\n") << QVector<uint32_t>() << 3;
        for (const char* part : {"+ 7", "++7", "-7", "+", " ", "1 2", "7+"})
            QTest::newRow(part) << "1,\n\n2," + QByteArray(part) + ",\n"
                                << QVector<uint32_t>() << 3;
        QTest::newRow("overflow") << QByteArray("1,\n4294967296,\n") << QVector<uint32_t>() << 2;
        QTest::newRow("random bytes") << "4096,\n" + noise << QVector<uint32_t>() << 2;
        // Reading stops at the last value the array takes.
        QTest::newRow("one long line") << QByteArray("5,").repeated(1000000).replace(131072, 1, "x")
                                       << QVector<uint32_t>(65536, 5) << 0;
    }
    void calibrationFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QVector<uint32_t>, values);
        QFETCH(int, badLine);
        QBuffer file(&bytes);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        int64_t line = -1;
        const std::vector<uint32_t> read = readCalibration(file, &line);
        QCOMPARE(QVector<uint32_t>(read.begin(), read.end()), values);
        QCOMPARE(line, int64_t(badLine));
        QVERIFY(bytes.size() < 1000000 || file.pos() < 200000);
    }

    // Cancelled first, which keeps the directory the path field shows; the
    // capture pauses only while the dialog is open.
    void directoryChoice()
    {
        QTemporaryDir dir;
        QVERIFY(openBoard());
        window->on_Capture_click();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() > 0, 5000);
        saveDirectory = "/earlier";
        window->ui.lineEdit_savepath->setText("/earlier");

        QStringList answers{"", dir.path()};
        bool paused = true;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            paused = paused && dialog->windowTitle() == "Select Directory" &&
                     !worker().isRunning() && window->displayOff;
            dialog->selectFile(answers.first());
            answers.takeFirst().isEmpty() ? dialog->reject()
                                          : static_cast<QDialog*>(dialog)->accept();
        });
        answerer.start(5);
        BoxCatcher boxes;
        window->ui.pushButton_choice_path->click();
        QCOMPARE(saveDirectory + window->ui.lineEdit_savepath->text(), QString("/earlier/earlier"));
        QCOMPARE(boxes.texts(), QStringList{"Please select a valid path"});
        window->ui.pushButton_choice_path->click();
        QVERIFY(answers.isEmpty() && paused);
        QCOMPARE(saveDirectory, dir.path());
        QCOMPARE(window->ui.lineEdit_savepath->text(), dir.path());

        // The live picture goes on, and a store failure is told once.
        QVERIFY(worker().isRunning() && !window->displayOff);
        const auto served = board->framesServed();
        QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() > served, 5000);
        boxes.boxes.clear();
        emit worker().storeFailed("Could not write /d/n_30_Frames.csv");
        QCOMPARE(boxes.texts(), QStringList{"Could not write /d/n_30_Frames.csv"});
        QCOMPARE(boxes.boxes.first().title, QString());
    }
};

QTEST_MAIN(TestSaveControl)
#include "test_savecontrol.moc"
