#pragma once

#include "platform/Desktop.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace rp::test {

// Records everything the program asks of the desktop, and answers from a script the test sets up.
// Files are the real file system unless a test overrides the answer.
class FakeDesktop : public Desktop
{
public:
    struct Message
    {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };

    // One entry per request, in order: "message", "beep", "sound:<path>", "open:<path>", "events".
    QStringList requests;
    std::vector<Message> messages;
    std::deque<Answer> nextAnswers;   // answers for RetryCancel boxes; Cancel when empty
    std::deque<double> clockReadings; // successive now() answers; the last one repeats
    double fixedNow = 46000.0;
    int openDocumentResult = 42;
    QString workingDirectory = QStringLiteral("/");
    QRect primaryScreen{0, 0, 1920, 1080};
    QMargins framePixels; // none, as without a window manager
    // What the window asked to be called with once the window manager sets the frame as it takes the window in.
    std::function<void(QMargins)> frameSetOnShowing;
    int nowCalls = 0;

    Answer showMessage(const QString& text, const QString& title, Icon icon, Buttons buttons) override
    {
        requests << QStringLiteral("message");
        messages.push_back({text, title, icon, buttons});
        if (buttons == Buttons::Ok) {
            return Answer::Ok;
        }
        if (nextAnswers.empty()) {
            return Answer::Cancel;
        }
        const Answer a = nextAnswers.front();
        nextAnswers.pop_front();
        return a;
    }
    void beep() override { requests << QStringLiteral("beep"); }
    void playSound(const QString& path) override { requests << QStringLiteral("sound:") + path; }
    int openDocument(const QString& path) override
    {
        requests << QStringLiteral("open:") + path;
        return openDocumentResult;
    }
    double now() override
    {
        ++nowCalls;
        if (clockReadings.empty()) {
            return fixedNow;
        }
        const double t = clockReadings.front();
        if (clockReadings.size() > 1) {
            clockReadings.pop_front();
        }
        return t;
    }
    bool isOrdinaryFile(const QString& path) override
    {
        const QFileInfo info(path);
        return info.exists() && info.isFile();
    }
    QString currentDirectory() override { return workingDirectory; }
    QRect primaryScreenGeometry() override { return primaryScreen; }
    QMargins windowFramePixels(const QWidget&) override { return framePixels; }
    void whenFrameSetOnShowing(QWidget&, std::function<void(QMargins)> placeInFrame) override
    {
        frameSetOnShowing = std::move(placeInFrame);
    }
    void processEvents() override { requests << QStringLiteral("events"); }

    int count(const QString& request) const { return static_cast<int>(requests.count(request)); }
};

} // namespace rp::test
