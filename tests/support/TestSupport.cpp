#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QPushButton>

BoxCatcher::BoxCatcher()
{
    connect(&timer, &QTimer::timeout, this, &BoxCatcher::poll);
    timer.start(5);
}

BoxCatcher::~BoxCatcher() = default;

QStringList BoxCatcher::texts() const
{
    QStringList result;
    for (const Box& box : boxes)
        result << box.text;
    return result;
}

void BoxCatcher::poll()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible())
            continue;
        boxes.append({box->windowTitle(), box->text()});
        QAbstractButton* button = nullptr;
        if (!answers.empty()) {
            button = box->button(answers.front());
            answers.pop();
        }
        if (!button)
            button = box->defaultButton();
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().first();
        if (button)
            button->click();
        else
            box->done(0);
    }
}

StreamCapture::StreamCapture(std::ostream& stream)
    : stream(stream), previous(stream.rdbuf(buffer.rdbuf()))
{
}

StreamCapture::~StreamCapture()
{
    stream.flush();
    stream.rdbuf(previous);
}

namespace {
QMutex debugMutex;
QStringList* debugSink = nullptr;
QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QMutexLocker lock(&debugMutex);
    if (debugSink && type == QtDebugMsg)
        debugSink->append(message);
    else if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

DebugCapture::DebugCapture()
{
    QMutexLocker lock(&debugMutex);
    debugSink = new QStringList;
    previousHandler = qInstallMessageHandler(collect);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(previousHandler);
    QMutexLocker lock(&debugMutex);
    delete debugSink;
    debugSink = nullptr;
}

QStringList DebugCapture::messages() const
{
    QMutexLocker lock(&debugMutex);
    return debugSink ? *debugSink : QStringList();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
