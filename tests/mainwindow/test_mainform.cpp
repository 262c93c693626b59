// The main window's form as setupUi builds it on a QMainWindow: the names,
// classes, parents, places, texts, defaults and limits that the rest of the
// program looks widgets up by or relies on.
// Named through a macro: the test target's AUTOUIC would otherwise look for the
// form next to this file; the mainwindow library already generates the header.
#define MAINFORM_UI_HEADER "ui_tessary_interface.h"
#include MAINFORM_UI_HEADER

#include <QtTest>

#include <QBoxLayout>
#include <QFormLayout>
#include <QGridLayout>
#include <QMainWindow>

#include <memory>

namespace {

// Direct widget children in creation (or stacking) order, "name:Class" each;
// Qt's own internal helpers (qt_ names) are left out.
QString childList(const QWidget* parent)
{
    QStringList out;
    for (const QObject* o : parent->children()) {
        if (!o->isWidgetType() || o->objectName().startsWith(QLatin1String("qt_")))
            continue;
        out << o->objectName() + ':' + QLatin1String(o->metaObject()->className());
    }
    return out.join(' ');
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<QMainWindow> window_;
    Ui_Tessary_Interface ui_{};

    QWidget* widget(const QString& name) const
    {
        auto* w = window_->findChild<QWidget*>(name);
        if (!w)
            qWarning("missing widget %s", qPrintable(name));
        return w;
    }

private slots:
    void init()
    {
        window_ = std::make_unique<QMainWindow>();
        ui_.setupUi(window_.get());
    }
    void cleanup() { window_.reset(); }

    void window();
    void existingNameIsKept();
    void namedObjectCount();
    void stackingOrder();
    void panels_data();
    void panels();
    void children_data();
    void children();
    void layouts_data();
    void layouts();
    void texts_data();
    void texts();
    void voltageForm();
    void radioDefaultsAndExclusivity();
    void comboBoxesStartEmpty();
    void checkBoxes();
    void styleSheets_data();
    void styleSheets();
    void styleSheetVariants();
    void sizeLimits_data();
    void sizeLimits();
    void fontsAndAlignment();
};

void TestMainForm::window()
{
    QCOMPARE(window_->objectName(), QStringLiteral("Tessary_Interface"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Tessary_Interface"));
    QCOMPARE(window_->size(), QSize(1232, 660));
    QCOMPARE(window_->minimumSize(), QSize(1230, 660));
    QCOMPARE(window_->maximumSize(), QSize(1920, 1080));
    QCOMPARE(window_->font().pointSize(), 12);
    QVERIFY(window_->centralWidget() == nullptr);
    const QString sheet = window_->styleSheet().simplified();
    QVERIFY(sheet.startsWith("QLineEdit { background-color: white; border: 1px solid grey;"));
    QVERIFY(sheet.contains("QComboBox QAbstractItemView { border: none; background-color: #e4d8cb; "
                           "selection-background-color: #896827; border-radius: 5px; outline: 0px solid gray; }"));
    QVERIFY(sheet.endsWith("QLabel { font-family: Arial, sans-serif; }"));
}

void TestMainForm::existingNameIsKept()
{
    QMainWindow w;
    w.setObjectName("mainWindow");
    Ui_Tessary_Interface ui;
    ui.setupUi(&w);
    QCOMPARE(w.objectName(), QStringLiteral("mainWindow"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Tessary_Interface"));
}

void TestMainForm::namedObjectCount()
{
    // 139 widgets and layouts; each name is unique in the window.
    QSet<QString> names;
    int count = 0, layouts = 0;
    for (const QObject* o : window_->findChildren<QObject*>()) {
        const QString n = o->objectName();
        if (n.isEmpty() || n.startsWith(QLatin1String("qt_")) || o == window_->layout())
            continue; // Qt's own objects, and QMainWindow's layout
        ++count;
        layouts += qobject_cast<const QLayout*>(o) != nullptr;
        names.insert(n);
    }
    QCOMPARE(count, 139);
    QCOMPARE(names.size(), 139);
    QCOMPARE(layouts, 17);
}

void TestMainForm::stackingOrder()
{
    // Bottom to top: the picture lowest, the "int" / "pc" entry on top.
    QCOMPARE(childList(window_.get()),
             QStringLiteral("label:QLabel widget_func:QWidget widget_7:QWidget widget_func1:QWidget "
                            "savelayout:QWidget widget:QWidget widget_2:QWidget label_bat:QLabel "
                            "widget_3:QWidget widget_8:QWidget widget_12:QWidget"));
}

void TestMainForm::panels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("label") << "label" << QRect(20, 45, 600, 600);
    QTest::newRow("widget below the visible area") << "widget" << QRect(0, 770, 1381, 1080);
    QTest::newRow("widget_func") << "widget_func" << QRect(650, 515, 561, 130);
    QTest::newRow("savelayout") << "savelayout" << QRect(430, 200, 380, 260);
    QTest::newRow("widget_7") << "widget_7" << QRect(540, 20, 85, 28);
    QTest::newRow("widget_func1") << "widget_func1" << QRect(630, 40, 595, 470);
    QTest::newRow("widget_2") << "widget_2" << QRect(15, 19, 70, 30);
    QTest::newRow("label_bat") << "label_bat" << QRect(1127, 630, 10, 30);
    QTest::newRow("widget_3") << "widget_3" << QRect(475, 20, 81, 30);
    QTest::newRow("widget_8") << "widget_8" << QRect(360, 20, 111, 28);
    QTest::newRow("widget_12") << "widget_12" << QRect(720, 0, 359, 41);
    // Inner panels at fixed places.
    QTest::newRow("password_input") << "password_input" << QRect(430, 230, 380, 200);
    QTest::newRow("widget_set1 starts above its panel") << "widget_set1" << QRect(10, -25, 270, 491);
    QTest::newRow("widget_set2") << "widget_set2" << QRect(320, 10, 270, 421);
    QTest::newRow("widget_13") << "widget_13" << QRect(120, 420, 321, 51);
    QTest::newRow("progress bar empty") << "widget_11" << QRect(2, 4, 0, 12);
    QTest::newRow("scrollArea") << "scrollArea" << QRect(10, 20, 230, 291);
    QTest::newRow("path chooser over path field") << "pushButton_choice_path" << QRect(285, 139, 17, 17);
    QTest::newRow("lineEdit_savepath") << "lineEdit_savepath" << QRect(170, 138, 133, 20);
}

void TestMainForm::panels()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QWidget* w = widget(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
}

void TestMainForm::children_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("expected");
    QTest::newRow("widget") << "widget" << "password_input:QWidget";
    QTest::newRow("password_input") << "password_input"
        << "lineEdit_password:QLineEdit pushButton_password_ok:QPushButton pushButton_look_password:QPushButton "
           "pushButton_password_close:QPushButton label_4:QLabel";
    QTest::newRow("widget_func") << "widget_func" << "widget_6:QWidget";
    QTest::newRow("widget_6") << "widget_6"
        << "comboBox:QComboBox pushButton_2:QPushButton pushButton:QPushButton pushButton_5:QPushButton "
           "label_save:QLabel widget_10:QWidget pushButton_max:QPushButton pushButton_low:QPushButton "
           "label_current:QLabel";
    QTest::newRow("widget_10") << "widget_10" << "widget_11:QWidget";
    QTest::newRow("savelayout") << "savelayout"
        << "Buttonsave_dismiss:QPushButton label_8:QLabel pushButton_save_confirm:QPushButton label_9:QLabel "
           "checkBox_Data:QCheckBox checkBox_Video:QCheckBox checkBox_Picture:QCheckBox "
           "comboBox_saveFrame:QComboBox label_11:QLabel lineEdit_savepath:QLineEdit "
           "pushButton_choice_path:QPushButton label_12:QLabel lineEdit_savename:QLineEdit";
    QTest::newRow("widget_7") << "widget_7" << "label_Running:QLabel isRunning:QPushButton";
    QTest::newRow("widget_func1") << "widget_func1" << "widget_set2:QWidget widget_set1:QWidget widget_13:QWidget";
    QTest::newRow("widget_set2") << "widget_set2" << "widget_9:QWidget DAC_layout:QFrame";
    QTest::newRow("widget_9") << "widget_9" << "pushButton_volDetail:QPushButton label_2:QLabel";
    QTest::newRow("DAC_layout") << "DAC_layout" << "pushButton_11:QPushButton scrollArea:QScrollArea";
    QTest::newRow("scrollAreaWidgetContents") << "scrollAreaWidgetContents" << "formLayoutWidget_4:QWidget";
    QTest::newRow("widget_set1") << "widget_set1" << "widget_5:QWidget widget_4:QWidget";
    QTest::newRow("widget_5") << "widget_5" << "DevelopMode_2:QLabel ADC_layout_2:QFrame";
    QTest::newRow("ADC_layout_2") << "ADC_layout_2" << "pushButton_6:QPushButton verticalLayoutWidget:QWidget";
    QTest::newRow("verticalLayoutWidget") << "verticalLayoutWidget"
        << "radioButton:QRadioButton radioButton_2:QRadioButton radioButton_3:QRadioButton radioButton_4:QRadioButton";
    QTest::newRow("widget_4") << "widget_4" << "DevelopMode_3:QLabel frame:QFrame";
    QTest::newRow("frame") << "frame" << "pushButton_switch:QPushButton radioGOA:QRadioButton radioSCAN:QRadioButton";
    QTest::newRow("widget_13") << "widget_13"
        << "horizontalSlider_max:QSlider horizontalSlider_min:QSlider label_7:QLabel label_6:QLabel "
           "label_max:QLabel label_min:QLabel";
    QTest::newRow("widget_2") << "widget_2" << "pushButton_rotate:QPushButton pushButton_mirror:QPushButton";
    QTest::newRow("widget_3") << "widget_3" << "label_bat_2:QLabel widget_17:QWidget";
    QTest::newRow("widget_17") << "widget_17" << "widget_battery:QWidget widget_18:QWidget";
    QTest::newRow("widget_battery") << "widget_battery" << "label_batbg:QLabel";
    QTest::newRow("widget_18") << "widget_18" << "label_18:QLabel";
    QTest::newRow("widget_8") << "widget_8" << "label_calibration:QLabel isCalibration:QPushButton";
    QTest::newRow("widget_12") << "widget_12"
        << "label_3:QLabel lineEdit_2:QLineEdit label_5:QLabel lineEdit:QLineEdit pushButton_3:QPushButton";
}

void TestMainForm::children()
{
    QFETCH(QString, parent);
    QFETCH(QString, expected);
    QWidget* w = widget(parent);
    QVERIFY(w);
    QCOMPARE(childList(w), expected);
}

void TestMainForm::layouts_data()
{
    // Items are listed in order of addition; grid items carry their cell.
    // Spacing and margins of -1 are the style's defaults and not checked.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("items");
    QTest::addColumn<int>("hSpacing");
    QTest::addColumn<int>("vSpacing");
    QTest::addColumn<QVector<int>>("margins");
    using M = QVector<int>;
    QTest::newRow("verticalLayout_7") << "verticalLayout_7" << "widget_func" << "widget_6" << 5 << 5 << M{5, 5, 5, 5};
    QTest::newRow("gridLayout_2") << "gridLayout_2" << "widget_6"
        << "comboBox@0,0 pushButton_2@1,1 pushButton@1,2 pushButton_5@1,0 label_save@0,2 widget_10@0,1 "
           "pushButton_max@2,0 pushButton_low@2,1 label_current@2,2" << 5 << 5 << M{5, 0, 5, 5};
    QTest::newRow("horizontalLayout") << "horizontalLayout" << "widget_7" << "label_Running isRunning" << 0 << 0 << M{8, 2, 8, 2};
    QTest::newRow("verticalLayout_4") << "verticalLayout_4" << "widget_set2" << "widget_9 DAC_layout" << 0 << 0 << M{10, -1, 10, -1};
    QTest::newRow("verticalLayout_5") << "verticalLayout_5" << "widget_set1" << "widget_5 widget_4" << 12 << 12 << M{5, 5, 5, 5};
    QTest::newRow("verticalLayout_3") << "verticalLayout_3" << "widget_5" << "DevelopMode_2 ADC_layout_2" << 0 << 0 << M{5, -1, 5, -1};
    QTest::newRow("verticalLayout_6") << "verticalLayout_6" << "verticalLayoutWidget"
        << "radioButton radioButton_2 radioButton_3 radioButton_4" << -1 << -1 << M{5, 5, 5, 5};
    QTest::newRow("verticalLayout_2") << "verticalLayout_2" << "widget_4" << "DevelopMode_3 frame" << 0 << 0 << M{5, -1, 5, -1};
    QTest::newRow("gridLayout") << "gridLayout" << "widget_13"
        << "horizontalSlider_max@0,1 horizontalSlider_min@1,1 label_7@1,0 label_6@0,0 label_max@0,2 label_min@1,2"
        << 10 << 2 << M{2, 0, 2, 0};
    QTest::newRow("horizontalLayout_2") << "horizontalLayout_2" << "widget_2" << "pushButton_rotate pushButton_mirror"
        << 16 << 16 << M{2, 2, 2, 2};
    QTest::newRow("horizontalLayout_3") << "horizontalLayout_3" << "widget_3" << "label_bat_2 widget_17" << 6 << 6 << M{-1, 0, -1, 0};
    QTest::newRow("horizontalLayout_20") << "horizontalLayout_20" << "widget_17" << "widget_battery widget_18" << 0 << 0 << M{0, 0, 0, 0};
    QTest::newRow("verticalLayout_8") << "verticalLayout_8" << "widget_battery" << "label_batbg" << 0 << 0 << M{2, 2, 2, 2};
    QTest::newRow("verticalLayout_9") << "verticalLayout_9" << "widget_18" << "label_18" << 0 << 0 << M{0, 0, 0, 0};
    QTest::newRow("horizontalLayout_4") << "horizontalLayout_4" << "widget_8" << "label_calibration isCalibration" << 0 << 0 << M{8, 2, 8, 2};
    QTest::newRow("horizontalLayout_5") << "horizontalLayout_5" << "widget_12" << "label_3 lineEdit_2 label_5 lineEdit pushButton_3"
        << -1 << -1 << M{-1, -1, -1, -1};
}

void TestMainForm::layouts()
{
    QFETCH(QString, name);
    QFETCH(QString, host);
    QFETCH(QString, items);
    QFETCH(int, hSpacing);
    QFETCH(int, vSpacing);
    QFETCH(QVector<int>, margins);

    auto* layout = window_->findChild<QLayout*>(name);
    QVERIFY(layout);
    QCOMPARE(layout->parentWidget()->objectName(), host);
    QCOMPARE(layout->parentWidget()->layout(), layout);

    auto* grid = qobject_cast<QGridLayout*>(layout);
    QStringList got;
    for (int i = 0; i < layout->count(); ++i) {
        QString entry = layout->itemAt(i)->widget()->objectName();
        if (grid) {
            int r, c, rs, cs;
            grid->getItemPosition(i, &r, &c, &rs, &cs);
            QCOMPARE(rs, 1);
            QCOMPARE(cs, 1);
            entry += QStringLiteral("@%1,%2").arg(r).arg(c);
        }
        got << entry;
    }
    QCOMPARE(got.join(' '), items);

    if (grid) {
        QCOMPARE(grid->horizontalSpacing(), hSpacing);
        QCOMPARE(grid->verticalSpacing(), vSpacing);
    } else if (hSpacing != -1) {
        QCOMPARE(layout->spacing(), hSpacing);
    }
    int m[4];
    layout->getContentsMargins(&m[0], &m[1], &m[2], &m[3]);
    for (int i = 0; i < 4; ++i)
        if (margins[i] != -1)
            QCOMPARE(m[i], margins[i]);
}

void TestMainForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const char* const rows[][2] = {
        {"label", ""}, {"lineEdit_password", ""}, {"pushButton_password_ok", "Log on"},
        {"pushButton_look_password", ""}, {"pushButton_password_close", ""}, {"label_4", "To Developer Mode"},
        {"pushButton_2", "Capture"}, {"pushButton", "Save"}, {"pushButton_5", "Open"},
        {"label_save", "<html><head/><body><p align=\"center\"><br/></p></body></html>"},
        {"pushButton_max", "Full-ON"}, {"pushButton_low", "Full-OFF"}, {"label_current", ""},
        {"Buttonsave_dismiss", ""},
        {"label_8", "<html><head/><body><p align=\"center\">Save Options</p></body></html>"},
        {"pushButton_save_confirm", "Save"}, {"label_9", "Number :"}, {"checkBox_Data", "Data"},
        {"checkBox_Video", "Video"}, {"checkBox_Picture", "Picture"}, {"label_11", "Save Path :"},
        {"lineEdit_savepath", ""}, {"pushButton_choice_path", ""}, {"label_12", "Save Name :"},
        {"lineEdit_savename", ""}, {"label_Running", "   Stop"}, {"isRunning", ""},
        {"pushButton_volDetail", ""}, {"label_2", "Voltage"}, {"pushButton_11", "Setting"},
        {"DevelopMode_2", "<html><head/><body><p align=\"center\">Current Range</p></body></html>"},
        {"pushButton_6", "Setting"}, {"radioButton", "      150nA"}, {"radioButton_2", "       50nA"},
        {"radioButton_3", "       10nA"}, {"radioButton_4", "        1nA"},
        {"DevelopMode_3", "<html><head/><body><p align=\"center\">Chip Type Select</p></body></html>"},
        {"pushButton_switch", "Switch"}, {"radioGOA", "Type B"}, {"radioSCAN", "Type A"},
        {"label_7", "MIN"}, {"label_6", "MAX"}, {"label_max", "150"}, {"label_min", "0"},
        {"pushButton_rotate", ""}, {"pushButton_mirror", ""}, {"label_bat", ""}, {"label_bat_2", ""},
        {"label_batbg", ""}, {"label_18", ""}, {"label_calibration", "Calibration off"},
        {"isCalibration", ""}, {"label_3", "int"}, {"lineEdit_2", ""}, {"label_5", "pc"},
        {"lineEdit", ""}, {"pushButton_3", "set"},
    };
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString::fromLatin1(r[0]) << QString::fromLatin1(r[1]);
}

void TestMainForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget* w = widget(name);
    QVERIFY(w);
    const QVariant v = w->property("text");
    QVERIFY(v.isValid());
    QCOMPARE(v.toString(), text);
}

void TestMainForm::voltageForm()
{
    struct Row { const char* label; const char* labelText; const char* field; const char* text; };
    const Row rows[] = {
        {"label_39", "Vss", "lineEdit_vss", "0.50"},        {"label_40", "Vcom", "lineEdit_vcom", "-10.00"},
        {"label_45", "Vdd", "lineEdit_vdd", "3.00"},        {"label_46", "Vin", "lineEdit_vin", "3.00"},
        {"label_47", "Von", "lineEdit_von", "15.00"},       {"label_48", "Voff", "lineEdit_voff", "-15.00"},
        {"label_36", "TFT_VOUT0", "lineEdit_35", "0.00"},   {"label_37", "TFT_VOUT1", "lineEdit_36", "0.00"},
        {"label_38", "TFT_VOUT2", "lineEdit_37", "0.00"},   {"label_41", "TFT_VOUT3", "lineEdit_40", "0.00"},
        {"label_42", "MUX_H", "lineEdit_41", "0.00"},       {"label_43", "MUX_L", "lineEdit_42", "0.00"},
        {"label_44", "GOA_DC3", "lineEdit_43", "0.00"},     {"label_49", "TFT_VGL", "lineEdit_48", "-15.00"},
        {"label_50", "TFT_DC1", "lineEdit_49", "0.00"},     {"label_51", "TFT_DC2", "lineEdit_50", "0.00"},
    };
    QFormLayout* form = ui_.formLayout_4;
    QCOMPARE(form->parentWidget(), ui_.formLayoutWidget_4);
    QCOMPARE(form->rowCount(), 16);
    QCOMPARE(form->labelAlignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(form->horizontalSpacing(), 6);
    QCOMPARE(form->verticalSpacing(), 21);
    QCOMPARE(form->contentsMargins(), QMargins(6, 17, 0, 6));
    for (int r = 0; r < 16; ++r) {
        auto* label = qobject_cast<QLabel*>(form->itemAt(r, QFormLayout::LabelRole)->widget());
        auto* field = qobject_cast<QLineEdit*>(form->itemAt(r, QFormLayout::FieldRole)->widget());
        QVERIFY(label && field);
        QCOMPARE(label->objectName(), QString(rows[r].label));
        QCOMPARE(label->text(), QString(rows[r].labelText));
        QCOMPARE(field->objectName(), QString(rows[r].field));
        QCOMPARE(field->text(), QString(rows[r].text));
        // Only the six supply fields hint at their range when emptied.
        QCOMPARE(field->placeholderText(), r < 6 ? QStringLiteral("[-15.00,15.00]") : QString());
        if (r < 6) {
            QCOMPARE(field->minimumSize(), QSize(0, 25));
            QCOMPARE(field->font().pointSize(), 11);
            QCOMPARE(label->font().family(), QStringLiteral("Arial"));
            QCOMPARE(label->font().pointSize(), 11);
        }
    }
    // Creation order (and so the tab chain): rows 6-8 first, row 14's field before its label.
    QStringList fields;
    for (const QLineEdit* e : ui_.formLayoutWidget_4->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly))
        fields << e->objectName();
    QCOMPARE(fields.join(' '), QStringLiteral("lineEdit_35 lineEdit_36 lineEdit_37 lineEdit_vss lineEdit_vcom lineEdit_vdd "
                                              "lineEdit_vin lineEdit_von lineEdit_voff lineEdit_40 lineEdit_41 lineEdit_42 "
                                              "lineEdit_43 lineEdit_48 lineEdit_49 lineEdit_50"));
    const QObjectList& kids = ui_.formLayoutWidget_4->children();
    QVERIFY(kids.indexOf(ui_.lineEdit_49) < kids.indexOf(ui_.label_50));

    // The form sits in the resizable scroll area's content widget.
    QCOMPARE(ui_.scrollArea->widget(), ui_.scrollAreaWidgetContents);
    QVERIFY(ui_.scrollArea->widgetResizable());
    QCOMPARE(ui_.formLayoutWidget_4->parentWidget(), ui_.scrollAreaWidgetContents);
    QCOMPARE(ui_.formLayoutWidget_4->geometry(), QRect(0, 0, 211, 751));
    QCOMPARE(ui_.scrollAreaWidgetContents->minimumSize(), QSize(0, 190));
}

void TestMainForm::radioDefaultsAndExclusivity()
{
    const QList<QRadioButton*> range{ui_.radioButton, ui_.radioButton_2, ui_.radioButton_3, ui_.radioButton_4};
    auto checkedRange = [&] {
        QStringList on;
        for (auto* b : range)
            if (b->isChecked())
                on << b->objectName();
        return on.join(' ');
    };
    QCOMPARE(checkedRange(), QStringLiteral("radioButton"));
    QVERIFY(ui_.radioSCAN->isChecked());
    QVERIFY(!ui_.radioGOA->isChecked());

    ui_.radioButton_3->click();
    QCOMPARE(checkedRange(), QStringLiteral("radioButton_3"));
    QVERIFY(ui_.radioSCAN->isChecked()); // the sets do not interfere

    ui_.radioGOA->click();
    QVERIFY(ui_.radioGOA->isChecked());
    QVERIFY(!ui_.radioSCAN->isChecked());
    QCOMPARE(checkedRange(), QStringLiteral("radioButton_3"));

    ui_.radioButton_4->click();
    ui_.radioButton_4->click(); // clicking the checked one keeps it
    QCOMPARE(checkedRange(), QStringLiteral("radioButton_4"));
}

void TestMainForm::comboBoxesStartEmpty()
{
    for (QComboBox* box : {ui_.comboBox, ui_.comboBox_saveFrame}) {
        QCOMPARE(box->count(), 0);
        QCOMPARE(box->currentIndex(), -1);
        QCOMPARE(box->currentText(), QString());
        QVERIFY(!box->isEditable());
        QCOMPARE(box->focusPolicy(), Qt::NoFocus);
        QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(box->maxVisibleItems(), 10);
        QCOMPARE(box->minimumContentsLength(), 0);
        QCOMPARE(box->iconSize(), QSize(16, 16));
        QCOMPARE(box->font().pointSize(), 9);
    }
    QCOMPARE(ui_.comboBox_saveFrame->geometry(), QRect(170, 67, 111, 22));
}

void TestMainForm::checkBoxes()
{
    QVERIFY(!ui_.checkBox_Data->isCheckable());
    ui_.checkBox_Data->click();
    QVERIFY(!ui_.checkBox_Data->isChecked());

    for (QCheckBox* box : {ui_.checkBox_Video, ui_.checkBox_Picture}) {
        QVERIFY(box->isCheckable());
        QVERIFY(!box->isChecked());
        box->click();
        QVERIFY(box->isChecked());
    }
    QCOMPARE(ui_.lineEdit_password->echoMode(), QLineEdit::Password);
}

void TestMainForm::styleSheets_data()
{
    // Whole sheets, white space collapsed.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sheet");
    const QString closeImage = "QPushButton { border-image: url(:/Image/images/close.png); }";
    const QString lamp = "QPushButton { border-image: url(:/Image/images/tip_stop.png); }";
    const QString checkHead = "QCheckBox { font: 13px; color: #444444; } "
                              "QCheckBox::indicator { width: 14px; height: 14px; } "
                              "QCheckBox::indicator:checked { background: #FFFFFF; "
                              "image: url(:/Image/images/checkbox-checked.png); } ";
    QTest::newRow("label") << "label"
        << "QLabel { border: 1px solid grey; border-radius: 5px; background-color: #FFFFFF; }";
    QTest::newRow("look password") << "pushButton_look_password"
        << "QPushButton { border-image: url(:/Image/images/password_on.png); }";
    QTest::newRow("password close") << "pushButton_password_close" << closeImage;
    QTest::newRow("save dismiss") << "Buttonsave_dismiss" << closeImage;
    QTest::newRow("isRunning") << "isRunning" << lamp;
    QTest::newRow("isCalibration") << "isCalibration" << lamp;
    QTest::newRow("rotate") << "pushButton_rotate"
        << "QPushButton { border-image: url(:/Image/images/rotate.png); } "
           "QPushButton:pressed, QPushButton:hover { border-image: url(:/Image/images/rotate__p.png); }";
    QTest::newRow("mirror") << "pushButton_mirror"
        << "QPushButton { border-image: url(:/Image/images/mirror.png); } "
           "QPushButton:pressed, QPushButton:hover { border-image: url(:/Image/images/mirror_p.png); }";
    QTest::newRow("checkBox_Data ticked in both states") << "checkBox_Data"
        << checkHead + "QCheckBox::indicator:unchecked { background: #FFFFFF; "
                       "image: url(:/Image/images/checkbox-checked.png); }";
    QTest::newRow("checkBox_Video") << "checkBox_Video"
        << checkHead + "QCheckBox::indicator:unchecked { background: #FFFFFF; image: url(:/Image/images/checkbox.png); }";
    QTest::newRow("progress fill, no selector") << "widget_11" << "border-radius: 4px; background: #EFDCC8;";
    QTest::newRow("label_bat") << "label_bat" << "color: white;";
    QTest::newRow("label_batbg") << "label_batbg" << "background: lightgreen;";
    QTest::newRow("label_18") << "label_18" << "background: grey;";
    QTest::newRow("veil") << "widget" << "QWidget#widget { background: #22050505; visibility: hidden; }";
    QTest::newRow("widget_9 descendant selector") << "widget_9"
        << "QWidget #widget_9 { qproperty-alignment: AlignCenter; border: 1px solid #896827; "
           "border-top-left-radius: 10px; border-top-right-radius: 10px; background-color: #896827; "
           "padding: 5px 0px; color: rgb(255, 255, 255); max-height: 20px; font-size: 14px; }";
    QTest::newRow("set button radius 5") << "pushButton_3"
        << "QPushButton { background-color: #8C6A26; border-width: 1px; border-radius: 5px; font: 13px; "
           "color: #FFFFFFFF; padding-top: 4px; padding-bottom: 4px; } "
           "QPushButton:pressed, QPushButton:hover { background-color: #CC8C6A26; border-color: #D3D3D3; "
           "color: #FFFFFFFF; }";
}

void TestMainForm::styleSheets()
{
    QFETCH(QString, name);
    QFETCH(QString, sheet);
    QWidget* w = widget(name);
    QVERIFY(w);
    QCOMPARE(w->styleSheet().simplified(), sheet);
}

void TestMainForm::styleSheetVariants()
{
    // The two lists differ only in the drop-down rule.
    const QString device = ui_.comboBox->styleSheet().simplified();
    const QString frames = ui_.comboBox_saveFrame->styleSheet().simplified();
    const QString tail = " QComboBox::down-arrow { image: url(:/Image/images/down_arrow.png); } "
                         "QComboBox::up-arrow { border: none; image: url(:/Image/images/up_arrow.png); }";
    QVERIFY(device.endsWith(tail));
    QVERIFY(frames.endsWith(tail));
    QVERIFY(device.contains("QComboBox::drop-down { border: none; image: url(:/Image/images/down_arrow.png); "
                            "subcontrol-origin: padding; subcontrol-position: right center; margin-right: 3px; "
                            "margin-left: 3px; }"));
    QVERIFY(frames.contains("QComboBox::drop-down { padding-left: 8px; border: none; "
                            "image: url(:/Image/images/down_arrow.png); subcontrol-origin: padding; "
                            "subcontrol-position: right center; margin-right: 3px; }"));

    // Each slider's sheet names the slider itself; otherwise they are alike.
    QString maxSheet = ui_.horizontalSlider_max->styleSheet().simplified();
    const QString minSheet = ui_.horizontalSlider_min->styleSheet().simplified();
    QVERIFY(maxSheet.startsWith("QSlider#horizontalSlider_max { background: transparent;"));
    QCOMPARE(maxSheet.count("horizontalSlider_max"), 2);
    QVERIFY(maxSheet.endsWith("QSlider::handle:horizontal { border-image: url(:/Image/images/slidebutton.png); "
                              "width: 4px; margin: -6px 0px -6px 0px; padding: 6px; }"));
    QCOMPARE(maxSheet.replace("horizontalSlider_max", "horizontalSlider_min"), minSheet);

    // The chip-type indicator rules close the current-range frame's sheet.
    QVERIFY(ui_.ADC_layout_2->styleSheet().simplified().endsWith(ui_.radioGOA->styleSheet().simplified()));
    QCOMPARE(ui_.radioGOA->styleSheet(), ui_.radioSCAN->styleSheet());
    QVERIFY(ui_.pushButton_volDetail->styleSheet().simplified().contains("wenhao_press.png"));
    QVERIFY(ui_.pushButton_choice_path->styleSheet().simplified().startsWith(
        "QPushButton { border-image: url(:/Image/images/file.png); background: #9E9E9E; }"));
}

void TestMainForm::sizeLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    const int U = QWIDGETSIZE_MAX;
    QTest::newRow("rotate: max height below min") << "pushButton_rotate" << QSize(18, 20) << QSize(18, 19);
    QTest::newRow("widget_17: max width below min") << "widget_17" << QSize(25, 21) << QSize(18, 30);
    QTest::newRow("mirror") << "pushButton_mirror" << QSize(16, 15) << QSize(16, 15);
    QTest::newRow("widget_func") << "widget_func" << QSize(560, 130) << QSize(600, 240);
    QTest::newRow("label_save") << "label_save" << QSize(146, 28) << QSize(U, 28);
    QTest::newRow("widget_10") << "widget_10" << QSize(146, 0) << QSize(146, 20);
    QTest::newRow("isRunning") << "isRunning" << QSize(0, 0) << QSize(12, 12);
    QTest::newRow("widget_set2") << "widget_set2" << QSize(270, 340) << QSize(270, 600);
    QTest::newRow("DAC_layout") << "DAC_layout" << QSize(250, 284) << QSize(250, 370);
    QTest::newRow("widget_set1") << "widget_set1" << QSize(270, 428) << QSize(270, 600);
    QTest::newRow("DevelopMode_2") << "DevelopMode_2" << QSize(250, 28) << QSize(250, 32);
    QTest::newRow("ADC_layout_2") << "ADC_layout_2" << QSize(250, 150) << QSize(250, 200);
    QTest::newRow("frame") << "frame" << QSize(250, 0) << QSize(250, U);
    QTest::newRow("widget_battery") << "widget_battery" << QSize(20, 14) << QSize(20, 14);
    QTest::newRow("label_batbg") << "label_batbg" << QSize(16, 10) << QSize(16, 10);
    QTest::newRow("widget_18") << "widget_18" << QSize(0, 30) << QSize(10, 30);
    QTest::newRow("label_18") << "label_18" << QSize(2, 8) << QSize(2, 8);
}

void TestMainForm::sizeLimits()
{
    QFETCH(QString, name);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);
    QWidget* w = widget(name);
    QVERIFY(w);
    QCOMPARE(w->minimumSize(), minimum);
    QCOMPARE(w->maximumSize(), maximum);
}

void TestMainForm::fontsAndAlignment()
{
    // The fonts setupUi sets; style-sheet fonts only apply once polished.
    QCOMPARE(ui_.widget->font().pointSize(), 9);
    QCOMPARE(ui_.savelayout->font().pointSize(), 9);
    QCOMPARE(ui_.lineEdit_password->font().pointSize(), 9);
    const QFont save = ui_.label_8->font();
    QCOMPARE(save.family(), QStringLiteral("Arial"));
    QCOMPARE(save.pointSize(), 14);
    QVERIFY(save.bold());
    QVERIFY(!save.kerning());
    QVERIFY(ui_.pushButton_5->font().bold());
    QCOMPARE(ui_.label_bat->font().pointSize(), 8);
    QCOMPARE(ui_.label_batbg->font().pointSize(), 6);
    QCOMPARE(ui_.lineEdit_35->font().pointSize(), 9);
    QVERIFY(ui_.lineEdit_35->font().kerning());
    QCOMPARE(ui_.lineEdit_35->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(ui_.radioButton->font().pointSize(), 9);
    QCOMPARE(ui_.label_save->font().family(), QStringLiteral("Arial"));
    QCOMPARE(ui_.label_save->font().pointSize(), 9);

    for (QLabel* l : {ui_.label_save, ui_.label_current, ui_.label_2, ui_.label_18})
        QCOMPARE(l->alignment(), Qt::AlignCenter);
    for (auto* f : {ui_.DAC_layout, ui_.ADC_layout_2, ui_.frame}) {
        QCOMPARE(f->frameShape(), QFrame::StyledPanel);
        QCOMPARE(f->frameShadow(), QFrame::Raised);
    }
    QCOMPARE(ui_.horizontalSlider_max->orientation(), Qt::Horizontal);
    QCOMPARE(ui_.horizontalSlider_min->orientation(), Qt::Horizontal);
    QCOMPARE(ui_.horizontalLayout_20->stretch(0), 4);
    QCOMPARE(ui_.horizontalLayout_20->stretch(1), 1);
}

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
