#pragma once

#include "d2xx.h"

#include <QWidget>

#include <cstddef>
#include <functional>
#include <string>

class QMenu;
class QMenuBar;
class QPushButton;
class QWidgetAction;
class RunningDataManager;
class Ui_Developer_Mode;

// The register-level console of the board: configuration frames, timing
// presets and parameter read-back. Runs in the GUI thread only.
class Developer_Mode : public QWidget
{
    Q_OBJECT
public:
    explicit Developer_Mode(QWidget* parent = nullptr);
    ~Developer_Mode() override;

    FT_HANDLE ftHandle = nullptr;
    FT_STATUS ftStatus = FT_OK;
    int model = 0;
    QMenuBar* developerMenuBar = nullptr;
    QMenu* settingMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QWidgetAction* clientModeAction = nullptr;
    QWidgetAction* aboutAction = nullptr;
    QWidgetAction* contactAction = nullptr;
    QWidgetAction* languageAction = nullptr;
    QPushButton* clientModeButton = nullptr;
    QPushButton* aboutButton = nullptr;
    QPushButton* languageButton = nullptr;
    QPushButton* contactButton = nullptr;
    Ui_Developer_Mode* ui = nullptr;

    void initMenu();
    int getINT0();
    void logHex(const void* data, size_t length);
    void SystemReset();
    void Calculation_Parameters(int);
    void setModel(int m);

    // Value codecs and checksums.
    int sum_16(std::string text);
    int double2int(double volts);
    int getcharFromSide(int value, unsigned char* out);
    int getcharFromTFT(int value, unsigned char* out);
    int string2uchar(std::string text, unsigned char* out);
    int checkGOAsum(unsigned char* f1, unsigned char* f2, unsigned char* f3, unsigned char* f4,
                    unsigned char* f5, unsigned char* f6, unsigned char* f7, unsigned char* f8,
                    unsigned char* f9, unsigned char* f10, unsigned char* f11, unsigned char* f12,
                    unsigned char* f13, unsigned char* f14, unsigned char* f15, unsigned char* f16,
                    unsigned char* f17, unsigned char* f18);
    int checkTFTSCAN(unsigned char* f1, unsigned char* f2, unsigned char* f3, unsigned char* f4,
                     unsigned char* f5, unsigned char* f6, unsigned char* f7, unsigned char* f8);
    int checkADCsum(unsigned char* int0, unsigned char* int1, unsigned char* cfgReg);
    int checkTFTsum(unsigned char* v1, unsigned char* v2, unsigned char* v3, unsigned char* v4,
                    unsigned char* v5, unsigned char* v6, unsigned char* v7, unsigned char* v8,
                    unsigned char* v9, unsigned char* v10, unsigned char* v11, unsigned char* v12,
                    unsigned char* v13, unsigned char* v14, unsigned char* v15, unsigned char* v16);
    unsigned char* getcharFromTreset(int value, unsigned char* out);
    unsigned char* getcharFromSCAN(int value, unsigned char* out);

public slots:
    void on_ADCConfig_Clicked();
    void on_DACConfig_Clicked();
    void on_GOAConfig_Clicked();
    void on_SCANConfig_Clicked();
    void on_ReadParam_Clicked();
    void on_ModeSwitch_Clicked();
    void on_FREQConfig_Clicked();
    void analyParam(UCHAR* data);
    void on_ClientMode_Clicked();
    void on_Language_Clicked();
    void on_Connect_Clicked();
    void on_About_Clicked();

protected:
    // True (after showing the refusal) while acquisition runs.
    bool accessLocked();
    // Sends a configuration frame (none when `size` is 0), prints its `echo`
    // once the board has it, and the reset that applies it; ftStatus keeps the
    // first failure. False, after telling the user, when a write failed.
    bool sendAndReset(const unsigned char* frame, std::size_t size,
                      const std::function<void()>& echo = {});

private:
    // While a preset runs its caller reads ftStatus and reports a failed write.
    bool presetRunning = false;
};

// The instance the main window creates; paints its background picture.
class DevelopView : public Developer_Mode
{
public:
    using Developer_Mode::Developer_Mode;
    ~DevelopView() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

extern RunningDataManager* runningState;
extern std::string s1;
extern std::string t1;
