#include "platform/QtDesktop.h"

#include "common/DaySerial.h"
#include "platform/SoundEffectModule.h"
#include "platform/WaveFileCheck.h"
#include "platform/X11FrameExtents.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace rp {

namespace {

// Shell results: above 32 success; 2 file not found; 31 no program associated with the file.
constexpr int OpenSucceeded = 42;
constexpr int OpenFileNotFound = 2;
constexpr int OpenNoAssociation = 31;
constexpr double MillisecondsPerDay = 86400000.0;

QMessageBox::Icon messageBoxIcon(Desktop::Icon icon)
{
    switch (icon) {
    case Desktop::Icon::Exclamation:
        return QMessageBox::Warning;
    case Desktop::Icon::Critical:
        return QMessageBox::Critical;
    case Desktop::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Next to the executable in the build tree, in the program's library folder once installed.
// A missing module turns every sound into a beep; the reason goes to standard error so that an installation
// without it does not go unnoticed.
CreateSoundEffectFunction loadSoundEffectFactory()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString name = QString::fromLatin1(SoundEffectModuleName);
    QString failure;
    for (const QString& path :
         {programDir + QLatin1Char('/') + name, programDir + QStringLiteral("/../lib/reminder-popup/") + name}) {
        // Never unloaded: the sound plays on after the call that started it.
        QLibrary module(path);
        module.setLoadHints(QLibrary::PreventUnloadHint);
        if (auto factory = reinterpret_cast<CreateSoundEffectFunction>(module.resolve(CreateSoundEffectSymbol))) {
            return factory;
        }
        failure = module.errorString();
    }
    std::fprintf(stderr, "reminder-popup: suono non disponibile, solo segnale acustico: %s\n",
                 failure.toLocal8Bit().constData());
    std::fflush(stderr);
    return nullptr;
}

} // namespace

QtDesktop::QtDesktop() = default;
QtDesktop::~QtDesktop() = default;

Desktop::Answer QtDesktop::showMessage(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    // Messages carry paths and engine texts that must show as they are.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(messageBoxIcon(icon));
    box.setWindowModality(Qt::ApplicationModal);
    // The button texts are Italian whatever the user's locale or the installed Qt translations.
    if (buttons == Buttons::Ok) {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        ok->setText(QStringLiteral("OK"));
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
        return Answer::Ok;
    }
    QPushButton* retry = box.addButton(QMessageBox::Retry);
    retry->setText(QStringLiteral("Riprova"));
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    cancel->setText(QStringLiteral("Annulla"));
    box.setDefaultButton(retry);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == retry ? Answer::Retry : Answer::Cancel;
}

void QtDesktop::beep()
{
    QApplication::beep();
}

void QtDesktop::playSound(const QString& path)
{
    if (!isOrdinaryFile(path) || !isCompleteWaveFile(path) || !ensureSoundPlayer()) {
        beep();
        return;
    }
    m_sound->setProperty("source", QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    const int status = soundStatus();
    if (status == SoundEffectStatus::Error) {
        m_soundRequested = false;
        beep();
        return;
    }
    m_soundRequested = status != SoundEffectStatus::Ready;
    QMetaObject::invokeMethod(m_sound.get(), "play");
}

bool QtDesktop::ensureSoundPlayer()
{
    if (!m_sound && !m_soundModuleTried) {
        m_soundModuleTried = true;
        if (const CreateSoundEffectFunction create = loadSoundEffectFactory()) {
            m_sound.reset(create([this] { onSoundStatusChanged(); }));
        }
    }
    return m_sound != nullptr;
}

int QtDesktop::soundStatus() const
{
    return m_sound->property("status").toInt();
}

void QtDesktop::onSoundStatusChanged()
{
    if (!m_soundRequested) {
        return;
    }
    const int status = soundStatus();
    if (status == SoundEffectStatus::Error) {
        m_soundRequested = false;
        beep();
    } else if (status == SoundEffectStatus::Ready) {
        m_soundRequested = false;
    }
}

int QtDesktop::openDocument(const QString& path)
{
    if (!isOrdinaryFile(path)) {
        return OpenFileNotFound;
    }
    // The desktop's opener gets the file as one URL: no command line is ever built from the path.
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    return QDesktopServices::openUrl(url) ? OpenSucceeded : OpenNoAssociation;
}

double QtDesktop::now()
{
    const QDateTime present = QDateTime::currentDateTime();
    return daySerialFromLocal(present) + present.time().msec() / MillisecondsPerDay;
}

bool QtDesktop::isOrdinaryFile(const QString& path)
{
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString QtDesktop::currentDirectory()
{
    return QDir::currentPath();
}

QRect QtDesktop::primaryScreenGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    return screen->geometry();
}

QMargins QtDesktop::windowFramePixels(const QWidget& window)
{
    // Before the first show Qt knows no frame: the window manager draws it only once the window is mapped.
    if (!window.isVisible()) {
        const FrameBeforeMapping announced = frameExtentsBeforeMapping(window);
        m_frameSetOnShowing = announced.setOnMapping ? window.winId() : 0;
        if (announced.frame) {
            return *announced.frame;
        }
    }
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

void QtDesktop::whenFrameSetOnShowing(QWidget& window, std::function<void(QMargins)> placeInFrame)
{
    if (m_frameSetOnShowing != 0 && m_frameSetOnShowing == window.winId() && !window.isVisible()) {
        onFrameExtentsSet(window, std::move(placeInFrame));
    }
}

void QtDesktop::processEvents()
{
    QCoreApplication::processEvents();
}

} // namespace rp
