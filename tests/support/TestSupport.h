#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <iomanip>
#include <iostream>
#include <queue>
#include <sstream>

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

// Redirects std::cout into a string while it lives. The stream object stays
// the same, so its format flags carry over as they do in the program.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    std::string text() const { return buffer.str(); }
    void clear() { buffer.str(std::string()); }

private:
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

// Puts std::cout back into its start-up formatting state (decimal, lower-case
// hexadecimal letters, blank fill).
void resetStdoutState();
