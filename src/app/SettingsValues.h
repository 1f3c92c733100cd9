#pragma once

#include <QString>

namespace rp {

class Desktop;

// The sound keys of the "AGENDA" section and the file they name.
struct SoundSettings
{
    QString SoundFolder;
    QString SoundName;
    QString SoundExtension;
    bool SoundEnabled = false;
    // Empty when no ordinary file exists at the path the keys build.
    QString SoundFilePath;
};

// "BASE" / "OPERATORE"; blank when the operator is not configured.
QString ReadOperatorName(const QString& settingsPath);

// A folder of the "PATH" section ("FILE" for the data folder, "WORK" for the work folder), always ending with "/".
// A blank value gives the root of the current directory's file system.
QString ReadFolderSetting(const QString& settingsPath, const QString& key, Desktop& desktop);
// The same for a program without a desktop, which names its current directory itself.
QString ReadFolderSetting(const QString& settingsPath, const QString& key, const QString& currentDirectory);

// The name a database of the operator is opened by: on the office server the schema "<operator>/<name>", named as
// its file would be under the operator's folder, so that operators stay apart as their folders keep them; for the
// files the path "<folder><operator>/<name>.mdb".
QString DatabaseName(const QString& server, const QString& folder, const QString& operatorName, const QString& name);

// "PATH" / "SERVER": the office server's connection string; blank for the database files. Read whole, not cut at
// 99 characters as the other keys are: a cut string could name another port, database or user without any error.
// Longer than LongestServerSetting characters, it is the failed connection with a message that says so.
constexpr int LongestServerSetting = 4096;
QString ReadServerSetting(const QString& settingsPath);

SoundSettings ReadSoundSettings(const QString& settingsPath, Desktop& desktop);

} // namespace rp
