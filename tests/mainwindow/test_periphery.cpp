// The window's periphery: developer entry, help and contact dialogs, the close
// question with its configuration file, and the keypad letters.
#include "ui_voltagedetails.h"

#include "ConnectDialog.h"
#include "Developer_Mode.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "VoltageDetails.h"
#include "WindowFixture.h"
#include "letterCombinations.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <stdexcept>

namespace {

using Bytes = std::vector<uint8_t>;
const Bytes kSystemReset{0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB};

// Hands each modal dialog that opens while it lives to `act`, which must close it.
class ModalCatcher : public QObject
{
public:
    explicit ModalCatcher(std::function<void(QWidget*)> act) : act(std::move(act))
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++seen;
                this->act(modal);
            }
        });
        timer.start(5);
    }
    int seen = 0;

private:
    std::function<void(QWidget*)> act;
    QTimer timer;
};

// Records the context of every text passed through translation.
class ContextRecorder : public QTranslator
{
public:
    QString translate(const char* context, const char*, const char*, int) const override
    {
        contexts << context;
        return QString();
    }
    mutable QStringList contexts;
};

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPeriphery : public WindowFixture
{
    Q_OBJECT
    QTemporaryDir dir;
    QString previousDir;

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        startWindow();
        window->show();
    }
    void cleanup()
    {
        developer_mode->hide();
        stopWindow();
        QDir::setCurrent(previousDir);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
    }

    void passwordPanel_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byReturn");
        QTest::addColumn<QString>("box");
        QTest::newRow("empty") << "" << false << "Please enter the password";
        QTest::newRow("wrong") << "580418" << false << "Password error";
        QTest::newRow("trailing blank") << "580417 " << true << "Password error";
        QTest::newRow("right") << "580417" << false << "";
        QTest::newRow("right by return") << "580417" << true << "";
    }
    void passwordPanel()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byReturn);
        QFETCH(QString, box);
        fthandle1 = reinterpret_cast<FT_HANDLE>(quintptr(0x5a5a));
        status = FT_STATUS(4);
        window->ui.widget->show();
        window->ui.password_input->show();
        window->ui.lineEdit_password->setText(typed);
        BoxCatcher boxes;
        if (byReturn)
            QTest::keyClick(window->ui.lineEdit_password, Qt::Key_Return);
        else
            window->ui.pushButton_password_ok->click();

        const bool entered = box.isEmpty();
        QCOMPARE(boxes.texts(), entered ? QStringList() : QStringList{box});
        QCOMPARE(window->ui.lineEdit_password->text(), entered ? QString() : typed);
        QCOMPARE(window->ui.password_input->isVisible(), !entered);
        QCOMPARE(developer_mode->isVisible(), entered);
        QCOMPARE(developer_mode->ftHandle, entered ? fthandle1 : nullptr);
        if (entered) {
            QCOMPARE(developer_mode->ftStatus, FT_STATUS(4));
            QCOMPARE(developer_mode->minimumSize(), developer_mode->maximumSize());
        }
        fthandle1 = nullptr;
    }

    void passwordEyeAndClose()
    {
        const QString shown = "QPushButton { border-image: url(:/Image/images/password_off.png);}";
        const QString hidden = "QPushButton { border-image: url(:/Image/images/password_on.png);}";
        QLineEdit* field = window->ui.lineEdit_password;
        window->ui.pushButton_look_password->click();
        QCOMPARE(field->echoMode(), QLineEdit::Normal);
        QCOMPARE(window->ui.pushButton_look_password->styleSheet(), shown);
        window->ui.pushButton_look_password->click();
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QCOMPARE(window->ui.pushButton_look_password->styleSheet(), hidden);

        window->ui.widget->show();
        window->ui.password_input->show();
        field->setText("12");
        window->ui.pushButton_password_close->click();
        QVERIFY(!window->ui.password_input->isVisible() && !window->ui.widget->isVisible());
        QCOMPARE(field->text(), QString("12"));
    }

    void developerEntryAsksNoCode()
    {
        fthandle1 = reinterpret_cast<FT_HANDLE>(quintptr(0x77));
        window->ui.savelayout->show();
        window->settingMenu->popup(QPoint(10, 10));
        BoxCatcher boxes;
        window->developerModeButton->click();
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(!window->ui.savelayout->isVisible() && !window->settingMenu->isVisible());
        QVERIFY(developer_mode->isVisible());
        QCOMPARE(developer_mode->minimumSize(), developer_mode->maximumSize());
        QCOMPARE(developer_mode->ftHandle, fthandle1);
        fthandle1 = nullptr;
    }

    void voltageHelpDialogPerClick()
    {
        ContextRecorder recorder;
        QApplication::installTranslator(&recorder);
        QStringList firstColumn;
        QList<int> bands;
        QRgb band = 0;
        ModalCatcher catcher([&](QWidget* modal) {
            auto* details = qobject_cast<VoltageDetails*>(modal);
            if (details && firstColumn.isEmpty()) {
                QCOMPARE(details->parent(), window.get());
                QCOMPARE(details->windowTitle(), QString("VoltageDetails"));
                const QGridLayout* grid = details->ui->gridLayout;
                for (int r = 0; r < grid->rowCount(); ++r) {
                    auto* name = qobject_cast<QLabel*>(grid->itemAtPosition(r, 0)->widget());
                    firstColumn << name->text();
                    if (!name->styleSheet().isEmpty())
                        bands << r;
                }
                const QLabel* header = details->ui->label;
                band = details->grab().toImage().pixel(header->mapTo(details, QPoint(3, 3)));
            }
            modal->close();
        });
        window->ui.pushButton_volDetail->click();
        window->ui.pushButton_volDetail->click();
        QApplication::removeTranslator(&recorder);

        QCOMPARE(catcher.seen, 2);
        QCOMPARE(firstColumn, (QStringList{"  Voltage    ", "  Vss", "  Vcom", "  Vdd", "  Vin",
                                           "  Von", "  Voff"}));
        QCOMPARE(bands, (QList<int>{0, 2, 4, 6}));
        QCOMPARE(QColor(band).name(), QString("#dddddd"));
        // Title, two captions and the 21 cells, twice, all in the dialog's own context.
        QCOMPARE(recorder.contexts.size(), 2 * 24);
        QCOMPARE(recorder.contexts.count("VoltageDetails"), recorder.contexts.size());
        const auto kept =
            window->findChildren<VoltageDetails*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(kept.size(), 2);
        QVERIFY(!kept[0]->isVisible() && !kept[1]->isVisible());
    }

    void contactDialog_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("OK") << false;
        QTest::newRow("Escape") << true;
    }
    void contactDialog()
    {
        QFETCH(bool, byEscape);
        QStringList rows;
        QImage picture;
        Qt::WindowFlags flags;
        int result = -1;
        ModalCatcher catcher([&](QWidget* modal) {
            auto* dialog = static_cast<QDialog*>(modal);
            flags = dialog->windowFlags();
            picture = dialog->grab().toImage();
            QCOMPARE(dialog->windowTitle(), QString("Custom Dialog"));
            auto* column = static_cast<QVBoxLayout*>(dialog->layout());
            for (int i = 0; i < column->count(); ++i)
                if (auto* label = qobject_cast<QLabel*>(column->itemAt(i)->widget()))
                    rows << label->text() + '/' + QString::number(column->stretch(i));
            connect(dialog, &QDialog::finished, [&](int code) { result = code; });
            if (byEscape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->findChild<QPushButton*>()->click();
        });
        window->contactButton->click();

        QCOMPARE(catcher.seen, 1);
        QCOMPARE(result, byEscape ? int(QDialog::Rejected) : int(QDialog::Accepted));
        // Qt marks a parentless widget as a window; no other hint is set.
        QCOMPARE(flags & ~Qt::WindowType_Mask, Qt::WindowFlags(Qt::FramelessWindowHint));
        QCOMPARE(picture.size(), QSize(300, 180));
        const QString value =
            "<span style=\"text-decoration: underline; color: #444444;\">%1</span>";
        QCOMPARE(rows, (QStringList{"Email:/0", value.arg("support@example.com") + "/0", "Tel:/1",
                                    value.arg("+1 555 0100") + "/1", "Website:/2",
                                    value.arg("www.example.com") + "/2", "Version:/2",
                                    value.arg("2.0.1") + "/3"}));
        // The rounded border over the beige face.
        QCOMPARE(QColor(picture.pixel(1, 90)).name(), QString("#8c6a26"));
        QCOMPARE(QColor(picture.pixel(150, 1)).name(), QString("#8c6a26"));
        QCOMPARE(QColor(picture.pixel(150, 175)).name(), QString("#efdcc8"));
        const auto left = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(left.begin(), left.end(),
                             [](QWidget* w) { return dynamic_cast<ConnectDialog*>(w); }));
    }

    void letterCombinations_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QStringList>("letters");
        QTest::newRow("two keys") << "23" << QStringList{"ad", "ae", "af", "bd", "be",
                                                         "bf", "cd", "ce", "cf"};
        QTest::newRow("one key") << "7" << QStringList{"p", "q", "r", "s"};
        QTest::newRow("three digits") << "234" << QStringList();
        QTest::newRow("key without letters") << "21" << QStringList();
        // Characters the number does not account for spell nothing.
        QTest::newRow("leading zero") << "05" << QStringList();
        QTest::newRow("leading blank") << " 7" << QStringList();
        QTest::newRow("trailing letter") << "7x" << QStringList();
        QTest::newRow("negative") << "-5" << QStringList();
        QTest::newRow("zero") << "0" << QStringList();
    }
    void letterCombinations()
    {
        QFETCH(QString, digits);
        QFETCH(QStringList, letters);
        QStringList got;
        for (const std::string& s : ::letterCombinations(digits.toStdString()))
            got << QString::fromStdString(s);
        QCOMPARE(got, letters);
    }

    void letterCombinationsThrowsLikeStoi()
    {
        QVERIFY_EXCEPTION_THROWN(::letterCombinations(""), std::invalid_argument);
        QVERIFY_EXCEPTION_THROWN(::letterCombinations("ab"), std::invalid_argument);
        try {
            ::letterCombinations("99999999999");
            QFAIL("no exception");
        } catch (const std::out_of_range& e) {
            QCOMPARE(e.what(), "stoi");
        }
    }

    void closeQuestion_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("capturing");
        QTest::newRow("No") << "No" << false;
        QTest::newRow("Escape while capturing") << "Escape" << true;
        QTest::newRow("Yes") << "Yes" << false;
        QTest::newRow("Yes while capturing") << "Yes" << true;
    }
    void closeQuestion()
    {
        QFETCH(QString, answer);
        QFETCH(bool, capturing);
        QVERIFY(openBoard());
        window->batteryTimer.stop();
        if (capturing) {
            board->setPaced(false);
            window->on_Capture_click();
            QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() >= 1, 5000);
        }
        // An earlier, longer file is replaced whole.
        QFile earlier("tessary_info.json");
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(QByteArray(20000, 'x'));
        earlier.close();
        const QByteArray before = readFile("tessary_info.json");

        QString title, text;
        ModalCatcher catcher([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            title = box->windowTitle();
            text = box->text();
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            if (answer == "Escape")
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(answer == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        const size_t writes = board->hostLog().size();
        const bool closed = window->close();

        QCOMPARE(catcher.seen, 1);
        QCOMPARE(title, QString("Tessary_Interface"));
        QCOMPARE(text, QString("Are you sure you want to close?\n"));
        QCOMPARE(closed, answer == "Yes");
        QCOMPARE(window->isVisible(), !closed);
        QCOMPARE(window->videoThread->isRunning(), capturing && !closed);
        QVERIFY(isRuning == capturing);
        const auto log = board->hostLog();
        if (!capturing)
            QCOMPARE(log.size(), writes);
        if (!closed) {
            QCOMPARE(readFile("tessary_info.json"), before);
            return;
        }
        QJsonObject record;
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            record.insert(TessaryInfo::keys()[k], "");
        const QByteArray file = readFile("tessary_info.json");
        QCOMPARE(file, QJsonDocument(record).toJson(QJsonDocument::Indented));
        QCOMPARE(QJsonDocument::fromJson(file).object().size(), 78);
        QVERIFY(file.startsWith(
            "{\n    \"Stv_fall\": \"\",\n    \"Stv_rise\": \"\",\n    \"ck1_start"));
        if (capturing) {
            QVERIFY(window->displayOff);
            QCOMPARE(log.back().bytes, kSystemReset);
        }
    }

    void unwritableFileStillCloses_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("directory in the way") << "directory";
        QTest::newRow("full device") << "/dev/full";
    }
    void unwritableFileStillCloses()
    {
        QFETCH(QString, obstacle);
        if (obstacle == "directory")
            QVERIFY(QDir().mkdir("tessary_info.json"));
        else if (!QFile::exists(obstacle) || !QFile::link(obstacle, "tessary_info.json"))
            QSKIP("no full device to write to");
        BoxCatcher boxes;
        QVERIFY(window->close());
        QCOMPARE(boxes.texts(),
                 (QStringList{"Are you sure you want to close?\n", "json file error!"}));
        QCOMPARE(boxes.boxes[1].title, QString());
    }

    void readBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("fields6to8"); // then every other field
        QTest::addColumn<QString>("others");
        QTest::newRow("no file") << QByteArray() << QStringList{"first open"}
                                 << QStringList{"old", "old", "old"} << "old";
        QTest::newRow("not JSON") << QByteArray("{\"mVGL\": \"1\"") << QStringList()
                                  << QStringList{"old", "old", "old"} << "old";
        QTest::newRow("numbers and some keys")
            << QByteArray(R"({"mGOA_DC2": 1.5, "mGOA_DC1": true, "mVGL": "-3.00", "x": "1"})")
            << QStringList() << QStringList{"", "", "-3.00"} << "";
        QTest::newRow("not an object")
            << QByteArray(R"(["mVGL", "1"])") << QStringList() << QStringList{"", "", ""} << "";
    }
    void readBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, fields6to8);
        QFETCH(QString, others);
        if (!file.isNull()) {
            QFile out("tessary_info.json");
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file);
        }
        for (QString& value : window->info.value)
            value = "old";
        BoxCatcher catcher;
        window->InitJson();
        QCOMPARE(catcher.texts(), boxes);
        QStringList expected;
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            expected << others;
        for (int i = 0; i < 3; ++i)
            expected[6 + i] = fields6to8[i];
        QCOMPARE(QStringList(std::begin(window->info.value), std::end(window->info.value)),
                 expected);
    }

    void voltageFieldPairing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("json") << "json";
        QTest::newRow("upper case") << "JSON";
    }
    void voltageFieldPairing()
    {
        QFETCH(QString, kind);
        const bool paired = kind == "json";
        const Ui_Tessary_Interface& ui = window->ui;
        const QList<QLineEdit*> fields{
            ui.lineEdit_35,   ui.lineEdit_36,  ui.lineEdit_37,  ui.lineEdit_vss,
            ui.lineEdit_vcom, ui.lineEdit_40,  ui.lineEdit_41,  ui.lineEdit_42,
            ui.lineEdit_43,   ui.lineEdit_vdd, ui.lineEdit_vin, ui.lineEdit_von,
            ui.lineEdit_voff, ui.lineEdit_48,  ui.lineEdit_49,  ui.lineEdit_50};
        for (int i = 0; i < 16; ++i) {
            window->info.value[6 + i] = QString("1.%1").arg(6 + i);
            fields[i]->setText("0.00");
        }
        window->showFileValue(kind);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(fields[i]->text(), paired ? QString("1.%1").arg(6 + i) : "0.00");

        for (int i = 0; i < 16; ++i)
            fields[i]->setText(QString("-2.%1").arg(i));
        window->setFileValue(kind);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(window->info.value[6 + i],
                     paired ? QString("-2.%1").arg(i) : QString("1.%1").arg(6 + i));
        QCOMPARE(window->info.value[5], QString());
        QCOMPARE(window->info.value[22], QString());
    }
};

QTEST_MAIN(TestPeriphery)
#include "test_periphery.moc"
