#include "VoltageDetails.h"

#include "ui_voltagedetails.h"

VoltageDetails::VoltageDetails(QWidget* parent)
    : QDialog(parent, Qt::WindowFlags()), ui(new Ui_VoltageDetails)
{
    ui->setupUi(this);
}

VoltageDetails::~VoltageDetails()
{
    delete ui;
}
