#include "app/SettingsValues.h"

#include "app/SettingsReader.h"
#include "app/engine/EngineErrors.h"
#include "platform/Desktop.h"

namespace rp {

namespace {

const QString PathSeparator = QStringLiteral("/");

// The scheduling application falls back to the drive root of the current directory; Linux has a single root,
// whatever the current directory.
QString DriveRootOf(const QString& /*directory*/)
{
    return PathSeparator;
}

// What the settings carry when "SuonoExt" is left blank: a WAV file.
const QString DefaultSoundExtension = QStringLiteral("wav");

} // namespace

QString ReadOperatorName(const QString& settingsPath)
{
    return ReadSetting(settingsPath, QStringLiteral("BASE"), QStringLiteral("OPERATORE"));
}

QString ReadFolderSetting(const QString& settingsPath, const QString& key, Desktop& desktop)
{
    return ReadFolderSetting(settingsPath, key, desktop.currentDirectory());
}

QString ReadFolderSetting(const QString& settingsPath, const QString& key, const QString& currentDirectory)
{
    QString folder = ReadSetting(settingsPath, QStringLiteral("PATH"), key);
    if (folder.isEmpty()) {
        folder = DriveRootOf(currentDirectory);
    }
    if (!folder.endsWith(PathSeparator)) {
        folder += PathSeparator;
    }
    return folder;
}

QString DatabaseName(const QString& server, const QString& folder, const QString& operatorName, const QString& name)
{
    const QString operatorFolder = operatorName + QLatin1Char('/');
    return server.isEmpty() ? folder + operatorFolder + name + QStringLiteral(".mdb") : operatorFolder + name;
}

QString ReadServerSetting(const QString& settingsPath)
{
    const QString server =
        ReadSettingUpTo(settingsPath, QStringLiteral("PATH"), QStringLiteral("SERVER"), LongestServerSetting + 1);
    if (server.size() > LongestServerSetting) {
        throw engine::serverConnectionFailed(
            QStringLiteral("il valore SERVER delle impostazioni supera %1 caratteri; abbreviarlo, o indicare il "
                           "server con service=NOME in pg_service.conf.")
                .arg(LongestServerSetting));
    }
    return server;
}

SoundSettings ReadSoundSettings(const QString& settingsPath, Desktop& desktop)
{
    const QString section = QStringLiteral("AGENDA");
    SoundSettings sound;
    // ReadSetting already trims its values, and a blank "SuonoSN" counts as "N": only an exact "S" enables sound.
    sound.SoundEnabled = ReadSetting(settingsPath, section, QStringLiteral("SuonoSN")) == QStringLiteral("S");
    sound.SoundFolder = ReadSetting(settingsPath, section, QStringLiteral("SuonoPath"));
    sound.SoundName = ReadSetting(settingsPath, section, QStringLiteral("SuonoFile"));
    sound.SoundExtension = ReadSetting(settingsPath, section, QStringLiteral("SuonoExt"));
    if (sound.SoundExtension.isEmpty()) {
        sound.SoundExtension = DefaultSoundExtension;
    }

    // The separator goes in even after a folder that ends with one: the doubled "/" still names the same file.
    QString path = sound.SoundFolder;
    if (!sound.SoundName.isEmpty()) {
        path += PathSeparator + sound.SoundName;
    }
    path += QStringLiteral(".") + sound.SoundExtension;
    sound.SoundFilePath = desktop.isOrdinaryFile(path) ? path : QString();
    return sound;
}

} // namespace rp
