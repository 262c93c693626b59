// The window's periphery: developer entry, the small dialogs, the close
// question with its configuration file, and the keypad letters.
#include "Developer_Mode.h"
#include "TestSupport.h"
#include "VoltageDetails.h"
#include "WindowFixture.h"
#include "letterCombinations.h"

#include <QtTest>

#include <stdexcept>

namespace {

const FT_HANDLE kSomeHandle = reinterpret_cast<FT_HANDLE>(quintptr(0x5a5a));
const char* const kInfoFile = "tessary_info.json";

// The configuration file's keys, in the record's field order.
QStringList infoKeys()
{
    QStringList keys = QString("side_a side_b treset mCFG_REG mTcalibration fps mGOA_DC2 mGOA_DC1 "
                               "mVGL mTFT_Vbias mTFT_VCOM mGOA_DCH mGOA_DC3 mMUX_H mMUX_L "
                               "mPixel_DC1 mPixel_DC2 mPixel_DC3 mVclk_H mVscan_L mVscan_H mBK1 "
                               "scan_ck_high")
                           .split(' ');
    for (int i = 1; i <= 8; ++i)
        keys << QString("ck%1_start").arg(i);
    keys << "scan_high";
    for (int i = 1; i <= 32; ++i)
        keys << QString("scan%1_start").arg(i);
    return keys + QString("scan_total_period rst_fall rst_rise Stv_rise Stv_fall ck_start ck_high "
                          "ck_low ck_num xck_start xck_high xck_low xck_num total_period")
                      .split(' ');
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
        previousDir = QDir::currentPath();
        QVERIFY(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
        QDir::setCurrent(dir.path());
        startWindow();
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
        QCOMPARE(window->ui.lineEdit_password->text(), QString("580417 "));
        QVERIFY(window->ui.password_input->isVisible() && !developer_mode->isVisible());
        QCOMPARE(developer_mode->ftHandle, nullptr);

        window->ui.lineEdit_password->setText("580417");
        QTest::keyClick(window->ui.lineEdit_password, Qt::Key_Return);
        QCOMPARE(boxes.texts(),
                 (QStringList{"Please enter the password", "Password error", "Password error"}));
        QCOMPARE(boxes.boxes.first().title, QString());
        QCOMPARE(window->ui.lineEdit_password->text(), QString());
        QVERIFY(!window->ui.password_input->isVisible() && !window->ui.widget->isVisible());
        QVERIFY(developer_mode->isVisible());
        QCOMPARE(developer_mode->ftHandle, kSomeHandle);
        QCOMPARE(developer_mode->ftStatus, FT_STATUS(4));
    }

    // "Contact Us" opens the contact dialog, closed by "OK"; each click on the
    // voltage help opens a new help over the window, gone once it is closed.
    void smallDialogs()
    {
        QList<int> results;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (auto* help = qobject_cast<VoltageDetails*>(dialog)) {
                // A child of the window, and its only help.
                const auto helps = window->findChildren<VoltageDetails*>();
                results << (help->parentWidget() == window.get() ? helps.size() : -1);
                help->reject();
            } else if (dialog) {
                connect(dialog, &QDialog::finished, [&](int code) { results << code; });
                dialog->findChild<QPushButton*>()->click();
            }
        });
        closer.start(5);
        window->contactButton->click();
        for (int i = 0; i < 3; ++i)
            window->ui.pushButton_volDetail->click();
        QCOMPARE(results, (QList<int>{QDialog::Accepted, 1, 1, 1}));
        QVERIFY(window->findChildren<VoltageDetails*>().isEmpty());
    }

    // Each row's name is the input; characters that the number does not account
    // for spell nothing.
    void letterCombinations_data()
    {
        QTest::addColumn<QString>("letters");
        QTest::newRow("23") << QString("ad ae af bd be bf cd ce cf");
        QTest::newRow("7") << QString("p q r s");
        for (const char* digits : {"234", "21", "05", " 7", "-5"})
            QTest::newRow(digits) << QString();
    }
    void letterCombinations()
    {
        QFETCH(QString, letters);
        QStringList got;
        for (const std::string& s : ::letterCombinations(QTest::currentDataTag()))
            got << QString::fromStdString(s);
        QCOMPARE(got.join(' '), letters);
    }
    void letterCombinationsThrow()
    {
        QVERIFY_EXCEPTION_THROWN(::letterCombinations(""), std::invalid_argument);
        QVERIFY_EXCEPTION_THROWN(::letterCombinations("99999999999"), std::out_of_range);
    }

    void closeQuestion_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("capturing");
        QTest::addColumn<QString>("obstacle"); // what stands where the file goes
        QTest::newRow("No") << false << false << "";
        QTest::newRow("No while capturing") << false << true << "";
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

        const QString question = "Are you sure you want to close?\n";
        QCOMPARE(boxes.texts(), (obstacle.isEmpty() ? QStringList{question}
                                                    : QStringList{question, "json file error!"}));
        QCOMPARE(boxes.boxes.first().title, QString("Tessary_Interface"));
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
        for (const QString& key : infoKeys())
            record.insert(key, "");
        QCOMPARE(fileBytes(kInfoFile), closed
                                           ? QJsonDocument(record).toJson(QJsonDocument::Indented)
                                           : QByteArray(20000, 'x'));
    }

    // No file is told; a file that is not JSON changes nothing; then every
    // field takes its key's text, or nothing.
    void readBack()
    {
        for (QString& value : window->info.value)
            value = "old";
        const auto values = [&] {
            return QStringList(std::begin(window->info.value), std::end(window->info.value));
        };
        BoxCatcher boxes;
        window->InitJson();
        QVERIFY(writeFile(kInfoFile, R"({"mVGL": "1")"));
        window->InitJson();
        QCOMPARE(boxes.texts(), QStringList{"first open"});
        QCOMPARE(values().count("old"), 78);
        // Field k takes key k's text; a number, a truth value or a missing key
        // gives nothing.
        QJsonObject record;
        QStringList expected;
        for (const QString& key : infoKeys()) {
            expected << QString::number(expected.size());
            record.insert(key, expected.back());
        }
        record["mGOA_DC2"] = 1.5;
        record["mGOA_DC1"] = true;
        record.remove("total_period");
        expected[6] = expected[7] = expected[77] = "";
        QVERIFY(writeFile(kInfoFile, QJsonDocument(record).toJson()));
        window->InitJson();
        QCOMPARE(values(), expected);
    }
};

QTEST_MAIN(TestPeriphery)
#include "test_periphery.moc"
