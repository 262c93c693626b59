// The main window's form as setupUi builds it on a QMainWindow: the panels'
// stacking, the texts whose blanks or field names the rest of the program
// relies on, and the defaults of its buttons.
#include "ui_tessary_interface.h"

#include "TestSupport.h"
#include <QMainWindow>

#include <QtTest>

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

    void panelsFromBottomToTop()
    {
        // The picture lowest, the "int" / "pc" entry on top: a panel shown later
        // (password, save options) must lie above what it covers.
        QStringList got;
        for (auto* w : window_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            got << w->objectName();
        QCOMPARE(got, QStringList({"label", "widget_func", "widget_7", "widget_func1", "savelayout",
                                   "widget", "widget_2", "label_bat", "widget_3", "widget_8",
                                   "widget_12"}));
    }

    // Texts as shown, blanks included. A form layout lists its rows as
    // "caption|field=text|placeholder", the placeholder only where there is one.
    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* const rows[][2] = {
            {"label_Running", "   Stop"},
            {"radioButton", "      150nA"},
            {"radioButton_2", "       50nA"},
            {"radioButton_3", "       10nA"},
            {"radioButton_4", "        1nA"},
            {"radioGOA", "Type B"},
            {"radioSCAN", "Type A"},
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
        // "Data" cannot be unticked, and its box shows the ticked picture either way.
        QVERIFY(!ui_.checkBox_Data->isCheckable());
        QVERIFY(ui_.checkBox_Data->styleSheet().simplified().contains(
            "unchecked { background: #FFFFFF; image: url(:/Image/images/checkbox-checked.png); }"));
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
