#include "Developer_Mode.h"

#include "FrameCodec.h"
#include "RunningDataManager.h"
#include "WindowLook.h"
#include "ui_developer_mode.h"

#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QWidgetAction>

#include <ctime>
#include <iomanip>
#include <iostream>

RunningDataManager* runningState = RunningDataManager::instance();
std::string s1;
std::string t1 = "0123456789ABCDEF";

Developer_Mode::Developer_Mode(QWidget* parent) : QWidget(parent, Qt::WindowFlags())
{
    ui = new Ui_Developer_Mode;
    initMenu();
    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);
    ui->textEdit->setReadOnly(true);

    connect(ui->pushButton_readparam, SIGNAL(clicked()), this, SLOT(on_ReadParam_Clicked()));
    connect(ui->pushButton_adc, SIGNAL(clicked()), this, SLOT(on_ADCConfig_Clicked()));
    connect(ui->pushButton_dac, SIGNAL(clicked()), this, SLOT(on_DACConfig_Clicked()));
    connect(ui->pushButton_goa, SIGNAL(clicked()), this, SLOT(on_GOAConfig_Clicked()));
    connect(ui->pushButton_scan, SIGNAL(clicked()), this, SLOT(on_SCANConfig_Clicked()));
    connect(ui->pushButton_switch, SIGNAL(clicked()), this, SLOT(on_ModeSwitch_Clicked()));
    connect(ui->pushButton_Frame, SIGNAL(clicked(bool)), this, SLOT(on_FREQConfig_Clicked()));
}

Developer_Mode::~Developer_Mode()
{
    delete ui;
}

void Developer_Mode::initMenu()
{
    developerMenuBar = new QMenuBar(this);
    developerMenuBar->setStyleSheet(windowlook::menuBar("#FFFFFF"));

    settingMenu = new QMenu("    Setting    ", this);
    helpMenu = new QMenu("    Help    ", this);
    settingMenu->setStyleSheet(windowlook::kMenu);
    helpMenu->setStyleSheet(windowlook::kMenu);

    clientModeAction = new QWidgetAction(this);
    aboutAction = new QWidgetAction(this);
    languageAction = new QWidgetAction(this);
    contactAction = new QWidgetAction(this);

    clientModeButton = new QPushButton("Client  Mode", this);
    aboutButton = new QPushButton("About", this);
    languageButton = new QPushButton("Language", this);
    contactButton = new QPushButton("Contact Us", this);
    for (QPushButton* button : {clientModeButton, aboutButton, languageButton, contactButton})
        button->setStyleSheet(windowlook::kMenuEntry);

    clientModeAction->setDefaultWidget(clientModeButton);
    aboutAction->setDefaultWidget(aboutButton);
    languageAction->setDefaultWidget(languageButton);
    contactAction->setDefaultWidget(contactButton);

    settingMenu->addAction(clientModeAction);
    settingMenu->addAction(aboutAction);
    helpMenu->addAction(languageAction);
    helpMenu->addAction(contactAction);

    developerMenuBar->addMenu(settingMenu);
    developerMenuBar->addMenu(helpMenu);

    connect(clientModeButton, SIGNAL(clicked()), this, SLOT(on_ClientMode_Clicked()));
}

int Developer_Mode::getINT0()
{
    return ui->lineEdit_int0->text().toInt();
}

void Developer_Mode::logHex(const void* data, size_t length)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::cout << std::dec << "[" << local.tm_year + 1900 << "-" << local.tm_mon + 1 << "-"
              << local.tm_mday << " " << local.tm_hour << ":" << local.tm_min << ":"
              << local.tm_sec << "] ";
    for (size_t i = 0; i < length; ++i) {
        if (i % 4 == 0)
            std::cout << "[" << std::dec << i / 4 << "] ";
        std::cout << std::hex << std::uppercase << std::setw(2) << std::setfill('0')
                  << static_cast<int>(bytes[i]) << " ";
        if ((i + 1) % 4 == 0 || i + 1 == length)
            std::cout << std::endl;
        std::cout << std::dec;
    }
}

void Developer_Mode::SystemReset()
{
    ftStatus =
        framecodec::writeBytes(ftHandle, framecodec::kSystemReset, sizeof framecodec::kSystemReset);
}

void Developer_Mode::Calculation_Parameters(int)
{
    (void)ui->lineEdit_frame->text().toInt();
}

bool Developer_Mode::accessLocked()
{
    if (!runningState->getRunningState())
        return false;
    framecodec::showPlainBox("Access prohibited during operation");
    return true;
}

void Developer_Mode::on_ClientMode_Clicked() {}
void Developer_Mode::on_Language_Clicked() {}
void Developer_Mode::on_Connect_Clicked() {}
void Developer_Mode::on_About_Clicked() {}

DevelopView::~DevelopView() = default;

void DevelopView::paintEvent(QPaintEvent* event)
{
    // The background is left plain: a picture behind this dense form would
    // only make its fields harder to read.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.end();
    QWidget::paintEvent(event);
}
