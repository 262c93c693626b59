// Full-screen layouts. Besides its headless run, this program runs under
// virtual X servers of several screen sizes (see tests/CMakeLists.txt), and
// checks the layout that the real screen under the cursor selects.
#include "RunningDataManager.h"
#include "TestSupport.h"
#include "tessary_interface.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QtTest>

#include <memory>

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
};

QTEST_MAIN(TestFullScreen)
#include "test_fullscreen.moc"
