#include "ConnectDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kOkStyle =
    "QPushButton { background-color: #CC8C6A26; border-radius: 4px; border-color: #FFFFFFFF; "
    "font: bold 14px; color: #FFFFFFFF; padding-top: 4px; padding-bottom: 4px; } "
    "QPushButton:pressed, QPushButton:hover { background-color: #8C6A26; "
    "border-color: #D3D3D3; color: #FFFFFFFF; }";

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setWeight(75);
    font.setPointSize(11);
    label->setFont(font);
    return label;
}

QLabel* value(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(
        "<span style=\"text-decoration: underline; color: #444444;\">" + text + "</span>", parent);
    QFont font = label->font();
    font.setPointSize(10);
    label->setFont(font);
    return label;
}

} // namespace

ConnectDialog::ConnectDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Custom Dialog");
    setFixedSize(300, 180);
    QPalette shade = palette();
    shade.setBrush(QPalette::Window, QColor("#EFDCC8"));
    setPalette(shade);
    setAutoFillBackground(true);
    setStyleSheet("QDialog { border-radius: 15px; }");

    // Placeholder contact details: no real address, number or site.
    const struct
    {
        const char* caption;
        const char* value;
        int captionStretch;
        int valueStretch;
    } rows[] = {{"Email:", "support@example.com", 0, 0},
                {"Tel:", "+1 555 0100", 1, 1},
                {"Website:", "www.example.com", 2, 2},
                {"Version:", "2.0.1", 2, 3}};

    auto* column = new QVBoxLayout(this);
    for (const auto& row : rows) {
        column->addWidget(caption(row.caption, this), row.captionStretch);
        column->addWidget(value(row.value, this), row.valueStretch, Qt::AlignLeft);
    }

    auto* ok = new QPushButton("OK", this);
    ok->setFixedSize(60, 20);
    ok->setStyleSheet(kOkStyle);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    column->addLayout(buttons);
}

ConnectDialog::~ConnectDialog() = default;

void ConnectDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor("#8C6A26"), 3));
    painter.setBrush(palette().brush(QPalette::Window));
    painter.drawRoundedRect(1, 1, width() - 2, height() - 2, 5, 5, Qt::AbsoluteSize);
}
