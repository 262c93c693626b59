#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "tessary_interface.h"

#include <QMenu>

namespace {

void handOver()
{
    developer_mode->ftHandle = fthandle1;
    developer_mode->ftStatus = status;
}

} // namespace

void Tessary_Interface::on_Password_ok_click()
{
    const QString typed = ui.lineEdit_password->text();
    if (typed.isEmpty()) {
        framecodec::showPlainBox("Please enter the password");
        return;
    }
    if (typed != correctPassword) {
        framecodec::showPlainBox("Password error");
        return;
    }
    ui.password_input->hide();
    ui.widget->hide();
    developer_mode->setFixedSize(developer_mode->size());
    developer_mode->show();
    handOver();
    ui.lineEdit_password->clear();
}

void Tessary_Interface::on_Password_close_click()
{
    ui.password_input->hide();
    ui.widget->hide();
}

void Tessary_Interface::on_Password_look_click()
{
    if (ui.lineEdit_password->echoMode() == QLineEdit::Password) {
        ui.lineEdit_password->setEchoMode(QLineEdit::Normal);
        ui.pushButton_look_password->setStyleSheet(
            "QPushButton { border-image: url(:/Image/images/password_off.png);}");
    } else {
        ui.lineEdit_password->setEchoMode(QLineEdit::Password);
        ui.pushButton_look_password->setStyleSheet(
            "QPushButton { border-image: url(:/Image/images/password_on.png);}");
    }
}

void Tessary_Interface::DevelopModeSlot()
{
    ui.savelayout->hide();
    developer_mode->show();
    developer_mode->setFixedSize(developer_mode->size());
    handOver();
    settingMenu->close();
}
