// The window's periphery: developer entry, help and contact dialogs, the close
// question with its configuration file, and the keypad letters.
#include "ui_voltagedetails.h"

#include "Developer_Mode.h"
#include "TestSupport.h"
#include "VoltageDetails.h"
#include "WindowFixture.h"
#include "letterCombinations.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <stdexcept>

namespace {

// Hands each modal dialog that opens while it lives to `act`, which closes it.
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

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const FT_HANDLE kSomeHandle = reinterpret_cast<FT_HANDLE>(quintptr(0x5a5a));

} // namespace

class TestPeriphery : public WindowFixture
{
    Q_OBJECT
    QTemporaryDir dir;
    QString previousDir;

private slots:
    void init()
    {
        previousDir = QDir::currentPath();
        QVERIFY(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
        QDir::setCurrent(dir.path());
        startWindow();
        window->show();
    }
    void cleanup()
    {
        developer_mode->hide();
        stopWindow();
        QDir::setCurrent(previousDir);
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
        fthandle1 = kSomeHandle;
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
        QCOMPARE(developer_mode->ftHandle, entered ? kSomeHandle : nullptr);
        QCOMPARE(developer_mode->ftStatus, FT_STATUS(entered ? 4 : FT_OK));
        if (entered)
            QCOMPARE(developer_mode->minimumSize(), developer_mode->maximumSize());
    }

    void eyeCloseAndMenuEntry()
    {
        QPushButton* eye = window->ui.pushButton_look_password;
        eye->click();
        QCOMPARE(window->ui.lineEdit_password->echoMode(), QLineEdit::Normal);
        QCOMPARE(eye->styleSheet(),
                 QString("QPushButton { border-image: url(:/Image/images/password_off.png);}"));
        eye->click();
        QCOMPARE(window->ui.lineEdit_password->echoMode(), QLineEdit::Password);
        QCOMPARE(eye->styleSheet(),
                 QString("QPushButton { border-image: url(:/Image/images/password_on.png);}"));

        window->ui.widget->show();
        window->ui.password_input->show();
        window->ui.lineEdit_password->setText("12");
        window->ui.pushButton_password_close->click();
        QVERIFY(!window->ui.password_input->isVisible() && !window->ui.widget->isVisible());
        QCOMPARE(window->ui.lineEdit_password->text(), QString("12"));

        // The menu entry asks no code.
        fthandle1 = kSomeHandle;
        window->ui.savelayout->show();
        window->settingMenu->popup(QPoint(10, 10));
        window->developerModeButton->click();
        QVERIFY(!window->ui.savelayout->isVisible() && !window->settingMenu->isVisible());
        QVERIFY(developer_mode->isVisible());
        QCOMPARE(developer_mode->minimumSize(), developer_mode->maximumSize());
        QCOMPARE(developer_mode->ftHandle, kSomeHandle);
    }

    void voltageHelpDialogPerClick()
    {
        QStringList firstColumn;
        QList<int> bands;
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
            }
            modal->close();
        });
        window->ui.pushButton_volDetail->click();
        window->ui.pushButton_volDetail->click();

        QCOMPARE(catcher.seen, 2);
        QCOMPARE(firstColumn, (QStringList{"  Voltage    ", "  Vss", "  Vcom", "  Vdd", "  Vin",
                                           "  Von", "  Voff"}));
        QCOMPARE(bands, (QList<int>{0, 2, 4, 6}));
        const auto kept =
            window->findChildren<VoltageDetails*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(kept.size(), 2);
        QVERIFY(!kept[0]->isVisible() && !kept[1]->isVisible());
    }

    void contactDialog()
    {
        QStringList rows;
        QImage picture;
        Qt::WindowFlags flags;
        int result = -1;
        ModalCatcher catcher([&](QWidget* modal) {
            auto* dialog = static_cast<QDialog*>(modal);
            flags = dialog->windowFlags();
            picture = dialog->grab().toImage();
            rows << dialog->windowTitle();
            auto* column = static_cast<QVBoxLayout*>(dialog->layout());
            for (int i = 0; i < column->count(); ++i)
                if (auto* label = qobject_cast<QLabel*>(column->itemAt(i)->widget()))
                    rows << label->text() + '/' + QString::number(column->stretch(i));
            connect(dialog, &QDialog::finished, [&](int code) { result = code; });
            dialog->findChild<QPushButton*>()->click();
        });
        window->contactButton->click();

        QCOMPARE(catcher.seen, 1);
        QCOMPARE(result, int(QDialog::Accepted));
        // Qt marks a parentless widget as a window; no other hint is set.
        QCOMPARE(flags & ~Qt::WindowType_Mask, Qt::WindowFlags(Qt::FramelessWindowHint));
        const QString value =
            "<span style=\"text-decoration: underline; color: #444444;\">%1</span>";
        QCOMPARE(rows,
                 (QStringList{"Custom Dialog", "Email:/0", value.arg("support@example.com") + "/0",
                              "Tel:/1", value.arg("+1 555 0100") + "/1", "Website:/2",
                              value.arg("www.example.com") + "/2", "Version:/2",
                              value.arg("2.0.1") + "/3"}));
        // The rounded border over the beige face.
        QCOMPARE(picture.size(), QSize(300, 180));
        QCOMPARE(QColor(picture.pixel(1, 90)).name(), QString("#8c6a26"));
        QCOMPARE(QColor(picture.pixel(150, 1)).name(), QString("#8c6a26"));
        QCOMPARE(QColor(picture.pixel(150, 175)).name(), QString("#efdcc8"));
    }

    void letterCombinations_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("letters"); // or the exception thrown
        auto row = [](const char* name, const char* digits, const char* letters) {
            QTest::newRow(name) << QString(digits) << QString(letters);
        };
        row("two keys", "23", "ad ae af bd be bf cd ce cf");
        row("one key", "7", "p q r s");
        row("three digits", "234", "");
        row("key without letters", "21", "");
        // Characters the number does not account for spell nothing.
        row("leading zero", "05", "");
        row("leading blank", " 7", "");
        row("trailing letter", "7x", "");
        row("negative", "-5", "");
        row("zero", "0", "");
        row("empty", "", "invalid_argument stoi");
        row("letters", "ab", "invalid_argument stoi");
        row("too big", "99999999999", "out_of_range stoi");
    }
    void letterCombinations()
    {
        QFETCH(QString, digits);
        QFETCH(QString, letters);
        QStringList got;
        try {
            for (const std::string& s : ::letterCombinations(digits.toStdString()))
                got << QString::fromStdString(s);
        } catch (const std::invalid_argument& e) {
            got << "invalid_argument" << e.what();
        } catch (const std::out_of_range& e) {
            got << "out_of_range" << e.what();
        }
        QCOMPARE(got.join(' '), letters);
    }

    void closeQuestion_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("capturing");
        QTest::addColumn<QString>("obstacle"); // what stands where the file goes
        QTest::newRow("No") << "No" << false << "";
        QTest::newRow("Escape while capturing") << "Escape" << true << "";
        QTest::newRow("Yes") << "Yes" << false << "";
        QTest::newRow("Yes while capturing") << "Yes" << true << "";
        QTest::newRow("directory in the way") << "Yes" << true << "directory";
        QTest::newRow("full device") << "Yes" << false << "/dev/full";
    }
    void closeQuestion()
    {
        QFETCH(QString, answer);
        QFETCH(bool, capturing);
        QFETCH(QString, obstacle);
        const QString name = "tessary_info.json";
        QVERIFY(openBoard());
        window->batteryTimer.stop();
        if (capturing) {
            board->setPaced(false);
            window->on_Capture_click();
            QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() >= 1, 5000);
        }
        if (obstacle == "directory")
            QVERIFY(QDir().mkdir(name));
        else if (!obstacle.isEmpty())
            QVERIFY(QFile::link(obstacle, name));
        else // an earlier, longer file, replaced whole
            writeFile(name, QByteArray(20000, 'x'));

        QStringList boxes;
        ModalCatcher catcher([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            boxes << box->windowTitle() + '|' + box->text();
            if (boxes.size() == 1)
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            if (boxes.size() > 1)
                box->accept();
            else if (answer == "Escape")
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(answer == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        const size_t writes = board->hostLog().size();
        const bool closed = window->close();

        QStringList expected{"Tessary_Interface|Are you sure you want to close?\n"};
        if (!obstacle.isEmpty())
            expected << "|json file error!";
        QCOMPARE(boxes, expected);
        QCOMPARE(closed, answer == "Yes");
        QCOMPARE(window->videoThread->isRunning(), capturing && !closed);
        QVERIFY(isRuning == capturing);
        const auto log = board->hostLog();
        if (!capturing)
            QCOMPARE(log.size(), writes);
        else if (closed)
            QCOMPARE(log.back().bytes, (std::vector<uint8_t>{0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB}));
        if (!obstacle.isEmpty())
            return;
        if (!closed) {
            QCOMPARE(readFile(name), QByteArray(20000, 'x'));
            return;
        }
        QJsonObject record;
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            record.insert(TessaryInfo::keys()[k], "");
        const QByteArray file = readFile(name);
        QCOMPARE(file, QJsonDocument(record).toJson(QJsonDocument::Indented));
        QCOMPARE(QJsonDocument::fromJson(file).object().size(), 78);
        QVERIFY(file.startsWith("{\n    \"Stv_fall\": \"\",\n    \"Stv_rise\": \"\",\n    \"ck1_"));
    }

    void readBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("fields6to8"); // then every other field
        QTest::addColumn<QString>("others");
        auto row = [](const char* name, const char* file, const char* box, const char* fields,
                      const char* others) {
            QTest::newRow(name) << QByteArray(file) << QString(box) << QString(fields)
                                << QString(others);
        };
        row("no file", nullptr, "first open", "old old old", "old");
        row("not JSON", R"({"mVGL": "1")", "", "old old old", "old");
        row("numbers and some keys",
            R"({"mGOA_DC2": 1.5, "mGOA_DC1": true, "mVGL": "-3.00", "x": "1"})", "", "  -3.00", "");
        row("not an object", R"(["mVGL", "1"])", "", "  ", "");
    }
    void readBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, box);
        QFETCH(QString, fields6to8);
        QFETCH(QString, others);
        if (!file.isNull())
            writeFile("tessary_info.json", file);
        for (QString& value : window->info.value)
            value = "old";
        BoxCatcher catcher;
        window->InitJson();
        QCOMPARE(catcher.texts(), box.isEmpty() ? QStringList() : QStringList{box});
        QStringList expected;
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            expected << others;
        for (int i = 0; i < 3; ++i)
            expected[6 + i] = fields6to8.split(' ')[i];
        QCOMPARE(QStringList(std::begin(window->info.value), std::end(window->info.value)),
                 expected);
    }

    void voltageFieldPairing()
    {
        const Ui_Tessary_Interface& ui = window->ui;
        const QList<QLineEdit*> fields{
            ui.lineEdit_35,   ui.lineEdit_36,  ui.lineEdit_37,  ui.lineEdit_vss,
            ui.lineEdit_vcom, ui.lineEdit_40,  ui.lineEdit_41,  ui.lineEdit_42,
            ui.lineEdit_43,   ui.lineEdit_vdd, ui.lineEdit_vin, ui.lineEdit_von,
            ui.lineEdit_voff, ui.lineEdit_48,  ui.lineEdit_49,  ui.lineEdit_50};
        for (int i = 0; i < 16; ++i) {
            window->info.value[6 + i] = QString::number(i);
            fields[i]->setText("x");
        }
        window->showFileValue("JSON");
        window->setFileValue("Json");
        for (int i = 0; i < 16; ++i)
            QCOMPARE(fields[i]->text() + window->info.value[6 + i], "x" + QString::number(i));
        window->showFileValue("json");
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(fields[i]->text(), QString::number(i));
            fields[i]->setText(QString::number(-i));
        }
        window->setFileValue("json");
        for (int i = 0; i < 16; ++i)
            QCOMPARE(window->info.value[6 + i], QString::number(-i));
        QVERIFY(window->info.value[5].isEmpty() && window->info.value[22].isEmpty());
    }
};

QTEST_MAIN(TestPeriphery)
#include "test_periphery.moc"
