#include "Bus.h"
#include "Developer_Mode.h"
#include "TestSupport.h"
#include "devicechange.h"
#include "tessary_interface.h"

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWidgetAction>
#include <QtTest>

// A window whose native-event hook can be driven directly.
class HookedWindow : public TessaryWidget
{
public:
    using TessaryWidget::TessaryWidget;
    bool deliver(const QByteArray& type, MSG* msg)
    {
        long result = 0;
        return nativeEvent(type, msg, &result);
    }
};

class TestConstruction : public QObject
{
    Q_OBJECT
private slots:
    void calibrationFolderBesideExecutable()
    {
        const QDir appDir(QCoreApplication::applicationDirPath());
        appDir.rmdir("Calibration");
        const bool inWorkingDir = QDir::current().exists("Calibration");
        {
            DebugCapture debug;
            TessaryWidget first;
            QVERIFY(debug.messages().contains("文件夹创建成功： \"Calibration\""));
        }
        QVERIFY(appDir.exists("Calibration"));
        if (QDir::current() != appDir)
            QCOMPARE(QDir::current().exists("Calibration"), inWorkingDir);
        DebugCapture debug;
        TessaryWidget second;
        QVERIFY(debug.messages().contains("文件夹已经存在： \"Calibration\""));
    }

    void stateAfterConstruction()
    {
        TessaryWidget window;
        QVERIFY(window.displayOff && !isConnected && !isRuning && isCalibration);
        QVERIFY(!window.videoThread->isRunning());
        QVERIFY(!window.batteryTimer.isActive() && !window.devicePollTimer.isActive());
        QVERIFY(dynamic_cast<DevelopView*>(developer_mode));
        QVERIFY(developer_mode->isHidden() && developer_mode->isWindow());

        for (const char* name : {"password_input", "widget", "savelayout", "widget_8", "widget_10",
                                 "widget_13", "widget_12"})
            QVERIFY2(window.findChild<QWidget*>(name)->isHidden(), name);
        for (const char* name :
             {"label", "widget_func", "widget_func1", "widget_7", "widget_2", "widget_3"})
            QVERIFY2(!window.findChild<QWidget*>(name)->isHidden(), name);

        QComboBox* box = window.ui.comboBox_saveFrame;
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, (QStringList{" 1", " 5", " 30", " 50", " 100", " 500", " 1000"}));
        QCOMPARE(box->currentText(), QString(" 1"));
    }

    void menuBar()
    {
        TessaryWidget window;
        QStringList shown;
        for (QAction* bar : window.mainMenuBar->actions())
            for (QAction* entry : bar->menu()->actions())
                shown << bar->text() + ">" +
                             static_cast<QPushButton*>(
                                 static_cast<QWidgetAction*>(entry)->defaultWidget())
                                 ->text();
        // "Developer Mode" and "Language" exist but no menu shows them.
        QCOMPARE(shown, (QStringList{"    Setting    >open Calibration", "    Setting    >open FFT",
                                     "    Window    >Screen Exchange", "    Help    >Contact Us"}));
    }

    // Destroyed during capture from a board that never answers: the worker is
    // stopped before it goes (Qt aborts on a running thread's deletion), and no
    // pointer to the developer window is left behind.
    void teardownReleasesWorkerAndDeveloperWindow()
    {
        boardsim::Bus::instance().resetToEnvironment();
        auto board = boardsim::Bus::instance().board("TS256A01");
        board->setSilent(true);
        auto window = std::make_unique<TessaryWidget>();
        QPointer<Tessary_VideoThread> worker = window->videoThread;
        QPointer<Developer_Mode> developer = developer_mode;
        QCOMPARE(
            FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &worker->ftHandle),
            FT_STATUS(FT_OK));
        const FT_HANDLE handle = worker->ftHandle;
        worker->start();
        QVERIFY(worker->isRunning());
        window.reset();
        QVERIFY(worker.isNull() && developer.isNull());
        QVERIFY(!developer_mode);
        FT_Close(handle);
    }

    void voltageValidator_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("state");
        for (const char* ok : {"-15", "15.000", "9.999", "0"})
            QTest::newRow(ok) << ok << int(QValidator::Acceptable);
        for (const char* refused : {"16", "15.1", "-15.0001", "1.2345"})
            QTest::newRow(refused) << refused << int(QValidator::Invalid);
        for (const char* partial : {"-", "1."})
            QTest::newRow(partial) << partial << int(QValidator::Intermediate);
    }
    void voltageValidator()
    {
        QFETCH(QString, text);
        QFETCH(int, state);
        TessaryWidget window;
        for (QLineEdit* field :
             {window.ui.lineEdit_vss, window.ui.lineEdit_vcom, window.ui.lineEdit_vdd,
              window.ui.lineEdit_vin, window.ui.lineEdit_von, window.ui.lineEdit_voff}) {
            int pos = 0;
            QCOMPARE(int(field->validator()->validate(text, pos)), state);
        }
        QVERIFY(!window.ui.lineEdit_35->validator());
    }

    void deviceListing_data()
    {
        QTest::addColumn<QByteArray>("boards");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("one") << QByteArray("TS256A01") << QStringList{"TS256A01"};
        QTest::newRow("none") << QByteArray("") << QStringList{" NO Devices "};
        QTest::newRow("two") << QByteArray("TS256A01,TS256B02")
                             << QStringList{"TS256A01", "TS256B02"};
    }
    void deviceListing()
    {
        QFETCH(QByteArray, boards);
        QFETCH(QStringList, items);
        qputenv("TESSARY_SIM_BOARDS", boards);
        boardsim::Bus::instance().resetToEnvironment();
        TessaryWidget window;
        QStringList listed;
        for (int i = 0; i < window.ui.comboBox->count(); ++i)
            listed << window.ui.comboBox->itemText(i);
        QCOMPARE(listed, items);
        qputenv("TESSARY_SIM_BOARDS", "TS256A01");
        boardsim::Bus::instance().resetToEnvironment();
    }

    void deviceChangeStartsThePoll_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<uint>("message");
        QTest::addColumn<quintptr>("wParam");
        QTest::addColumn<bool>("starts");
        const QByteArray win("windows_generic_MSG");
        QTest::newRow("arrival") << win << 0x0219u << quintptr(0x8000) << true;
        QTest::newRow("removal") << win << 0x0219u << quintptr(0x8004) << true;
        QTest::newRow("query remove") << win << 0x0219u << quintptr(0x8001) << false;
        QTest::newRow("other message") << win << 0x0010u << quintptr(0x8000) << false;
        QTest::newRow("not a windows event")
            << QByteArray("xcb_generic_event_t") << 0x0219u << quintptr(0x8000) << false;
    }
    void deviceChangeStartsThePoll()
    {
        QFETCH(QByteArray, type);
        QFETCH(uint, message);
        QFETCH(quintptr, wParam);
        QFETCH(bool, starts);
        HookedWindow window;
        MSG msg{nullptr, message, wParam, 0, 0};
        QVERIFY(!window.deliver(type, &msg));
        QCOMPARE(window.devicePollTimer.isActive(), starts);
    }

    void simulatedAttachReachesTheHook()
    {
        boardsim::Bus::instance().resetToEnvironment();
        TessaryWidget window;
        boardsim::Bus::instance().attach("TS256C03");
        QTRY_VERIFY(window.devicePollTimer.isActive());
        QCOMPARE(window.devicePollTimer.interval(), 1000);
        // The next poll lists both boards and stops, a serial number being listed.
        QTRY_COMPARE_WITH_TIMEOUT(window.ui.comboBox->count(), 2, 3000);
        QTRY_VERIFY(!window.devicePollTimer.isActive());
        boardsim::Bus::instance().resetToEnvironment();
    }
};

QTEST_MAIN(TestConstruction)
#include "test_construction.moc"
