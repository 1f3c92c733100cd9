#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

class QWidget;

namespace rp {

// Everything the desktop does to or for the program goes through this interface, so that every message box,
// beep, sound, document opening and clock reading can be observed and fixed in tests.
class Desktop
{
public:
    enum class Icon
    {
        None,
        Exclamation,
        Critical
    };
    enum class Buttons
    {
        Ok,
        RetryCancel
    };
    enum class Answer
    {
        Ok,
        Retry,
        Cancel
    };

    virtual ~Desktop() = default;

    // Modal message box; returns the button the operator chose.
    virtual Answer showMessage(const QString& text, const QString& title, Icon icon, Buttons buttons) = 0;
    virtual void beep() = 0;
    // Starts playing the file and returns at once; a file that cannot be played gives the beep instead.
    virtual void playSound(const QString& path) = 0;
    // Opens a document with the desktop's associated program, the path handed over as one argument.
    // Returns the shell result: greater than 32 on success, 0 out of memory, 1 to 32 a failure.
    virtual int openDocument(const QString& path) = 0;
    // The present moment: local date and time as a day serial.
    virtual double now() = 0;
    // True only for an existing ordinary file (not a directory).
    virtual bool isOrdinaryFile(const QString& path) = 0;
    virtual QString currentDirectory() = 0;
    // The primary monitor's rectangle on the desktop, in device-independent pixels: on a desk with several
    // monitors its top-left corner need not be the desktop's. Empty without any screen.
    virtual QRect primaryScreenGeometry() = 0;
    // The title bar and borders the window manager puts around a top-level window, in pixels; empty without a
    // window manager. Asked for before the window is first shown, it is the frame the window will get, where the
    // window manager tells that in advance.
    virtual QMargins windowFramePixels(const QWidget& window) = 0;
    // Where the window manager tells the frame only as it takes the shown window in, not in advance: calls
    // placeInFrame once with that frame when it comes, the window's painting held until then. Asked after
    // windowFramePixels and before the first show; nothing is called where the frame was told in advance or no
    // window manager runs.
    virtual void whenFrameSetOnShowing(QWidget& window, std::function<void(QMargins)> placeInFrame) = 0;
    // Lets pending window events run once.
    virtual void processEvents() = 0;
};

constexpr int TwipsPerPixel = 15;

} // namespace rp
