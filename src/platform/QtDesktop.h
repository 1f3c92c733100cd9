#pragma once

#include "platform/Desktop.h"

#include <memory>

class QObject;

namespace rp {

// The desktop as Qt offers it. The sound player is loaded and created on the first sound only, so a run without
// sound does not pay for the audio stack at start-up.
class QtDesktop : public Desktop
{
public:
    QtDesktop();
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    Answer showMessage(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void beep() override;
    void playSound(const QString& path) override;
    int openDocument(const QString& path) override;
    double now() override;
    bool isOrdinaryFile(const QString& path) override;
    QString currentDirectory() override;
    QRect primaryScreenGeometry() override;
    QMargins windowFramePixels(const QWidget& window) override;
    void whenFrameSetOnShowing(QWidget& window, std::function<void(QMargins)> placeInFrame) override;
    void processEvents() override;

private:
    bool ensureSoundPlayer();
    int soundStatus() const;
    void onSoundStatusChanged();

    // A QSoundEffect made by the sound module; null until the first sound, and for good when the module is missing.
    std::unique_ptr<QObject> m_sound;
    bool m_soundModuleTried = false;
    // A play request whose file has not finished loading: it turns into a beep if loading fails.
    bool m_soundRequested = false;
    // The native window whose frame the window manager, asked before the first show, sets only on taking it in.
    quintptr m_frameSetOnShowing = 0;
};

} // namespace rp
