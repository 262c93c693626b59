#include "ComboBoxDelegate.h"
#include "Developer_Mode.h"
#include "TestSupport.h"
#include "Bus.h"
#include "devicechange.h"
#include "tessary_interface.h"

#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QRegExpValidator>
#include <QWidgetAction>
#include <QtTest>

#include <memory>

namespace {

QStringList menuEntryTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions()) {
        auto* widgetAction = qobject_cast<QWidgetAction*>(action);
        if (widgetAction && widgetAction->defaultWidget())
            texts << static_cast<QPushButton*>(widgetAction->defaultWidget())->text();
    }
    return texts;
}

} // namespace

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
    void initTestCase()
    {
        QDir(QCoreApplication::applicationDirPath()).rmdir("Calibration");
    }

    void calibrationFolderBesideExecutable()
    {
        const QDir appDir(QCoreApplication::applicationDirPath());
        QVERIFY(!appDir.exists("Calibration"));
        const bool inWorkingDir = QDir::current().exists("Calibration");
        {
            DebugCapture debug;
            TessaryWidget first;
            QVERIFY(debug.messages().contains("文件夹创建成功： \"Calibration\""));
        }
        QVERIFY(appDir.exists("Calibration"));
        if (QDir::current() != appDir)
            QCOMPARE(QDir::current().exists("Calibration"), inWorkingDir);
        {
            DebugCapture debug;
            TessaryWidget second;
            QVERIFY(debug.messages().contains("文件夹已经存在： \"Calibration\""));
        }
    }

    void stateAfterConstruction()
    {
        TessaryWidget window;
        QVERIFY(window.displayOff);
        QVERIFY(!isConnected);
        QVERIFY(!isRuning);
        QVERIFY(isCalibration);
        QCOMPARE(readSize, 600);
        QCOMPARE(window.fullScaleCharge, 25);
        QCOMPARE(window.integrationTime, 166);
        QCOMPARE(window.videoThread->integrationTime.load(), 166);
        QCOMPARE(window.videoThread->fullScaleCharge.load(), 25);
        QVERIFY(!window.videoThread->isRunning());
        QVERIFY(!window.batteryTimer.isActive());
        QCOMPARE(window.batteryTimer.interval(), 3000);
        QVERIFY(!window.devicePollTimer.isActive());
        QVERIFY(!window.messageTimer.isActive());
        QCOMPARE(correctPassword, QString("580417"));
        for (int i = 0; i < TessaryInfo::kCount; ++i)
            QVERIFY(window.info.value[i].isEmpty());
    }

    void hiddenPanels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("hidden");
        for (const char* name : {"password_input", "widget", "savelayout", "widget_8", "widget_10",
                                 "widget_13", "widget_12"})
            QTest::newRow(name) << name << true;
        for (const char* name : {"label", "widget_func", "widget_func1", "widget_7", "widget_2",
                                 "widget_3"})
            QTest::newRow(name) << name << false;
    }
    void hiddenPanels()
    {
        QFETCH(QString, name);
        QFETCH(bool, hidden);
        TessaryWidget window;
        auto* widget = window.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->isHidden(), hidden);
    }

    void menuBar()
    {
        TessaryWidget window;
        QCOMPARE(window.menuBar(), window.mainMenuBar);
        QStringList titles;
        for (QAction* action : window.mainMenuBar->actions())
            titles << action->text();
        QCOMPARE(titles, (QStringList{"    Setting    ", "    Window    ", "    Help    "}));
        QCOMPARE(menuEntryTexts(window.settingMenu),
                 (QStringList{"open Calibration", "open FFT"}));
        QCOMPARE(menuEntryTexts(window.windowMenu), QStringList{"Screen Exchange"});
        QCOMPARE(menuEntryTexts(window.helpMenu), QStringList{"Contact Us"});
        // Two entries exist but no menu shows them.
        QCOMPARE(window.developerModeButton->text(), QString("Developer Mode"));
        QCOMPARE(window.languageButton->text(), QString("Language"));
        for (QMenu* menu : {window.settingMenu, window.windowMenu, window.helpMenu}) {
            QVERIFY(!menu->actions().contains(window.developerModeAction));
            QVERIFY(!menu->actions().contains(window.languageAction));
        }
    }

    void saveCountBox()
    {
        TessaryWidget window;
        QComboBox* box = window.ui.comboBox_saveFrame;
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, (QStringList{" 1", " 5", " 30", " 50", " 100", " 500", " 1000"}));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(box->currentText(), QString(" 1"));
    }

    void comboRowsAreTwentyHigh()
    {
        TessaryWidget window;
        for (QComboBox* box : {window.ui.comboBox, window.ui.comboBox_saveFrame}) {
            auto* delegate = dynamic_cast<ComboBoxDelegate*>(box->itemDelegate());
            QVERIFY(delegate);
            QStyleOptionViewItem option;
            option.font = box->font();
            QCOMPARE(delegate->sizeHint(option, box->model()->index(0, 0)).height(), 20);
        }
        QCOMPARE(window.ui.comboBox->itemDelegate(), window.ui.comboBox_saveFrame->itemDelegate());
    }

    void voltageValidator_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("state");
        const int ok = QValidator::Acceptable;
        const int partial = QValidator::Intermediate;
        const int refused = QValidator::Invalid;
        QTest::newRow("-15") << "-15" << ok;
        QTest::newRow("15.000") << "15.000" << ok;
        QTest::newRow("9.999") << "9.999" << ok;
        QTest::newRow("0") << "0" << ok;
        QTest::newRow("16") << "16" << refused;
        QTest::newRow("15.1") << "15.1" << refused;
        QTest::newRow("-15.0001") << "-15.0001" << refused;
        QTest::newRow("1.2345") << "1.2345" << refused;
        QTest::newRow("lone minus") << "-" << partial;
        QTest::newRow("1.") << "1." << partial;
    }
    void voltageValidator()
    {
        QFETCH(QString, text);
        QFETCH(int, state);
        TessaryWidget window;
        const QList<QLineEdit*> validated{window.ui.lineEdit_vss, window.ui.lineEdit_vcom,
                                          window.ui.lineEdit_vdd, window.ui.lineEdit_vin,
                                          window.ui.lineEdit_von, window.ui.lineEdit_voff};
        for (QLineEdit* field : validated) {
            QVERIFY(field->validator());
            int pos = 0;
            QString probe = text;
            QCOMPARE(int(field->validator()->validate(probe, pos)), state);
        }
        for (QLineEdit* field : {window.ui.lineEdit_35, window.ui.lineEdit_48, window.ui.lineEdit_50})
            QVERIFY(!field->validator());
    }

    void slidersAndPictureLabel()
    {
        TessaryWidget window;
        QCOMPARE(window.ui.horizontalSlider_max->minimum(), 4096);
        QCOMPARE(window.ui.horizontalSlider_max->maximum(), 0xFFFFF);
        QCOMPARE(window.ui.horizontalSlider_max->value(), 0xFFFFF);
        QCOMPARE(window.ui.horizontalSlider_min->value(), 4096);
        QVERIFY(window.ui.label->hasScaledContents());
        QCOMPARE(window.ui.label_save->styleSheet(),
                 QString("QLabel { qproperty-alignment: AlignCenter; }"));
    }

    void developerWindowHiddenAndBlank()
    {
        TessaryWidget window;
        QVERIFY(developer_mode);
        QVERIFY(dynamic_cast<DevelopView*>(developer_mode));
        QVERIFY(developer_mode->isHidden());
        QVERIFY(developer_mode->isWindow());
        QVERIFY(!developer_mode->parent());
        QCOMPARE(developer_mode->ftHandle, FT_HANDLE(nullptr));
        QCOMPARE(developer_mode->ftStatus, FT_STATUS(0));
        QCOMPARE(developer_mode->model, 0);
    }

    void deviceListing()
    {
        boardsim::Bus::instance().resetToEnvironment();
        {
            TessaryWidget window;
            QCOMPARE(window.ui.comboBox->count(), 1);
            QCOMPARE(window.ui.comboBox->currentText(), QString("TS256A01"));
        }
        qputenv("TESSARY_SIM_BOARDS", "");
        boardsim::Bus::instance().resetToEnvironment();
        {
            TessaryWidget window;
            QCOMPARE(window.ui.comboBox->count(), 1);
            QCOMPARE(window.ui.comboBox->itemText(0), QString(" NO Devices "));
        }
        qputenv("TESSARY_SIM_BOARDS", "TS256A01,TS256B02");
        boardsim::Bus::instance().resetToEnvironment();
        {
            TessaryWidget window;
            QCOMPARE(window.ui.comboBox->count(), 2);
            QCOMPARE(window.ui.comboBox->itemText(1), QString("TS256B02"));
        }
        qputenv("TESSARY_SIM_BOARDS", "TS256A01");
        boardsim::Bus::instance().resetToEnvironment();
    }

    void deviceChangeStartsThePoll_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<uint>("message");
        QTest::addColumn<quintptr>("wParam");
        QTest::addColumn<bool>("starts");
        QTest::newRow("arrival") << QByteArray("windows_generic_MSG") << 0x0219u << quintptr(0x8000) << true;
        QTest::newRow("removal") << QByteArray("windows_generic_MSG") << 0x0219u << quintptr(0x8004) << true;
        QTest::newRow("query remove") << QByteArray("windows_generic_MSG") << 0x0219u << quintptr(0x8001) << false;
        QTest::newRow("node change") << QByteArray("windows_generic_MSG") << 0x0219u << quintptr(0x0007) << false;
        QTest::newRow("other message") << QByteArray("windows_generic_MSG") << 0x0010u << quintptr(0x8000) << false;
        QTest::newRow("not a windows event") << QByteArray("xcb_generic_event_t") << 0x0219u << quintptr(0x8000) << false;
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
        if (starts)
            QCOMPARE(window.devicePollTimer.interval(), 1000);
    }

    void simulatedAttachReachesTheHook()
    {
        boardsim::Bus::instance().resetToEnvironment();
        TessaryWidget window;
        QVERIFY(!window.devicePollTimer.isActive());
        boardsim::Bus::instance().attach("TS256C03");
        QTRY_VERIFY(window.devicePollTimer.isActive());
        // The next poll lists both boards and stops, a serial number being listed.
        QTRY_COMPARE_WITH_TIMEOUT(window.ui.comboBox->count(), 2, 3000);
        QTRY_VERIFY(!window.devicePollTimer.isActive());
        boardsim::Bus::instance().resetToEnvironment();
    }
};

QTEST_MAIN(TestConstruction)
#include "test_construction.moc"
