#include "tessary_interface.h"

#include <QCloseEvent>

const QString* TessaryInfo::keys()
{
    static const QString* const table = [] {
        static QString k[kCount];
        const char* const head[] = {"side_a", "side_b", "treset", "mCFG_REG", "mTcalibration",
                                    "fps", "mGOA_DC2", "mGOA_DC1", "mVGL", "mTFT_Vbias",
                                    "mTFT_VCOM", "mGOA_DCH", "mGOA_DC3", "mMUX_H", "mMUX_L",
                                    "mPixel_DC1", "mPixel_DC2", "mPixel_DC3", "mVclk_H",
                                    "mVscan_L", "mVscan_H", "mBK1", "scan_ck_high"};
        int n = 0;
        for (const char* key : head)
            k[n++] = key;
        for (int i = 1; i <= 8; ++i)
            k[n++] = QString("ck%1_start").arg(i);
        k[n++] = "scan_high";
        for (int i = 1; i <= 32; ++i)
            k[n++] = QString("scan%1_start").arg(i);
        for (const char* key : {"scan_total_period", "rst_fall", "rst_rise", "Stv_rise",
                                "Stv_fall", "ck_start", "ck_high", "ck_low", "ck_num",
                                "xck_start", "xck_high", "xck_low", "xck_num", "total_period"})
            k[n++] = key;
        return k;
    }();
    return table;
}

void Tessary_Interface::closeEvent(QCloseEvent* event)
{
    // A close during capture stops the worker before the board is told to
    // stop, so no frame request follows the reset and nothing outlives the window.
    if (isRuning) {
        videoThread->stop();
        displayOff = true;
        const unsigned char systemReset[6] = {0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB};
        DWORD written = 0;
        status = FT_Write(fthandle1, const_cast<unsigned char*>(systemReset), 6, &written);
    }
    event->accept();
}

void Tessary_Interface::InitJson() {}
void Tessary_Interface::showFileValue(QString) {}
void Tessary_Interface::setFileValue(QString) {}
