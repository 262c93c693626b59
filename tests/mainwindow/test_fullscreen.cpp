// Full-screen layouts, and the look of the picture in each. Besides its
// headless run, this program runs under virtual X servers of several screen
// sizes (see tests/CMakeLists.txt), and checks the layout that the real
// screen under the cursor selects.
#include "RunningDataManager.h"
#include "TestSupport.h"
#include "tessary_interface.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <memory>
#include <random>

namespace {

struct Expected
{
    int readSize;
    QList<QRect> rects; // label, widget_func1, widget_func, widget_7, widget_3,
                        // password_input, savelayout, widget_2
};

Expected normalLayout(int widget2Width)
{
    return {600, {{20, 45, 600, 600}, {630, 40, 595, 470}, {650, 514, 560, 130}, {540, 20, 85, 28},
                  {470, 20, 85, 28}, {430, 210, 380, 200}, {430, 180, 380, 260},
                  {15, 19, widget2Width, 30}}};
}

const QMap<int, Expected> kFullScreen = {
    {810, {750, {{20, 45, 750, 750}, {820, 60, 595, 470}, {840, 614, 560, 130}, {690, 20, 85, 28},
                 {610, 20, 85, 28}, {560, 240, 380, 200}, {560, 210, 380, 260}, {15, 19, 70, 30}}}},
    {900, {800, {{20, 65, 800, 800}, {840, 70, 595, 470}, {860, 690, 560, 130}, {750, 40, 85, 28},
                 {680, 40, 85, 28}, {560, 260, 380, 200}, {560, 230, 380, 260}, {15, 19, 70, 30}}}},
    {1080, {880, {{115, 115, 880, 880}, {1110, 140, 595, 470}, {1130, 820, 560, 130},
                  {920, 90, 85, 28}, {850, 90, 85, 28}, {770, 410, 380, 200},
                  {770, 410, 380, 260}, {110, 87, 70, 30}}}},
};

QList<QRect> geometries(Tessary_Interface& window)
{
    const Ui_Tessary_Interface& ui = window.ui;
    return {ui.label->geometry(),         ui.widget_func1->geometry(),
            ui.widget_func->geometry(),   ui.widget_7->geometry(),
            ui.widget_3->geometry(),      ui.password_input->geometry(),
            ui.savelayout->geometry(),    ui.widget_2->geometry()};
}

// What the picture label shows inside its border.
QImage shownPicture(Tessary_Interface& window)
{
    QLabel* label = window.ui.label;
    return label->grab(label->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
}

// The frame as the label draws a pixmap it has to fit to its size itself.
QImage fittedByTheLabel(const cv::Mat& frame, Tessary_Interface& window)
{
    const QImage gray(frame.data, frame.cols, frame.rows, int(frame.step),
                      QImage::Format_Grayscale8);
    return gray
        .scaled(window.ui.label->contentsRect().size(), Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

void pressEscape(QWidget* window)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
}

} // namespace

class TestFullScreen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TessaryWidget> window;

private slots:
    void init()
    {
        readSize = 600;
        window = std::make_unique<TessaryWidget>();
        window->setFixedSize(1228, 664);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void enterAndLeaveByMenu()
    {
        const QList<QRect> initial = geometries(*window);
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        QVERIFY(screen);
        const int height = screen->geometry().height();

        window->toggleFullscreen();
        QTRY_VERIFY(window->isFullScreen());
        QCOMPARE(screenHeight, height);
        QCOMPARE(screenWidth, screen->geometry().width());
        if (kFullScreen.contains(height)) {
            QCOMPARE(readSize, kFullScreen[height].readSize);
            QCOMPARE(geometries(*window), kFullScreen[height].rects);
        } else {
            QCOMPARE(readSize, 600);
            QCOMPARE(geometries(*window), initial);
        }

        window->toggleFullscreen();
        QTRY_VERIFY(!window->isFullScreen());
        QCOMPARE(readSize, 600);
        QCOMPARE(geometries(*window), normalLayout(60).rects);
    }

    void escapeOnlyLeavesFullScreen()
    {
        const QList<QRect> initial = geometries(*window);
        pressEscape(window.get());
        QVERIFY(!window->isFullScreen());
        QCOMPARE(geometries(*window), initial);

        window->toggleFullscreen();
        QTRY_VERIFY(window->isFullScreen());
        pressEscape(window.get());
        QTRY_VERIFY(!window->isFullScreen());
        QCOMPARE(readSize, 600);
        QCOMPARE(geometries(*window), normalLayout(70).rects);
    }

    void pickFollowsTheLayout()
    {
        window->toggleFullscreen();
        QTRY_VERIFY(window->isFullScreen());
        // The far corner of the picture is always pixel (255, 255).
        const QPoint corner(readSize - 1, readSize - 1);
        QTest::mousePress(window->ui.label, Qt::LeftButton, Qt::NoModifier, corner);
        QCOMPARE(window->selectedCol, 255);
        QCOMPARE(window->selectedRow, 255);
        QCOMPARE(runningDataManager->getShowIndex(), 65535);
        QTest::mousePress(window->ui.label, Qt::LeftButton, Qt::NoModifier,
                          QPoint(readSize - 1, 0));
        QCOMPARE(window->selectedCol, 255);
        QCOMPARE(window->selectedRow, 0);
    }

    void pictureAsTheLabelWouldFitIt_data()
    {
        QTest::addColumn<int>("pattern");
        QTest::addColumn<int>("labelSize"); // 0: the layouts' own
        QTest::newRow("noise") << 0 << 0;
        QTest::newRow("ramp") << 1 << 0;
        QTest::newRow("black and white squares") << 2 << 0;
        QTest::newRow("noise, label just over the frame") << 0 << 262;
    }

    // The picture is handed over already fitted to the label, in this
    // screen's layouts and after switching between them with the frame kept.
    void pictureAsTheLabelWouldFitIt()
    {
        QFETCH(int, pattern);
        QFETCH(int, labelSize);
        cv::Mat frame(256, 256, CV_8UC1);
        std::mt19937 rng(3);
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c)
                frame.at<uchar>(r, c) = uchar(pattern == 0   ? rng()
                                              : pattern == 1 ? c + r
                                                             : ((r / 8 + c / 8) % 2) * 255);
        if (labelSize)
            window->ui.label->setGeometry(20, 45, labelSize, labelSize);
        window->displayOff = false;
        window->ShowUILabel(frame);
        QCOMPARE(shownPicture(*window), fittedByTheLabel(frame, *window));
        if (labelSize)
            return;

        window->toggleFullscreen();
        QTRY_VERIFY(window->isFullScreen());
        QCOMPARE(shownPicture(*window), fittedByTheLabel(frame, *window));
        pressEscape(window.get());
        QTRY_VERIFY(!window->isFullScreen());
        QCOMPARE(shownPicture(*window), fittedByTheLabel(frame, *window));
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
