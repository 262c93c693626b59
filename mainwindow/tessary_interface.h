#pragma once

#include "TessaryInfo.h"
#include "Tessary_VideoThread.h"
#include "d2xx.h"
#include "ui_tessary_interface.h"

#include <QImage>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <cstdint>
#include <string>

// The run and calibration lamps.
inline constexpr char kLampRunning[] =
    "QPushButton { border-image: url(:/Image/images/tip_running.png);}";
inline constexpr char kLampStopped[] =
    "QPushButton { border-image: url(:/Image/images/tip_stop.png);}";

class Developer_Mode;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QPushButton;
class QWidgetAction;
class RunningDataManager;

class Tessary_Interface : public QMainWindow
{
    Q_OBJECT
public:
    explicit Tessary_Interface(QWidget* parent = nullptr);
    ~Tessary_Interface() override;

    bool displayOff;
    QMenuBar* mainMenuBar = nullptr;
    QMenu* settingMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QMenu* windowMenu = nullptr;
    QWidgetAction* developerModeAction = nullptr;
    QWidgetAction* screenExchangeAction = nullptr;
    QWidgetAction* calibrationAction = nullptr;
    QWidgetAction* languageAction = nullptr;
    QWidgetAction* fftAction = nullptr;
    QWidgetAction* contactAction = nullptr;
    QPushButton* developerModeButton = nullptr;
    QPushButton* calibrationButton = nullptr;
    QPushButton* fftButton = nullptr;
    QPushButton* languageButton = nullptr;
    QPushButton* contactButton = nullptr;
    QPushButton* screenExchangeButton = nullptr;
    Tessary_VideoThread* videoThread = nullptr;
    Ui_Tessary_Interface ui;
    TessaryInfo info;
    int selectedCol = 0;
    int selectedRow = 0;
    // Raw-frame index of the sensor pixel whose current comes next (-1: none).
    int readOutPixel = -1;
    QTimer devicePollTimer;
    QTimer messageTimer;
    QTimer batteryTimer;
    QMessageBox messageBox;
    int fullScaleCharge;
    int integrationTime;

    void InitD2xx();
    void InitMenu();
    void InitView();
    void connectActions();
    void handle2thread(bool start);
    void SystemReset();
    int getcharFromTFT(int value, unsigned char* out);
    int sum_16(const std::string& text);
    int double2int(double volts);
    int checkTFTSum(const unsigned char* data, uint64_t length);
    void UpdateSaveStatus();
    void showFileValue(QString kind);
    void setFileValue(QString kind);
    void InitJson();

signals:
    void showToast(QString title, QString message, int timeout);
    void showMessage(QString title, QString message);

public slots:
    bool eventFilter(QObject* obj, QEvent* event) override;
    void on_Open_Close_click();
    void keyPressEvent(QKeyEvent* event) override;
    void updateMinRange(int value);
    void updateMaxRange(int value);
    void on_TFTConfig_click();
    void on_Capture_click();
    void on_Calibration_click();
    void on_Save_click();
    void DevelopModeSlot();
    void on_Password_close_click();
    void on_Password_ok_click();
    void on_Password_look_click();
    void on_Save_layout_dismiss_click();
    void on_Save_confirm_click();
    void on_Chip_switch();
    void on_Choice_Path_click();
    void onCurrentSetting();
    void on_GetMax();
    void on_SetFft();
    void onVoltageDButtonClicked();
    void on_intpcClick();
    void on_GetMin();
    void ShowUILabel(const Mat& mat);
    void disConnectReact();
    void savePicture(QImage Qtemp);
    void labelCurrentShow(double current);
    void labelPixelShow(int pixel);
    void PollDevices();
    void getBattery();
    void threadSaveDialog();
    void threadSetMaxMinDialog();
    void toggleFullscreen();
    void hideMessage();
    static void onShowMessage(const QString& title, const QString& message);
    void on_Mirror_click();
    void on_RotateClick();
    void ConnectUs();
    // The worker could not store a file, picture or video the user asked for.
    void onStoreFailed(QString text);

protected:
    void listDevices(QTimer* pollTimer);
    // Lamp, state label, capture button and run state as a stopped capture shows them.
    void showCaptureStopped();
    // The button offers Open again and the board is closed.
    void closeLink();
    // The one reaction to a lost link: no more polls, the link closed, the user told.
    void reportLostLink();
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;

private:
    // The size limits in force before full screen, lifted while in it and
    // given back on leaving it.
    QSize normalMinimumSize{0, 0};
    QSize normalMaximumSize{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
};

// The top-level window: the main window on a plain light background.
class TessaryWidget : public Tessary_Interface
{
public:
    using Tessary_Interface::Tessary_Interface;
    ~TessaryWidget() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// File-scope state of the main window, GUI thread only; the worker and the
// developer window receive copies of the handle and status.
extern int readSize;
extern bool isCalibration;
extern Developer_Mode* developer_mode;
extern RunningDataManager* runningDataManager;
extern int screenHeight;
extern int screenWidth;
extern int flipCode;
extern int saveFrame;
extern QImage lastImage;
extern QString saveDirectory;
extern QString correctPassword;
extern bool isRuning;
extern bool isConnected;
extern std::string t;
extern std::string s;
extern FT_STATUS status;
extern FT_HANDLE fthandle1;
