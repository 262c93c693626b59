// The developer form as the generated setupUi builds it: names, texts,
// defaults, layout rows, parents and the geometry the developer slots and the
// main window rely on.
// Named through a macro: the test target's AUTOUIC would otherwise look for the
// form next to this file; the devmode library already generates the header.
#define DEVFORM_UI_HEADER "ui_developer_mode.h"
#include DEVFORM_UI_HEADER

#include <QtTest>

#include <QFormLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

#include <memory>

class TestDevForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> window_;
    Ui_Developer_Mode ui_{};

    template <typename T>
    T* named(const QString& name) const
    {
        auto* w = window_->findChild<T*>(name);
        if (!w)
            qWarning("missing %s", qPrintable(name));
        return w;
    }

private slots:
    void init()
    {
        window_ = std::make_unique<QWidget>();
        ui_.setupUi(window_.get());
    }
    void cleanup() { window_.reset(); }

    void newFormState();
    void fields_data();
    void fields();
    void gateIcFieldsByName();
    void buttons_data();
    void buttons();
    void windowAndGroups_data();
    void windowAndGroups();
    void conflictingSizeLimits();
    void creationOrder();
    void fontsAndStyles();
    void fieldsTakeAnyText();
    void dacListScrolls();
};

void TestDevForm::newFormState()
{
    QCOMPARE(window_->windowTitle(), QStringLiteral("Developer_Mode"));
    QCOMPARE(window_->size(), QSize(950, 607));
    QCOMPARE(window_->minimumSize(), QSize(0, 180));
    QCOMPARE(ui_.tabWidget->count(), 2);
    QCOMPARE(ui_.tabWidget->currentIndex(), 0);
    QCOMPARE(ui_.tabWidget->widget(0), ui_.tab);
    QCOMPARE(ui_.tabWidget->widget(1), ui_.tab_2);
    QCOMPARE(ui_.tabWidget->tabText(0), QStringLiteral("GOA"));
    QCOMPARE(ui_.tabWidget->tabText(1), QStringLiteral("GATE IC"));

    QVERIFY(ui_.radioGOA->isChecked());
    QVERIFY(!ui_.radioSCAN->isChecked());
    QCOMPARE(ui_.radioGOA->text(), QStringLiteral("GOA"));
    QCOMPARE(ui_.radioSCAN->text(), QStringLiteral("GATE IC"));
    // Same parent, so the two modes exclude each other.
    ui_.radioSCAN->setChecked(true);
    QVERIFY(!ui_.radioGOA->isChecked());

    for (auto* edit : {ui_.lineEdit_int0, ui_.lineEdit_int1, ui_.lineEdit_cfgreg, ui_.lineEdit_frame})
        QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName()));
    QVERIFY(ui_.textEdit->toPlainText().isEmpty());

    // The object name is only given when the window has none.
    QWidget other;
    other.setObjectName("kept");
    Ui_Developer_Mode second{};
    second.setupUi(&other);
    QCOMPARE(other.objectName(), QStringLiteral("kept"));
    QCOMPARE(window_->objectName(), QStringLiteral("Developer_Mode"));
}

void TestDevForm::fields_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("captionName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("value");

    struct Row { const char* caption; const char* text; const char* field; const char* value; };
    auto block = [](const char* tag, const char* layout, std::initializer_list<Row> rows) {
        int r = 0;
        for (const Row& row : rows) {
            QTest::addRow("%s %d", tag, r)
                << layout << r << row.caption << row.text << row.field << row.value;
            ++r;
        }
    };
    block("ADC", "formLayout_4", {
        {"label_4", "INT0(us)", "lineEdit_int0", ""},
        {"label_5", "INT1(us)", "lineEdit_int1", ""},
        {"label_6", "CFG_REG", "lineEdit_cfgreg", ""}});
    block("GOA", "formLayout", {
        {"label_11", "rst_fall", "lineEdit_9", "4800"},
        {"label_12", "rst_rise", "lineEdit_10", "1041600"},
        {"label_13", "Stv_rise", "lineEdit_11", "5600"},
        {"label_14", "Stv_fall", "lineEdit_12", "8800"},
        {"label_15", "ck_start", "lineEdit_13", "5600"},
        {"label_16", "ck_high", "lineEdit_14", "3200"},
        {"label_17", "ck_low", "lineEdit_15", "4800"},
        {"label_23", "ck_num", "lineEdit_16", "130"},
        {"label_22", "xck_start", "lineEdit_17", "9600"},
        {"label_21", "xck_high", "lineEdit_18", "3200"},
        {"label_20", "xck_low", "lineEdit_19", "4800"},
        {"label_18", "xck_num", "lineEdit_20", "129"},
        {"label_19", "total_period", "lineEdit_21", "1111111"},
        {"label", "SA_start", "lineEdit_94", "1600"},
        {"label_8", "SB_start", "lineEdit_95", "5600"},
        {"label_9", "SA_high", "lineEdit_96", "3200"},
        {"label_25", "SB_high", "lineEdit_3", "3200"},
        {"label_26", "adc_trig_1", "lineEdit_4", "31"},
        {"label_33", "adc_trig_2", "lineEdit_25", "31"}});
    block("GATE IC", "formLayout_2", {
        {"label_10", "total_period", "lineEdit", "1111111"},
        {"label_24", "CLK_start", "lineEdit_2", "5600"},
        {"label_27", "CLK256_cycle", "lineEdit_5", "4000"},
        {"label_28", "CLK256_high", "lineEdit_6", "2000"},
        {"label_29", "CLK44_cycle", "lineEdit_7", "1600"},
        {"label_30", "CLK44_high", "lineEdit_8", "800"},
        {"label_31", "OE_high", "lineEdit_22", "0"},
        {"label_32", "adc_trig_1", "lineEdit_23", "31"},
        {"label_34", "adc_trig_2", "lineEdit_24", "31"}});
    block("DAC", "List_DAC", {
        {"label_36", "TFT_VOUT0 ", "lineEdit_goa_dc2", "0"},
        {"label_37", "TFT_VOUT1 ", "lineEdit_goaDc1", "0"},
        {"label_38", "TFT_VOUT2 ", "lineEdit_vgl", "0"},
        {"label_39", "TFT_VOUT3 ", "lineEdit_tftVbias", "0"},
        {"label_40", "MUX_H      ", "lineEdit_tftVcom", "0"},
        {"label_41", "MUX_L      ", "lineEdit_goaDch", "0"},
        {"label_42", "VGH/VGG", "lineEdit_goaDc3", "15"},
        {"label_43", "VGL/VEE", "lineEdit_muxH", "-15"},
        {"label_44", "GOA_DC3", "lineEdit_muxL", "0"},
        {"label_45", "TFT_VGL", "lineEdit_pixelDc1", "-15"},
        {"label_46", "VDD", "lineEdit_pixelDc2", "3"},
        {"label_47", "VIN", "lineEdit_pixelDc3", "3"},
        {"label_48", "TFT_DC1", "lineEdit_vclkH", "0"},
        {"label_49", "TFT_DC2", "lineEdit_vscanL", "0"},
        {"label_50", "VSS", "lineEdit_vscanH", "0.5"},
        {"label_51", "VCOM", "lineEdit_bk1", "-10"}});
}

// Each caption and field sits in the stated row of its layout, so the row
// (what the slots and the DAC frame go by) pairs them, whatever the names say.
void TestDevForm::fields()
{
    QFETCH(QString, layout);
    QFETCH(int, row);
    QFETCH(QString, captionName);
    QFETCH(QString, caption);
    QFETCH(QString, fieldName);
    QFETCH(QString, value);

    auto* form = named<QFormLayout>(layout);
    auto* label = named<QLabel>(captionName);
    auto* field = named<QLineEdit>(fieldName);
    QVERIFY(form && label && field);
    QCOMPARE(label->text(), caption);
    QCOMPARE(field->text(), value);
    QLayoutItem* labelItem = form->itemAt(row, QFormLayout::LabelRole);
    QLayoutItem* fieldItem = form->itemAt(row, QFormLayout::FieldRole);
    QVERIFY(labelItem && fieldItem);
    QCOMPARE(labelItem->widget(), label);
    QCOMPARE(fieldItem->widget(), field);
    QCOMPARE(label->parentWidget(), form->parentWidget());
    QCOMPARE(field->parentWidget(), form->parentWidget());
}

// The SCAN slot finds its nine fields by name below tab_2.
void TestDevForm::gateIcFieldsByName()
{
    QCOMPARE(ui_.tab_2->findChild<QLineEdit*>("lineEdit_23"), ui_.lineEdit_23);
    QCOMPARE(ui_.tab_2->findChild<QLineEdit*>("lineEdit_24"), ui_.lineEdit_24);
    QVERIFY(ui_.lineEdit_23 != ui_.lineEdit_4 && ui_.lineEdit_24 != ui_.lineEdit_25);
    QVERIFY(!ui_.tab_2->findChild<QLineEdit*>("lineEdit_4"));
    QVERIFY(!ui_.tab_2->findChild<QLineEdit*>("lineEdit_25"));
    QVERIFY(ui_.tab->isAncestorOf(ui_.lineEdit_4));
    QVERIFY(ui_.tab->isAncestorOf(ui_.lineEdit_25));

    const char* scan[] = {"lineEdit", "lineEdit_2", "lineEdit_5", "lineEdit_6", "lineEdit_7",
                          "lineEdit_8", "lineEdit_22", "lineEdit_23", "lineEdit_24"};
    for (const char* name : scan)
        QVERIFY2(ui_.tab_2->findChildren<QLineEdit*>(name).size() == 1, name);
    QCOMPARE(ui_.tab_2->findChildren<QLineEdit*>().size(), 9);
}

void TestDevForm::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("switch") << "pushButton_switch" << "frame" << QRect(115, 40, 100, 25) << "Switch";
    QTest::newRow("adc") << "pushButton_adc" << "ADC_layout" << QRect(60, 140, 110, 25) << "ADC Config";
    QTest::newRow("goa") << "pushButton_goa" << "tab" << QRect(55, 460, 110, 25) << "GOA Config";
    QTest::newRow("scan") << "pushButton_scan" << "tab_2" << QRect(55, 460, 110, 25) << "SCAN Config";
    QTest::newRow("dac") << "pushButton_dac" << "DAC_layout" << QRect(55, 460, 110, 25) << "DAC Config";
    QTest::newRow("read") << "pushButton_readparam" << "frame_3" << QRect(14, 500, 100, 25) << "ReadParam";
    QTest::newRow("freq") << "pushButton_Frame" << "frame_4" << QRect(50, 55, 100, 24) << "FREQ  Config";
}

void TestDevForm::buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    auto* button = named<QPushButton>(name);
    QVERIFY(button);
    QCOMPARE(button->text(), text);
    QCOMPARE(button->parentWidget()->objectName(), parent);
    QCOMPARE(button->geometry(), geometry);
    // One shared action-button style.
    QCOMPARE(button->styleSheet(), ui_.pushButton_switch->styleSheet());
    QVERIFY(button->styleSheet().contains("background-color: #8C6A26;"));
}

void TestDevForm::windowAndGroups_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("switch group") << "frame" << "Developer_Mode" << QRect(30, 300, 230, 101);
    QTest::newRow("adc column") << "verticalLayoutWidget_2" << "Developer_Mode" << QRect(30, 40, 232, 240);
    QTest::newRow("tabs") << "tabWidget" << "Developer_Mode" << QRect(550, 38, 220, 533);
    QTest::newRow("dac frame") << "frame_2" << "Developer_Mode" << QRect(300, 40, 222, 551);
    QTest::newRow("param frame") << "frame_3" << "Developer_Mode" << QRect(790, 40, 141, 541);
    QTest::newRow("frame group") << "frame_4" << "Developer_Mode" << QRect(45, 420, 201, 91);
    QTest::newRow("dac box") << "DAC_layout" << "frame_2" << QRect(0, 32, 222, 500);
    QTest::newRow("dac header") << "label_2" << "frame_2" << QRect(0, 2, 222, 30);
    QTest::newRow("dac scroll") << "scrollArea_4" << "DAC_layout" << QRect(8, 15, 205, 431);
    QTest::newRow("goa scroll") << "scrollArea" << "tab" << QRect(5, 14, 205, 435);
    QTest::newRow("gate scroll") << "scrollArea_3" << "tab_2" << QRect(5, 14, 205, 431);
    QTest::newRow("param header") << "label_3" << "frame_3" << QRect(0, 0, 130, 30);
    QTest::newRow("param frame box") << "textEdit_1" << "frame_3" << QRect(0, 30, 130, 503);
    QTest::newRow("param box") << "textEdit" << "frame_3" << QRect(10, 40, 110, 455);
    QTest::newRow("frame rate") << "lineEdit_frame" << "frame_4" << QRect(70, 20, 116, 22);
}

void TestDevForm::windowAndGroups()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    auto* w = named<QWidget>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), geometry);
}

// Minimum above maximum is kept as given; the minimum wins the geometry.
void TestDevForm::conflictingSizeLimits()
{
    struct Limits { QWidget* w; QSize min, max; };
    const Limits all[] = {
        {ui_.frame, {230, 0}, {220, 16777215}},
        {ui_.DevelopMode, {230, 30}, {220, 32}},
        {ui_.ADC_layout, {230, 180}, {210, 203}},
        {ui_.DAC_layout, {222, 500}, {222, 370}},
        {ui_.scrollArea_3, {205, 0}, {200, 600}},
    };
    for (const Limits& l : all) {
        QCOMPARE(l.w->minimumSize(), l.min);
        QCOMPARE(l.w->maximumSize(), l.max);
    }
    QCOMPARE(ui_.frame->width(), 230);
    QCOMPARE(ui_.DAC_layout->height(), 500);
    QCOMPARE(ui_.scrollArea_3->width(), 205);
}

// Later siblings lie above earlier ones, and the GATE IC tab keeps its
// unusual creation order (fields of rows 0-7 before the captions of rows 1-8).
void TestDevForm::creationOrder()
{
    auto widgetNames = [](QWidget* parent) {
        QStringList names;
        for (QObject* child : parent->children())
            if (child->isWidgetType())
                names << child->objectName();
        return names;
    };
    QCOMPARE(widgetNames(window_.get()),
             QStringList({"frame", "verticalLayoutWidget_2", "tabWidget", "frame_2", "frame_3", "frame_4"}));
    QCOMPARE(widgetNames(ui_.widget_2),
             QStringList({"label_10", "lineEdit", "lineEdit_2", "lineEdit_5", "lineEdit_6", "lineEdit_7",
                          "lineEdit_8", "lineEdit_22", "lineEdit_23", "label_24", "label_27", "label_28",
                          "label_29", "label_30", "label_31", "label_32", "label_34", "lineEdit_24"}));
    QCOMPARE(widgetNames(ui_.frame_3),
             QStringList({"label_3", "textEdit_1", "pushButton_readparam", "textEdit"}));
    QCOMPARE(widgetNames(ui_.DAC_layout), QStringList({"pushButton_dac", "scrollArea_4"}));
    QCOMPARE(widgetNames(ui_.frame_2), QStringList({"DAC_layout", "label_2"}));
    QCOMPARE(ui_.verticalLayout_2->itemAt(0)->widget(), ui_.DevelopMode);
    QCOMPARE(ui_.verticalLayout_2->itemAt(1)->widget(), ui_.ADC_layout);
    QCOMPARE(ui_.verticalLayout->itemAt(0)->widget(), ui_.widget_2);
}

void TestDevForm::fontsAndStyles()
{
    for (QLabel* header : {ui_.DevelopMode, ui_.label_2, ui_.label_3}) {
        QCOMPARE(header->font().family(), QString::fromUtf8("微软雅黑"));
        QCOMPARE(header->font().weight(), 50);
        QVERIFY(!header->font().bold());
        QCOMPARE(header->styleSheet(), ui_.DevelopMode->styleSheet());
        QVERIFY(Qt::mightBeRichText(header->text()));
    }
    QCOMPARE(ui_.lineEdit_goa_dc2->font().pointSize(), 9);
    QVERIFY(ui_.lineEdit_goa_dc2->font().kerning());
    QCOMPARE(ui_.lineEdit_goa_dc2->maximumSize(), QSize(600, 35));
    QCOMPARE(ui_.lineEdit_goaDc1->maximumSize(), QSize(16777215, 33));

    const QString sheet = window_->styleSheet();
    QVERIFY(sheet.contains("#Developer_Mode"));
    QVERIFY(sheet.contains(
        "qradialgradient(spread:pad, cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5, stop:0 #8c6927, "
        "stop:0.6 #8c6927, stop:0.65 transparent, stop:0.8 transparent, stop:0.85 #8c6927, stop:1 #8c6927)"));

    for (QFrame* f : {ui_.frame, ui_.ADC_layout, ui_.frame_2, ui_.DAC_layout, ui_.frame_3, ui_.frame_4}) {
        QCOMPARE(f->frameShape(), QFrame::StyledPanel);
        QCOMPARE(f->frameShadow(), QFrame::Raised);
    }
    QCOMPARE(ui_.frame->styleSheet(), ui_.frame_4->styleSheet());
    QCOMPARE(ui_.ADC_layout->styleSheet(), ui_.DAC_layout->styleSheet());
    QCOMPARE(ui_.scrollArea->styleSheet(), ui_.scrollArea_4->styleSheet());
    QCOMPARE(ui_.scrollArea_3->styleSheet(), ui_.scrollArea_4->styleSheet());
    QVERIFY(ui_.scrollAreaWidgetContents_4->styleSheet().startsWith("#scrollAreaWidgetContents_4 "));
}

// No validator, mask or length limit: the slots parse whatever is typed.
void TestDevForm::fieldsTakeAnyText()
{
    const auto edits = window_->findChildren<QLineEdit*>();
    QCOMPARE(edits.size(), 48);
    for (QLineEdit* edit : edits) {
        QVERIFY2(!edit->validator(), qPrintable(edit->objectName()));
        QVERIFY(edit->inputMask().isEmpty());
        QCOMPARE(edit->maxLength(), 32767);
        QVERIFY(!edit->isReadOnly());
    }
    ui_.lineEdit_vscanH->setText(" 1.5 V x");
    QCOMPARE(ui_.lineEdit_vscanH->text(), QStringLiteral(" 1.5 V x"));
}

void TestDevForm::dacListScrolls()
{
    for (QScrollArea* area : {ui_.scrollArea, ui_.scrollArea_3, ui_.scrollArea_4})
        QVERIFY(area->widgetResizable());
    QCOMPARE(ui_.scrollArea->widget(), ui_.scrollAreaWidgetContents);
    QCOMPARE(ui_.scrollArea_3->widget(), ui_.scrollAreaWidgetContents_3);
    QCOMPARE(ui_.scrollArea_4->widget(), ui_.scrollAreaWidgetContents_4);

    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(ui_.scrollArea_4->height(), 431);
    QCOMPARE(ui_.scrollArea_4->width(), 205);
    QCOMPARE(ui_.scrollAreaWidgetContents_4->height(), 500);
    QVERIFY(ui_.scrollArea_4->viewport()->height() < 500);
    QVERIFY(ui_.scrollArea_4->verticalScrollBar()->maximum() > 0);
    QCOMPARE(ui_.scrollArea_4->verticalScrollBar()->maximum(),
             500 - ui_.scrollArea_4->viewport()->height());
}

QTEST_MAIN(TestDevForm)
#include "test_devform.moc"
