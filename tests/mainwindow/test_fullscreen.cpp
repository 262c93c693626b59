// Full-screen layouts, and the look of the picture in each. Besides its
// headless run, this program runs under virtual X servers of several screen
// sizes with a window manager (see tests/CMakeLists.txt), and checks the
// layout that the real screen under the cursor selects.
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "tessary_interface.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <random>

namespace {

// The picture label's geometry by the screen heights that have a layout.
const QMap<int, QRect> kFullScreenPicture = {
    {810, {20, 45, 750, 750}}, {900, {20, 65, 800, 800}}, {1080, {115, 115, 880, 880}}};
const QRect kNormalPicture(20, 45, 600, 600);
// The window as main builds it: fixed to this size.
const QSize kNormalWindow(1228, 664);

} // namespace

class TestFullScreen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TessaryWidget> window;

    // The label shows inside its border the frame as it would fit it itself.
    void verifyPicture(const cv::Mat& frame)
    {
        QLabel* label = window->ui.label;
        const QImage gray(frame.data, 256, 256, int(frame.step), QImage::Format_Grayscale8);
        QCOMPARE(label->grab(label->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32),
                 gray.scaled(label->contentsRect().size(), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32));
    }

private slots:
    void init()
    {
        readSize = 600;
        window = std::make_unique<TessaryWidget>();
        window->setFixedSize(kNormalWindow);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    // The menu and Escape both leave; the rotate and mirror panel is then 60
    // or 70 wide. Escape outside full screen does nothing. The picture is
    // handed over already fitted to the label, in each layout, the frame kept
    // across the switches. Full screen fills the screen although the window
    // is fixed, with every panel inside it, and leaving gives back the fixed
    // window.
    void enterAndLeave_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<int>("panelWidth");
        QTest::addColumn<int>("labelSize"); // at the start; 0: the form's own
        QTest::newRow("menu, noise") << false << 60 << 0;
        QTest::newRow("Escape, squares, label just over the frame") << true << 70 << 262;
    }
    void enterAndLeave()
    {
        QFETCH(bool, byEscape);
        QFETCH(int, panelWidth);
        QFETCH(int, labelSize);
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isFullScreen());
        if (labelSize)
            window->ui.label->setGeometry(20, 45, labelSize, labelSize);
        const QRect start = window->ui.label->geometry();
        const QRect normal = window->geometry();
        std::mt19937 rng(3);
        const cv::Mat frame = grayImage([&](int r, int c) {
            return byEscape ? ((r / 8 + c / 8) % 2) * 255 : int(rng() % 256);
        });
        window->displayOff = false;
        window->ShowUILabel(frame);
        verifyPicture(frame);

        // The layout is the one for the screen under the cursor.
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        QVERIFY(screen);
        const int height = screen->geometry().height();
        window->toggleFullscreen();
        QTRY_VERIFY(window->isFullScreen());
        QTRY_COMPARE(window->size(), screen->size());
        QCOMPARE(window->ui.label->geometry(), kFullScreenPicture.value(height, start));
        // A screen smaller than the normal window (the headless one) cannot
        // hold the panels where the normal layout puts them.
        if (screen->size().expandedTo(kNormalWindow) == screen->size()) {
            const Ui_Tessary_Interface& ui = window->ui;
            for (QWidget* panel : {static_cast<QWidget*>(ui.label), ui.widget_func1, ui.widget_func,
                                   ui.widget_7, ui.widget_3, ui.savelayout, ui.widget_2})
                QVERIFY2(window->rect().contains(
                             QRect(panel->mapTo(window.get(), QPoint()), panel->size())),
                         qPrintable(panel->objectName()));
            QVERIFY(
                ui.password_input->parentWidget()->rect().contains(ui.password_input->geometry()));
        }
        QCOMPARE(readSize, kFullScreenPicture.value(height, kNormalPicture).width());
        verifyPicture(frame);
        // The far corner of the picture is the last pixel.
        QTest::mousePress(window->ui.label, Qt::LeftButton, Qt::NoModifier,
                          QPoint(readSize - 1, readSize - 1));
        QCOMPARE(runningDataManager->getShowIndex(), 65535);

        if (byEscape)
            QTest::keyClick(window.get(), Qt::Key_Escape);
        else
            window->toggleFullscreen();
        QTRY_VERIFY(!window->isFullScreen());
        QTRY_COMPARE(window->geometry(), normal);
        QCOMPARE(normal.size(), kNormalWindow);
        QCOMPARE(window->minimumSize(), kNormalWindow);
        QCOMPARE(window->maximumSize(), kNormalWindow);
        QCOMPARE(readSize, 600);
        QCOMPARE(window->ui.label->geometry(), kNormalPicture);
        QCOMPARE(window->ui.widget_2->geometry(), QRect(15, 19, panelWidth, 30));
        verifyPicture(frame);
    }

    // Under a new frame only the picture's region is repainted; the window
    // background there must be what a whole repaint gives, and the window's
    // antialiased outline stays where a repaint reaches the edge.
    void backgroundRepaintedInPartAsWhole()
    {
        const QImage whole = window->grab().toImage();
        for (const QRect& part : {window->ui.label->geometry(), QRect(300, 300, 40, 40),
                                  QRect(0, 0, 30, 30), window->rect()})
            QCOMPARE(window->grab(part).toImage(), whole.copy(part));

        QImage outlined(window->size(), whole.format());
        outlined.fill(window->palette().window().color());
        QPainter painter(&outlined);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor("#F8F8F8"));
        painter.drawRect(window->rect());
        painter.end();
        const QRect edge(0, 300, 10, 10);
        QCOMPARE(window->grab(edge).toImage(), outlined.copy(edge));
    }
};

QTEST_MAIN(TestFullScreen)
#include "test_fullscreen.moc"
