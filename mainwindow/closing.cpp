#include "FrameCodec.h"
#include "tessary_interface.h"

#include <QCloseEvent>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>

namespace {

const char* const kInfoFile = "./tessary_info.json";

// The voltage fields that share values with the record, field 6 onwards.
constexpr int kFirstVoltageField = 6;

} // namespace

const QString* TessaryInfo::keys()
{
    static const QString* const table = [] {
        static QString k[kCount];
        const char* const head[] = {
            "side_a",   "side_b",   "treset",   "mCFG_REG",   "mTcalibration", "fps",
            "mGOA_DC2", "mGOA_DC1", "mVGL",     "mTFT_Vbias", "mTFT_VCOM",     "mGOA_DCH",
            "mGOA_DC3", "mMUX_H",   "mMUX_L",   "mPixel_DC1", "mPixel_DC2",    "mPixel_DC3",
            "mVclk_H",  "mVscan_L", "mVscan_H", "mBK1",       "scan_ck_high"};
        int n = 0;
        for (const char* key : head)
            k[n++] = key;
        for (int i = 1; i <= 8; ++i)
            k[n++] = QString("ck%1_start").arg(i);
        k[n++] = "scan_high";
        for (int i = 1; i <= 32; ++i)
            k[n++] = QString("scan%1_start").arg(i);
        for (const char* key : {"scan_total_period", "rst_fall", "rst_rise", "Stv_rise", "Stv_fall",
                                "ck_start", "ck_high", "ck_low", "ck_num", "xck_start", "xck_high",
                                "xck_low", "xck_num", "total_period"})
            k[n++] = key;
        return k;
    }();
    return table;
}

bool TessaryInfo::fromJson(const QByteArray& text, TessaryInfo& info)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return false;
    // A document that is not an object reads as one without keys.
    const QJsonObject record = document.object();
    for (int k = 0; k < kCount; ++k)
        info.value[k] = record.value(keys()[k]).toString();
    return true;
}

namespace {

QList<QLineEdit*> infoVoltageFields(const Ui_Tessary_Interface& ui)
{
    return {ui.lineEdit_35,   ui.lineEdit_36,  ui.lineEdit_37,  ui.lineEdit_vss,
            ui.lineEdit_vcom, ui.lineEdit_40,  ui.lineEdit_41,  ui.lineEdit_42,
            ui.lineEdit_43,   ui.lineEdit_vdd, ui.lineEdit_vin, ui.lineEdit_von,
            ui.lineEdit_voff, ui.lineEdit_48,  ui.lineEdit_49,  ui.lineEdit_50};
}

} // namespace

void Tessary_Interface::closeEvent(QCloseEvent* event)
{
    const auto answer =
        QMessageBox::question(this, "Tessary_Interface", tr("Are you sure you want to close?\n"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        event->ignore();
        return;
    }

    QJsonObject record;
    for (int k = 0; k < TessaryInfo::kCount; ++k)
        record.insert(TessaryInfo::keys()[k], info.value[k]);
    const QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Indented);
    QFile file(kInfoFile);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    // A write that falls short (a full disk) is as much a lost file as one
    // that cannot be opened.
    if (written) {
        written = file.write(text) == text.size();
        written = file.flush() && written;
        file.close();
    }
    if (!written)
        framecodec::showPlainBox("json file error!");

    // The worker is stopped before the board is told to stop, so no frame
    // request follows the reset.
    if (isRuning) {
        handle2thread(false);
        SystemReset();
    }
    event->accept();
}

void Tessary_Interface::InitJson()
{
    QFile file(kInfoFile);
    if (!file.open(QIODevice::ReadOnly)) {
        framecodec::showPlainBox("first open");
        return;
    }
    const QByteArray text = file.readAll();
    file.close();
    TessaryInfo::fromJson(text, info);
}

void Tessary_Interface::showFileValue(QString kind)
{
    if (kind != "json")
        return;
    const QList<QLineEdit*> fields = infoVoltageFields(ui);
    for (int i = 0; i < fields.size(); ++i)
        fields[i]->setText(info.value[kFirstVoltageField + i]);
}

void Tessary_Interface::setFileValue(QString kind)
{
    if (kind != "json")
        return;
    const QList<QLineEdit*> fields = infoVoltageFields(ui);
    for (int i = 0; i < fields.size(); ++i)
        info.value[kFirstVoltageField + i] = fields[i]->text();
}
