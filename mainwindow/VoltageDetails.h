#pragma once

#include <QDialog>

class Ui_VoltageDetails;

// Help on the panel voltages: what each one does, suggested values and the
// two pixel circuit diagrams.
class VoltageDetails : public QDialog
{
    Q_OBJECT
public:
    explicit VoltageDetails(QWidget* parent = nullptr);
    ~VoltageDetails() override;

    Ui_VoltageDetails* ui;
};
