// Construction of the main window: members, menu bar, wiring and view set-up.
#include "ComboBoxDelegate.h"
#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "WindowLook.h"
#include "devicechange.h"
#include "tessary_interface.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QRegExpValidator>
#include <QWidgetAction>

int readSize = 600;
bool isCalibration = true;
Developer_Mode* developer_mode = nullptr;
RunningDataManager* runningDataManager = RunningDataManager::instance();
int screenHeight = 0;
int screenWidth = 0;
int flipCode = 0;
int saveFrame = 0;
QImage lastImage;
QString saveDirectory;
QString correctPassword = "580417";
bool isRuning = false;
bool isConnected = false;
std::string t = "0123456789ABCDEF";
std::string s;
FT_STATUS status = FT_OK;
FT_HANDLE fthandle1 = nullptr;

namespace {

const char* const kVoltagePattern =
    "^-?(1[0-4](\\.\\d{1,3})?|15(\\.0{1,3})?|[0-9](\\.\\d{1,3})?)$";

} // namespace

Tessary_Interface::Tessary_Interface(QWidget* parent)
    : QMainWindow(parent, Qt::WindowFlags()),
      displayOff(true),
      videoThread(new Tessary_VideoThread(nullptr)),
      fullScaleCharge(25),
      integrationTime(166)
{
    ui.setupUi(this);
    InitD2xx();
    InitMenu();
    InitView();

    // Stand-in for the system broadcasting device-change messages to
    // top-level windows: they reach nativeEvent as on the target platform.
    platform::subscribeDeviceChange(this, [this](MSG* msg) {
        long result = 0;
        nativeEvent("windows_generic_MSG", msg, &result);
    });
}

Tessary_Interface::~Tessary_Interface()
{
    // A running thread must not be destroyed, and a frame in flight still
    // reports to this window: the worker stops first.
    videoThread->stop();
    delete videoThread;
    // The developer window has no parent, so Qt would keep it alive after the window.
    delete developer_mode;
    developer_mode = nullptr;
}

void Tessary_Interface::InitMenu()
{
    mainMenuBar = new QMenuBar(this);
    mainMenuBar->setStyleSheet(windowlook::menuBar("#F8F8F8"));

    settingMenu = new QMenu("    Setting    ", this);
    helpMenu = new QMenu("    Help    ", this);
    windowMenu = new QMenu("    Window    ", this);
    for (QMenu* menu : {settingMenu, helpMenu, windowMenu})
        menu->setStyleSheet(windowlook::kMenu);

    developerModeAction = new QWidgetAction(this);
    screenExchangeAction = new QWidgetAction(this);
    calibrationAction = new QWidgetAction(this);
    languageAction = new QWidgetAction(this);
    fftAction = new QWidgetAction(this);
    contactAction = new QWidgetAction(this);

    developerModeButton = new QPushButton("Developer Mode", this);
    calibrationButton = new QPushButton("open Calibration", this);
    fftButton = new QPushButton("open FFT", this);
    languageButton = new QPushButton("Language", this);
    contactButton = new QPushButton("Contact Us", this);
    screenExchangeButton = new QPushButton("Screen Exchange", this);
    for (QPushButton* button : {developerModeButton, calibrationButton, fftButton, languageButton,
                                contactButton, screenExchangeButton})
        button->setStyleSheet(windowlook::kMenuEntry);

    developerModeAction->setDefaultWidget(developerModeButton);
    calibrationAction->setDefaultWidget(calibrationButton);
    fftAction->setDefaultWidget(fftButton);
    languageAction->setDefaultWidget(languageButton);
    contactAction->setDefaultWidget(contactButton);
    screenExchangeAction->setDefaultWidget(screenExchangeButton);

    settingMenu->addAction(calibrationAction);
    settingMenu->addAction(fftAction);
    helpMenu->addAction(contactAction);
    windowMenu->addAction(screenExchangeAction);

    mainMenuBar->addMenu(settingMenu);
    mainMenuBar->addMenu(windowMenu);
    mainMenuBar->addMenu(helpMenu);
    setMenuBar(mainMenuBar);

    connect(developerModeButton, SIGNAL(clicked()), this, SLOT(DevelopModeSlot()));
    connect(contactButton, SIGNAL(clicked()), this, SLOT(ConnectUs()));
    connect(screenExchangeButton, SIGNAL(clicked()), this, SLOT(toggleFullscreen()));
    connect(calibrationButton, SIGNAL(clicked()), this, SLOT(on_Calibration_click()));
    connect(fftButton, SIGNAL(clicked()), this, SLOT(on_SetFft()));
}

void Tessary_Interface::connectActions()
{
    batteryTimer.setInterval(3000);

    connect(ui.pushButton_password_close, SIGNAL(clicked()), this, SLOT(on_Password_close_click()));
    connect(ui.pushButton_password_ok, SIGNAL(clicked()), this, SLOT(on_Password_ok_click()));
    connect(ui.pushButton_look_password, SIGNAL(clicked()), this, SLOT(on_Password_look_click()));
    connect(ui.pushButton_6, SIGNAL(clicked()), this, SLOT(onCurrentSetting()));
    connect(ui.pushButton, SIGNAL(clicked()), this, SLOT(on_Save_click()));
    connect(ui.pushButton_2, SIGNAL(clicked()), this, SLOT(on_Capture_click()));
    connect(ui.pushButton_5, SIGNAL(clicked()), this, SLOT(on_Open_Close_click()));
    connect(ui.pushButton_max, SIGNAL(clicked()), this, SLOT(on_GetMax()));
    connect(ui.pushButton_low, SIGNAL(clicked()), this, SLOT(on_GetMin()));
    connect(ui.pushButton_11, SIGNAL(clicked()), this, SLOT(on_TFTConfig_click()));
    connect(ui.pushButton_save_confirm, SIGNAL(clicked()), this, SLOT(on_Save_confirm_click()));
    connect(ui.pushButton_choice_path, SIGNAL(clicked()), this, SLOT(on_Choice_Path_click()));
    connect(ui.pushButton_switch, SIGNAL(clicked()), this, SLOT(on_Chip_switch()));
    connect(ui.Buttonsave_dismiss, SIGNAL(clicked()), this, SLOT(on_Save_layout_dismiss_click()));
    connect(ui.lineEdit_password, SIGNAL(returnPressed()), this, SLOT(on_Password_ok_click()));
    connect(videoThread, SIGNAL(setFlag()), this, SLOT(threadSetMaxMinDialog()));
    connect(ui.pushButton_rotate, SIGNAL(clicked()), this, SLOT(on_RotateClick()));
    connect(ui.pushButton_mirror, SIGNAL(clicked()), this, SLOT(on_Mirror_click()));
    connect(this, &Tessary_Interface::showMessage, &Tessary_Interface::onShowMessage);
    connect(&batteryTimer, &QTimer::timeout, this, &Tessary_Interface::getBattery);
    connect(&devicePollTimer, &QTimer::timeout, this, &Tessary_Interface::PollDevices);
    connect(&messageTimer, &QTimer::timeout, this, &Tessary_Interface::hideMessage);
    connect(ui.pushButton_volDetail, SIGNAL(clicked(bool)), this, SLOT(onVoltageDButtonClicked()));
    connect(ui.pushButton_3, SIGNAL(clicked()), this, SLOT(on_intpcClick()));
}

void Tessary_Interface::InitView()
{
    qRegisterMetaType<Mat>("Mat");

    QDir appDir(QCoreApplication::applicationDirPath());
    const QString folder = "Calibration";
    if (appDir.exists(folder))
        qDebug() << "文件夹已经存在：" << folder;
    else if (appDir.mkpath(folder))
        qDebug() << "文件夹创建成功：" << folder;
    else
        qDebug() << "文件夹创建失败：" << folder;

    auto* validator = new QRegExpValidator(QRegExp(kVoltagePattern, Qt::CaseSensitive), this);
    for (QLineEdit* field : {ui.lineEdit_vss, ui.lineEdit_vcom, ui.lineEdit_vdd, ui.lineEdit_vin,
                             ui.lineEdit_von, ui.lineEdit_voff})
        field->setValidator(validator);

    auto* delegate = new ComboBoxDelegate(ui.comboBox);
    ui.comboBox->setItemDelegate(delegate);
    ui.comboBox_saveFrame->setItemDelegate(delegate);

    for (const char* item : {" 1", " 5", " 30", " 50", " 100", " 500", " 1000"})
        ui.comboBox_saveFrame->addItem(item);
    ui.comboBox_saveFrame->setCurrentIndex(0);

    developer_mode = new DevelopView(nullptr);

    ui.password_input->hide();
    ui.widget->hide();
    ui.savelayout->hide();
    ui.widget_8->hide();
    ui.widget_10->hide();
    ui.widget_13->hide();

    ui.label_save->setStyleSheet("QLabel { qproperty-alignment: AlignCenter; }");
    ui.label->installEventFilter(this);

    connectActions();

    ui.label->setScaledContents(true);
    ui.widget_12->hide();

    ui.horizontalSlider_max->setRange(4096, 0xFFFFF);
    ui.horizontalSlider_max->setValue(0xFFFFF);
    connect(ui.horizontalSlider_max, &QSlider::valueChanged, this,
            &Tessary_Interface::updateMaxRange);
    ui.horizontalSlider_min->setRange(4096, 0xFFFFF);
    ui.horizontalSlider_min->setValue(4096);
    connect(ui.horizontalSlider_min, &QSlider::valueChanged, this,
            &Tessary_Interface::updateMinRange);
}

void Tessary_Interface::onShowMessage(const QString& title, const QString& message)
{
    QMessageBox::information(nullptr, title, message, QMessageBox::Ok, QMessageBox::NoButton);
}

void Tessary_Interface::hideMessage()
{
    messageBox.accept();
}

TessaryWidget::~TessaryWidget() = default;

void TessaryWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QColor background("#F8F8F8");
    // Away from the antialiased outline the fill is the plain colour, so a
    // repaint there (each new frame under the picture) only fills its region.
    if (rect().adjusted(1, 1, -1, -1).contains(event->rect())) {
        painter.fillRect(event->rect(), background);
    } else {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QBrush(background));
        painter.drawRect(rect());
    }
    painter.end();
    QWidget::paintEvent(event);
}
