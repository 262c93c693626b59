// The main window as it is built and torn down, its device list and the
// device-change hook that refreshes it.
#include "Bus.h"
#include "Developer_Mode.h"
#include "TestSupport.h"
#include "devicechange.h"
#include "tessary_interface.h"

#include <QtTest>

using boardsim::Bus;

namespace {

// A window whose native-event hook can be driven directly.
class HookedWindow : public TessaryWidget
{
public:
    bool deliver(const QByteArray& type, MSG* msg)
    {
        long result = 0;
        return nativeEvent(type, msg, &result);
    }
};

QStringList items(const QComboBox* box)
{
    QStringList all;
    for (int i = 0; i < box->count(); ++i)
        all << box->itemText(i);
    return all;
}

} // namespace

class TestConstruction : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        qputenv("TESSARY_SIM_BOARDS", "TS256A01");
        Bus::instance().resetToEnvironment();
    }

    void calibrationFolderBesideExecutable()
    {
        const QDir appDir(QCoreApplication::applicationDirPath());
        appDir.rmdir("Calibration");
        // Made by the first window, found by the second.
        for (const char* said :
             {"文件夹创建成功： \"Calibration\"", "文件夹已经存在： \"Calibration\""}) {
            DebugCapture debug;
            TessaryWidget window;
            QVERIFY(debug.messages().contains(said));
            QVERIFY(appDir.exists("Calibration"));
        }
    }

    // Destroyed during capture from a board that never answers: the worker is
    // stopped before it goes (Qt aborts on a running thread's deletion), and no
    // pointer to the developer window is left behind.
    void teardownReleasesWorkerAndDeveloperWindow()
    {
        Bus::instance().board("TS256A01")->setSilent(true);
        auto window = std::make_unique<TessaryWidget>();
        QPointer<Tessary_VideoThread> worker = window->videoThread;
        QPointer<Developer_Mode> developer = developer_mode;
        QCOMPARE(
            FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &worker->ftHandle),
            FT_STATUS(FT_OK));
        const FT_HANDLE handle = worker->ftHandle;
        worker->start();
        window.reset();
        QVERIFY(worker.isNull() && developer.isNull() && !developer_mode);
        FT_Close(handle);
    }

    // Every voltage field takes -15 V to 15 V with at most three decimals. The texts in
    // turn are whole (2), refused (0) or a beginning (1).
    void voltageValidator()
    {
        TessaryWidget window;
        const Ui_Tessary_Interface& ui = window.ui;
        for (QLineEdit* field : {ui.lineEdit_vss, ui.lineEdit_vcom, ui.lineEdit_vdd,
                                 ui.lineEdit_vin, ui.lineEdit_von, ui.lineEdit_voff}) {
            QString states;
            int pos = 0;
            for (QString text :
                 QString("-15 15.000 9.999 0 16 15.1 -15.0001 1.2345 - 1.").split(' '))
                states += QString::number(field->validator()->validate(text, pos));
            QCOMPARE(states, QString("2222000011"));
        }
    }

    // The boards listed at start; a board plugged in or out reaches the hook,
    // whose poll lists the boards anew each second until it finds one.
    void deviceListing()
    {
        qputenv("TESSARY_SIM_BOARDS", "TS256A01,TS256B02");
        Bus::instance().resetToEnvironment();
        HookedWindow window;
        QCOMPARE(items(window.ui.comboBox), QStringList({"TS256A01", "TS256B02"}));
        // Only the arrival or removal of a device counts, and only in a Windows message.
        MSG others[] = {{nullptr, WM_DEVICECHANGE, 0x8001, 0, 0},
                        {nullptr, 0x0010, DBT_DEVICEARRIVAL, 0, 0}};
        for (MSG& msg : others)
            QVERIFY(!window.deliver("windows_generic_MSG", &msg));
        MSG arrival{nullptr, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0, 0};
        QVERIFY(!window.deliver("xcb_generic_event_t", &arrival));
        QVERIFY(!window.devicePollTimer.isActive());

        Bus::instance().attach("TS256C03");
        QTRY_VERIFY(window.devicePollTimer.isActive());
        QCOMPARE(window.devicePollTimer.interval(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(items(window.ui.comboBox),
                                  QStringList({"TS256A01", "TS256B02", "TS256C03"}), 20000);
        QVERIFY(!window.devicePollTimer.isActive());
        for (const char* serial : {"TS256A01", "TS256B02", "TS256C03"})
            Bus::instance().detach(serial);
        QTRY_COMPARE_WITH_TIMEOUT(items(window.ui.comboBox), QStringList{" NO Devices "}, 20000);
        QVERIFY(window.devicePollTimer.isActive());
    }
};

QTEST_MAIN(TestConstruction)
#include "test_construction.moc"
