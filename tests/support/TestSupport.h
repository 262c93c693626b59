#pragma once

#include <QByteArray>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <queue>
#include <sstream>
#include <sys/resource.h>

// Answers every modal message box that appears while it lives and records
// its title and text. Boxes are answered with the queued answers first, then
// with their default button (or their first button).
class BoxCatcher : public QObject
{
    Q_OBJECT
public:
    struct Box
    {
        QString title;
        QString text;
    };

    BoxCatcher();
    ~BoxCatcher() override;

    void answerNext(QMessageBox::StandardButton button) { answers.push(button); }
    QStringList texts() const;
    QList<Box> boxes;

private:
    void poll();
    QTimer timer;
    std::queue<QMessageBox::StandardButton> answers;
};

// Redirects a standard stream into a string while it lives. The stream object
// stays the same, so its format flags carry over as they do in the program.
class StreamCapture
{
public:
    explicit StreamCapture(std::ostream& stream = std::cout);
    ~StreamCapture();
    std::string text() const { return buffer.str(); }

private:
    std::ostream& stream;
    std::ostringstream buffer;
    std::streambuf* previous;
};

// Collects what is written to the Qt debug stream while it lives.
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    QStringList messages() const;
};

// A file's bytes, empty when it cannot be read; and a file written whole.
QByteArray fileBytes(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

// Lowers the size a file of this process may grow to while it lives; a write
// beyond fails as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{std::min(bytes, previous.rlim_max), previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous); }

private:
    rlimit previous{};
};
