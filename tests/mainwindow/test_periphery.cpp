// The window's periphery: developer entry, help and contact dialogs, the close
// question with its configuration file, and the keypad letters.
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
#include <memory>
#include <stdexcept>

namespace {

// While the timer lives, each modal dialog that opens goes to `act`, which closes it.
std::unique_ptr<QTimer> onModal(std::function<void(QWidget*)> act)
{
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [act] {
        if (QWidget* modal = QApplication::activeModalWidget())
            act(modal);
    });
    timer->start(5);
    return timer;
}

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const FT_HANDLE kSomeHandle = reinterpret_cast<FT_HANDLE>(quintptr(0x5a5a));
const char* const kInfoFile = "tessary_info.json";

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

    // Refused codes keep the panel and the typed text; Return acts like "Log on".
    void passwordPanel()
    {
        fthandle1 = kSomeHandle;
        status = FT_STATUS(4);
        window->ui.widget->show();
        window->ui.password_input->show();
        BoxCatcher boxes;
        for (const char* typed : {"", "580418", "580417 "}) {
            window->ui.lineEdit_password->setText(typed);
            window->ui.pushButton_password_ok->click();
        }
        QCOMPARE(boxes.texts(),
                 (QStringList{"Please enter the password", "Password error", "Password error"}));
        QCOMPARE(boxes.boxes.first().title, QString());
        QCOMPARE(window->ui.lineEdit_password->text(), QString("580417 "));
        QVERIFY(window->ui.password_input->isVisible() && !developer_mode->isVisible());
        QCOMPARE(developer_mode->ftHandle, nullptr);

        window->ui.lineEdit_password->setText("580417");
        QTest::keyClick(window->ui.lineEdit_password, Qt::Key_Return);
        QCOMPARE(boxes.boxes.size(), 3);
        QCOMPARE(window->ui.lineEdit_password->text(), QString());
        QVERIFY(!window->ui.password_input->isVisible() && !window->ui.widget->isVisible());
        QVERIFY(developer_mode->isVisible());
        QCOMPARE(developer_mode->minimumSize(), developer_mode->maximumSize());
        QCOMPARE(developer_mode->ftHandle, kSomeHandle);
        QCOMPARE(developer_mode->ftStatus, FT_STATUS(4));
    }

    void eyeCloseAndMenuEntry()
    {
        const QString eye = "QPushButton { border-image: url(:/Image/images/password_%1.png);}";
        window->ui.pushButton_look_password->click();
        QCOMPARE(window->ui.lineEdit_password->echoMode(), QLineEdit::Normal);
        QCOMPARE(window->ui.pushButton_look_password->styleSheet(), eye.arg("off"));
        window->ui.pushButton_look_password->click();
        QCOMPARE(window->ui.lineEdit_password->echoMode(), QLineEdit::Password);
        QCOMPARE(window->ui.pushButton_look_password->styleSheet(), eye.arg("on"));

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

    // Each click opens a new help dialog, kept hidden as the window's child.
    void voltageHelpAndContactDialogs()
    {
        int helps = 0;
        QImage picture;
        Qt::WindowFlags flags;
        int result = -1;
        auto catcher = onModal([&](QWidget* modal) {
            if (qobject_cast<VoltageDetails*>(modal)) {
                ++helps;
                modal->close();
                return;
            }
            auto* contact = static_cast<QDialog*>(modal);
            flags = contact->windowFlags();
            picture = contact->grab().toImage();
            connect(contact, &QDialog::finished, [&](int code) { result = code; });
            contact->findChild<QPushButton*>()->click();
        });
        window->ui.pushButton_volDetail->click();
        window->ui.pushButton_volDetail->click();
        QCOMPARE(helps, 2);
        const auto kept =
            window->findChildren<VoltageDetails*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(kept.size(), 2);
        QVERIFY(!kept[0]->isVisible() && !kept[1]->isVisible());

        window->contactButton->click();
        QCOMPARE(result, int(QDialog::Accepted));
        // Qt marks a parentless widget as a window; no other hint is set.
        QCOMPARE(flags & ~Qt::WindowType_Mask, Qt::WindowFlags(Qt::FramelessWindowHint));
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
        QTest::newRow("two keys") << "23"
                                  << "ad ae af bd be bf cd ce cf";
        QTest::newRow("one key") << "7"
                                 << "p q r s";
        QTest::newRow("three digits") << "234"
                                      << "";
        QTest::newRow("key without letters") << "21"
                                             << "";
        // Characters the number does not account for spell nothing.
        QTest::newRow("leading zero") << "05"
                                      << "";
        QTest::newRow("leading blank") << " 7"
                                       << "";
        QTest::newRow("negative") << "-5"
                                  << "";
        QTest::newRow("empty") << ""
                               << "invalid_argument stoi";
        QTest::newRow("too big") << "99999999999"
                                 << "out_of_range stoi";
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
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("capturing");
        QTest::addColumn<QString>("obstacle"); // what stands where the file goes
        QTest::newRow("No") << false << false << "";
        QTest::newRow("No while capturing") << false << true << "";
        QTest::newRow("Yes") << true << false << "";
        QTest::newRow("Yes while capturing") << true << true << "";
        QTest::newRow("directory in the way") << true << true << "directory";
        QTest::newRow("full device") << true << false << "/dev/full";
    }
    void closeQuestion()
    {
        QFETCH(bool, yes);
        QFETCH(bool, capturing);
        QFETCH(QString, obstacle);
        QVERIFY(openBoard());
        window->batteryTimer.stop();
        if (capturing) {
            board->setPaced(false);
            window->on_Capture_click();
            QTRY_VERIFY_WITH_TIMEOUT(board->framesServed() >= 1, 5000);
        }
        if (obstacle == "directory")
            QVERIFY(QDir().mkdir(kInfoFile));
        else if (!obstacle.isEmpty())
            QVERIFY(QFile::link(obstacle, kInfoFile));
        else // an earlier, longer file, replaced whole
            QVERIFY(writeFile(kInfoFile, QByteArray(20000, 'x')));

        BoxCatcher boxes; // Yes is the default answer
        if (!yes)
            boxes.answerNext(QMessageBox::No);
        const size_t writes = board->hostLog().size();
        const bool closed = window->close();

        QStringList expected{"Tessary_Interface|Are you sure you want to close?\n"};
        if (!obstacle.isEmpty())
            expected << "|json file error!";
        QStringList shown;
        for (const BoxCatcher::Box& box : boxes.boxes)
            shown << box.title + '|' + box.text;
        QCOMPARE(shown, expected);
        QCOMPARE(closed, yes);
        QCOMPARE(window->videoThread->isRunning(), capturing && !closed);
        QCOMPARE(isRuning, capturing);
        const auto log = board->hostLog();
        if (!capturing)
            QCOMPARE(log.size(), writes);
        else if (closed)
            QCOMPARE(log.back().bytes, (std::vector<uint8_t>{0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB}));
        if (!obstacle.isEmpty())
            return;
        QJsonObject record;
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            record.insert(TessaryInfo::keys()[k], "");
        QCOMPARE(readFile(kInfoFile), closed ? QJsonDocument(record).toJson(QJsonDocument::Indented)
                                             : QByteArray(20000, 'x'));
        if (closed)
            QVERIFY(readFile(kInfoFile).startsWith(
                "{\n    \"Stv_fall\": \"\",\n    \"Stv_rise\": \"\",\n    \"ck1_"));
    }

    void readBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("fields6to8"); // then every other field
        QTest::addColumn<QString>("others");
        QTest::newRow("no file") << QByteArray() << "first open"
                                 << "old old old"
                                 << "old";
        QTest::newRow("not JSON") << QByteArray(R"({"mVGL": "1")") << ""
                                  << "old old old"
                                  << "old";
        QTest::newRow("numbers and some keys")
            << QByteArray(R"({"mGOA_DC2": 1.5, "mGOA_DC1": true, "mVGL": "-3.00", "x": "1"})") << ""
            << "  -3.00"
            << "";
        QTest::newRow("not an object") << QByteArray(R"(["mVGL", "1"])") << ""
                                       << "  "
                                       << "";
    }
    // Then the voltage fields pair with fields 6 to 21, for the kind "json" only.
    void readBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, box);
        QFETCH(QString, fields6to8);
        QFETCH(QString, others);
        if (!file.isNull())
            QVERIFY(writeFile(kInfoFile, file));
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
        const QList<QLineEdit*> fields{ui.lineEdit_35,  ui.lineEdit_vss,  ui.lineEdit_43,
                                       ui.lineEdit_vdd, ui.lineEdit_voff, ui.lineEdit_50};
        const QList<int> paired{6, 9, 14, 15, 18, 21};
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            window->info.value[k] = QString::number(k);
        const QString before = ui.lineEdit_vss->text();
        window->showFileValue("JSON");
        QCOMPARE(ui.lineEdit_vss->text(), before);
        window->showFileValue("json");
        for (int i = 0; i < fields.size(); ++i) {
            QCOMPARE(fields[i]->text(), QString::number(paired[i]));
            fields[i]->setText("x");
        }
        window->setFileValue("Json");
        QCOMPARE(window->info.value[9], QString("9"));
        window->setFileValue("json");
        for (int i = 0; i < fields.size(); ++i)
            QCOMPARE(window->info.value[paired[i]], QString("x"));
        QVERIFY(window->info.value[5] == "5" && window->info.value[22] == "22");
    }
};

QTEST_MAIN(TestPeriphery)
#include "test_periphery.moc"
