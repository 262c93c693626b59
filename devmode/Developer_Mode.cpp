#include "Developer_Mode.h"

#include "RunningDataManager.h"
#include "ui_developer_mode.h"

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QWidgetAction>

#include <ctime>
#include <iomanip>
#include <iostream>

RunningDataManager* runningState = RunningDataManager::instance();
std::string s1;
std::string t1 = "0123456789ABCDEF";

namespace {

const char* const kMenuBarStyle =
    "QMenuBar {    background-color: #F8F8F8;    font-family: Arial, sans-serif;    font-size: "
    "14px;    border-bottom: 1px solid #CC8C6A26;}QMenuBar::item {    background-color: #F8F8F8;  "
    "  color: #333333;    font-family: Arial, sans-serif;    font-size: 14px;    width: 20px;    "
    "padding: 3px ;}QMenuBar::item:selected {    background-color: #FFFFFF;    color: #886827;}";

const char* const kMenuEntryStyle =
    "QPushButton {     background-color: #e4d8cb;    color: #1a1a1a;    font-family: Arial, "
    "sans-serif;    font: 12px;    border: 0px solid #CC8C6A26;    border-bottom: 1px solid "
    "#CC8C6A26;    padding: 4px 20px 4px 10px;    text-align: left;} QPushButton:hover {     "
    "background-color: #CC8C6A26;}";

// The About entry carries the same declarations with the border lines first.
const char* const kAboutEntryStyle =
    "QPushButton {     background-color: #e4d8cb;    color: #1a1a1a;    border: 0px solid "
    "#CC8C6A26;    border-bottom: 1px solid #CC8C6A26;    font-family: Arial, sans-serif;    "
    "font: 12px;    padding: 4px 20px 4px 10px;    text-align: left;} QPushButton:hover {     "
    "background-color: #CC8C6A26;}";

} // namespace

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
    developerMenuBar->setStyleSheet(kMenuBarStyle);

    settingMenu = new QMenu("    Setting    ", this);
    helpMenu = new QMenu("    Help    ", this);
    settingMenu->setStyleSheet("QMenu { border: none;}");
    helpMenu->setStyleSheet("QMenu { border: none;}");

    clientModeAction = new QWidgetAction(this);
    aboutAction = new QWidgetAction(this);
    languageAction = new QWidgetAction(this);
    contactAction = new QWidgetAction(this);

    clientModeButton = new QPushButton("Client  Mode", this);
    aboutButton = new QPushButton("About", this);
    languageButton = new QPushButton("Language", this);
    contactButton = new QPushButton("Contact Us", this);
    clientModeButton->setStyleSheet(kMenuEntryStyle);
    aboutButton->setStyleSheet(kAboutEntryStyle);
    languageButton->setStyleSheet(kMenuEntryStyle);
    contactButton->setStyleSheet(kMenuEntryStyle);

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
    unsigned char frame[6] = {0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB};
    DWORD written = 0;
    ftStatus = FT_Write(ftHandle, frame, sizeof frame, &written);
}

void Developer_Mode::Calculation_Parameters(int)
{
    (void)ui->lineEdit_frame->text().toInt();
}

bool Developer_Mode::accessLocked()
{
    if (!runningState->getRunningState())
        return false;
    QMessageBox box;
    box.setText("Access prohibited during operation");
    box.exec();
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
