// The developer form as setupUi builds it: the captions beside the fields the
// configuration slots take by name, and the field lookups they rely on.
#include "ui_developer_mode.h"

#include "TestSupport.h"

#include <QtTest>

class TestDevForm : public QObject
{
    Q_OBJECT

    QScopedPointer<QWidget> window_;
    Ui_Developer_Mode ui_{};

private slots:
    void init()
    {
        window_.reset(new QWidget);
        ui_.setupUi(window_.get());
    }

    void tabsAndLookups()
    {
        QCOMPARE(ui_.tabWidget->tabText(0), QStringLiteral("GOA"));
        QCOMPARE(ui_.tabWidget->tabText(1), QStringLiteral("GATE IC"));
        QCOMPARE(ui_.tabWidget->currentWidget(), ui_.tab);
        // The GATE IC slot looks its fields up by name below tab_2; the GOA tab's
        // trigger fields carry other names.
        QCOMPARE(ui_.tab_2->findChild<QLineEdit*>("lineEdit_23"), ui_.lineEdit_23);
        QCOMPARE(ui_.tab_2->findChild<QLineEdit*>("lineEdit_24"), ui_.lineEdit_24);
        QVERIFY(ui_.radioGOA->isChecked() && !ui_.radioSCAN->isChecked());
        ui_.radioSCAN->click();
        QVERIFY(!ui_.radioGOA->isChecked() && ui_.radioSCAN->isChecked());
    }

    // A form layout lists its rows as "caption|field=text": the slots take the
    // fields by name, the user goes by the caption.
    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* const rows[][2] = {
            {"formLayout_4",
             "INT0(us)|lineEdit_int0=; INT1(us)|lineEdit_int1=; CFG_REG|lineEdit_cfgreg="},
            {"formLayout",
             "rst_fall|lineEdit_9=4800; rst_rise|lineEdit_10=1041600; Stv_rise|lineEdit_11=5600; "
             "Stv_fall|lineEdit_12=8800; ck_start|lineEdit_13=5600; ck_high|lineEdit_14=3200; "
             "ck_low|lineEdit_15=4800; ck_num|lineEdit_16=130; xck_start|lineEdit_17=9600; "
             "xck_high|lineEdit_18=3200; xck_low|lineEdit_19=4800; xck_num|lineEdit_20=129; "
             "total_period|lineEdit_21=1111111; SA_start|lineEdit_94=1600; "
             "SB_start|lineEdit_95=5600; SA_high|lineEdit_96=3200; SB_high|lineEdit_3=3200; "
             "adc_trig_1|lineEdit_4=31; adc_trig_2|lineEdit_25=31"},
            {"formLayout_2",
             "total_period|lineEdit=1111111; CLK_start|lineEdit_2=5600; "
             "CLK256_cycle|lineEdit_5=4000; CLK256_high|lineEdit_6=2000; "
             "CLK44_cycle|lineEdit_7=1600; CLK44_high|lineEdit_8=800; OE_high|lineEdit_22=0; "
             "adc_trig_1|lineEdit_23=31; adc_trig_2|lineEdit_24=31"},
            {"List_DAC",
             "TFT_VOUT0 |lineEdit_goa_dc2=0; TFT_VOUT1 |lineEdit_goaDc1=0; "
             "TFT_VOUT2 |lineEdit_vgl=0; TFT_VOUT3 |lineEdit_tftVbias=0; "
             "MUX_H      |lineEdit_tftVcom=0; MUX_L      |lineEdit_goaDch=0; "
             "VGH/VGG|lineEdit_goaDc3=15; VGL/VEE|lineEdit_muxH=-15; GOA_DC3|lineEdit_muxL=0; "
             "TFT_VGL|lineEdit_pixelDc1=-15; VDD|lineEdit_pixelDc2=3; VIN|lineEdit_pixelDc3=3; "
             "TFT_DC1|lineEdit_vclkH=0; TFT_DC2|lineEdit_vscanL=0; VSS|lineEdit_vscanH=0.5; "
             "VCOM|lineEdit_bk1=-10"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromLatin1(r[0]) << QString::fromLatin1(r[1]);
    }

    void captions()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        const QObject* o = window_->findChild<QObject*>(name);
        QVERIFY(o);
        QCOMPARE(shownTexts(o), text.split(QStringLiteral("; ")));
    }
};

QTEST_MAIN(TestDevForm)
#include "test_devform.moc"
