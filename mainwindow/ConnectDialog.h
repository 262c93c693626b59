#pragma once

#include <QDialog>

// Who to contact about the tool, and its version.
class ConnectDialog : public QDialog
{
public:
    explicit ConnectDialog(QWidget* parent = nullptr);
    ~ConnectDialog() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
