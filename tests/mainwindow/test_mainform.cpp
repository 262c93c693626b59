// The main window's form as setupUi builds it on a QMainWindow: the objects and
// their order, the panels' places, every text and the defaults the rest of the
// program relies on.
#include "ui_tessary_interface.h"

#include <QMainWindow>
#include "TestSupport.h"

#include <QtTest>

#define CENTRED(text) "<html><head/><body><p align=\"center\">" text "</p></body></html>"

// The form's object names in creation order (depth first), Qt's own helpers
// (no name, a qt_ name, the main window's layout) left out.
static QStringList formNames(const QWidget* root)
{
    QStringList out;
    for (const QObject* o : root->findChildren<QObject*>()) {
        const QString n = o->objectName();
        if (!n.isEmpty() && !n.startsWith("qt_") && o != root->layout())
            out << n;
    }
    return out;
}

class TestMainForm : public QObject
{
    Q_OBJECT

    QScopedPointer<QMainWindow> window_;
    Ui_Tessary_Interface ui_{};

private slots:
    void init()
    {
        window_.reset(new QMainWindow);
        ui_.setupUi(window_.get());
    }

    void objectsAndPanels()
    {
        const QStringList names = formNames(window_.get());
        QCOMPARE(names.size(), 139);
        QCOMPARE(window_->windowTitle(), QStringLiteral("Tessary_Interface"));
        // The eleven panels and their places, from the bottom of the stack: the
        // picture lowest, the "int" / "pc" entry on top.
        QStringList got;
        for (auto* w : window_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            got << QStringLiteral("%1 %2,%3 %4x%5").arg(w->objectName()).arg(w->x()).arg(w->y())
                       .arg(w->width()).arg(w->height());
        QCOMPARE(got, QStringList({"label 20,45 600x600", "widget_func 650,515 561x130",
                                   "widget_7 540,20 85x28", "widget_func1 630,40 595x470",
                                   "savelayout 430,200 380x260", "widget 0,770 1381x1080",
                                   "widget_2 15,19 70x30", "label_bat 1127,630 10x30",
                                   "widget_3 475,20 81x30", "widget_8 360,20 111x28",
                                   "widget_12 720,0 359x41"}));
        // Maximum below minimum is kept as given.
        QCOMPARE(ui_.pushButton_rotate->minimumSize(), QSize(18, 20));
        QCOMPARE(ui_.pushButton_rotate->maximumSize(), QSize(18, 19));
        QCOMPARE(ui_.widget_17->minimumSize(), QSize(25, 21));
        QCOMPARE(ui_.widget_17->maximumSize(), QSize(18, 30));
    }

    // Texts as shown, blanks included. A form layout lists its rows as
    // "caption|field=text|placeholder", the placeholder only where there is one.
    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* const rows[][2] = {
            {"pushButton_password_ok", "Log on"}, {"label_4", "To Developer Mode"},
            {"pushButton_2", "Capture"}, {"pushButton", "Save"}, {"pushButton_5", "Open"},
            {"label_save", CENTRED("<br/>")}, {"pushButton_max", "Full-ON"},
            {"pushButton_low", "Full-OFF"}, {"label_8", CENTRED("Save Options")},
            {"pushButton_save_confirm", "Save"}, {"label_9", "Number :"}, {"checkBox_Data", "Data"},
            {"checkBox_Video", "Video"}, {"checkBox_Picture", "Picture"},
            {"label_11", "Save Path :"}, {"label_12", "Save Name :"}, {"label_Running", "   Stop"},
            {"label_2", "Voltage"}, {"pushButton_11", "Setting"}, {"pushButton_6", "Setting"},
            {"DevelopMode_2", CENTRED("Current Range")}, {"radioButton", "      150nA"},
            {"radioButton_2", "       50nA"}, {"radioButton_3", "       10nA"},
            {"radioButton_4", "        1nA"}, {"DevelopMode_3", CENTRED("Chip Type Select")},
            {"pushButton_switch", "Switch"}, {"radioGOA", "Type B"}, {"radioSCAN", "Type A"},
            {"label_7", "MIN"}, {"label_6", "MAX"}, {"label_max", "150"}, {"label_min", "0"},
            {"label_calibration", "Calibration off"}, {"label_3", "int"}, {"label_5", "pc"},
            {"pushButton_3", "set"},
            {"formLayout_4",
             "Vss|lineEdit_vss=0.50|[-15.00,15.00]; Vcom|lineEdit_vcom=-10.00|[-15.00,15.00]; "
             "Vdd|lineEdit_vdd=3.00|[-15.00,15.00]; Vin|lineEdit_vin=3.00|[-15.00,15.00]; "
             "Von|lineEdit_von=15.00|[-15.00,15.00]; Voff|lineEdit_voff=-15.00|[-15.00,15.00]; "
             "TFT_VOUT0|lineEdit_35=0.00; TFT_VOUT1|lineEdit_36=0.00; TFT_VOUT2|lineEdit_37=0.00; "
             "TFT_VOUT3|lineEdit_40=0.00; MUX_H|lineEdit_41=0.00; MUX_L|lineEdit_42=0.00; "
             "GOA_DC3|lineEdit_43=0.00; TFT_VGL|lineEdit_48=-15.00; TFT_DC1|lineEdit_49=0.00; "
             "TFT_DC2|lineEdit_50=0.00"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromLatin1(r[0]) << QString::fromLatin1(r[1]);
    }

    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        const QObject* o = window_->findChild<QObject*>(name);
        QVERIFY(o);
        QCOMPARE(shownTexts(o), text.split(QStringLiteral("; ")));
    }

    void defaults()
    {
        // Two sets of radio buttons, each exclusive within itself only.
        QVERIFY(ui_.radioButton->isChecked() && ui_.radioSCAN->isChecked());
        ui_.radioButton_3->click();
        ui_.radioGOA->click();
        QVERIFY(!ui_.radioButton->isChecked() && !ui_.radioSCAN->isChecked());
        QVERIFY(ui_.radioButton_3->isChecked() && ui_.radioGOA->isChecked());

        for (const QComboBox* box : {ui_.comboBox, ui_.comboBox_saveFrame})
            QVERIFY2(box->count() == 0 && box->currentIndex() == -1, qPrintable(box->objectName()));
        // "Data" cannot be unticked, and its box shows the ticked picture either way.
        QVERIFY(!ui_.checkBox_Data->isCheckable());
        QVERIFY(ui_.checkBox_Data->styleSheet().simplified().contains(
            "unchecked { background: #FFFFFF; image: url(:/Image/images/checkbox-checked.png); }"));
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
