// The live picture, the pixel read-out and the full-screen layouts.
#include "RunningDataManager.h"
#include "tessary_interface.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

namespace {

struct PanelLayout
{
    int readSize;
    QRect label, widgetFunc1, widgetFunc, widget7, widget3, passwordInput, saveLayout, widget2;
};

// The normal layout; leaving full screen through the menu gives the rotate
// and mirror panel a width of 60, leaving with Escape a width of 70.
PanelLayout normalLayout(int widget2Width)
{
    return {600,
            {20, 45, 600, 600},
            {630, 40, 595, 470},
            {650, 514, 560, 130},
            {540, 20, 85, 28},
            {470, 20, 85, 28},
            {430, 210, 380, 200},
            {430, 180, 380, 260},
            {15, 19, widget2Width, 30}};
}

const PanelLayout kHeight810 = {750,
                                {20, 45, 750, 750},
                                {820, 60, 595, 470},
                                {840, 614, 560, 130},
                                {690, 20, 85, 28},
                                {610, 20, 85, 28},
                                {560, 240, 380, 200},
                                {560, 210, 380, 260},
                                {15, 19, 70, 30}};
const PanelLayout kHeight900 = {800,
                                {20, 65, 800, 800},
                                {840, 70, 595, 470},
                                {860, 690, 560, 130},
                                {750, 40, 85, 28},
                                {680, 40, 85, 28},
                                {560, 260, 380, 200},
                                {560, 230, 380, 260},
                                {15, 19, 70, 30}};
const PanelLayout kHeight1080 = {880,
                                 {115, 115, 880, 880},
                                 {1110, 140, 595, 470},
                                 {1130, 820, 560, 130},
                                 {920, 90, 85, 28},
                                 {850, 90, 85, 28},
                                 {770, 410, 380, 200},
                                 {770, 410, 380, 260},
                                 {110, 87, 70, 30}};

void applyLayout(Ui_Tessary_Interface& ui, const PanelLayout& layout)
{
    ui.label->setGeometry(layout.label);
    ui.widget_func1->setGeometry(layout.widgetFunc1);
    ui.widget_func->setGeometry(layout.widgetFunc);
    ui.widget_7->setGeometry(layout.widget7);
    ui.widget_3->setGeometry(layout.widget3);
    ui.password_input->setGeometry(layout.passwordInput);
    ui.savelayout->setGeometry(layout.saveLayout);
    ui.widget_2->setGeometry(layout.widget2);
    readSize = layout.readSize;
}

} // namespace

void Tessary_Interface::ShowUILabel(const Mat& mat)
{
    if (displayOff)
        return;
    // The queued signal keeps the frame's buffer alive while this slot runs,
    // and the pixmap conversion copies it.
    const QImage image(mat.data, mat.cols, mat.rows, static_cast<int>(mat.step),
                       QImage::Format_Grayscale8);
    ui.label->setPixmap(QPixmap::fromImage(image));
    ui.label->show();
}

bool Tessary_Interface::eventFilter(QObject* obj, QEvent* event)
{
    if (obj == ui.label && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton) {
            const int x = qRound(press->localPos().x());
            const int y = qRound(press->localPos().y());
            // The label is always readSize square; the clamp only guards the
            // index the worker reads against a stray position.
            selectedCol = std::clamp(int(x / double(readSize) * 256.0), 0, 255);
            selectedRow = std::clamp(int(y / double(readSize) * 256.0), 0, 255);
            runningDataManager->setShowState(true);
            runningDataManager->setShowIndex(selectedRow * 256 + selectedCol);
        }
    }
    return QMainWindow::eventFilter(obj, event);
}

void Tessary_Interface::labelCurrentShow(double current)
{
    ui.label_current->setText("( " + QString::number(selectedCol) + " , " +
                              QString::number(selectedRow) + " ) :" +
                              QString::number(current, 'g', 6) + "nA");
}

void Tessary_Interface::toggleFullscreen()
{
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        screenWidth = screen->geometry().width();
        screenHeight = screen->geometry().height();
    }
    if (isFullScreen()) {
        applyLayout(ui, normalLayout(60));
        const QSize recorded = size();
        showNormal();
        resize(recorded);
    } else {
        showFullScreen();
        if (screenHeight == 810)
            applyLayout(ui, kHeight810);
        else if (screenHeight == 900)
            applyLayout(ui, kHeight900);
        else if (screenHeight == 1080)
            applyLayout(ui, kHeight1080);
    }
    windowMenu->close();
}

void Tessary_Interface::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    if (isFullScreen()) {
        applyLayout(ui, normalLayout(70));
        const QSize recorded = size();
        showNormal();
        resize(recorded);
    }
}
