#include "app/SettingsValues.h"
#include "common/RuntimeError.h"
#include "support/FakeDesktop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rp {
namespace {

class SettingsValuesTest : public ::testing::Test
{
protected:
    QString writeSettings(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("settings.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QString createFile(const QString& relativePath)
    {
        const QString path = m_dir.filePath(relativePath);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("RIFF");
        return path;
    }

    QString soundDir() const { return m_dir.filePath(QStringLiteral("suoni")); }

    QString agenda(const QString& lines) { return writeSettings("[AGENDA]\n" + lines.toUtf8()); }

    void SetUp() override { ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("suoni"))); }

    QTemporaryDir m_dir;
    test::FakeDesktop m_desktop;
};

// --- operator name ---

TEST_F(SettingsValuesTest, OperatorNameComesFromBaseSection)
{
    const QString path = writeSettings("[PATH]\nOPERATORE=wrong\n[base]\noperatore = Rossi ;titolare\n");
    EXPECT_EQ(ReadOperatorName(path), QStringLiteral("Rossi"));
    EXPECT_EQ(ReadOperatorName(writeSettings("[BASE]\nOPERATORE=\n")), QString());
}

// --- data and work folders ---

TEST_F(SettingsValuesTest, FolderGetsTrailingSeparatorOnce)
{
    const QString path = writeSettings("[PATH]\nFILE=/srv/dati\nWORK=/srv/lavoro/\n");
    EXPECT_EQ(ReadFolderSetting(path, QStringLiteral("FILE"), m_desktop), QStringLiteral("/srv/dati/"));
    EXPECT_EQ(ReadFolderSetting(path, QStringLiteral("WORK"), m_desktop), QStringLiteral("/srv/lavoro/"));
}

TEST_F(SettingsValuesTest, BlankOrAbsentFolderIsTheFileSystemRoot)
{
    m_desktop.workingDirectory = QStringLiteral("/home/operatore/agenda");
    // "WORK" is blank only once its inline comment is dropped.
    const QString path = writeSettings("[PATH]\nFILE=   \nWORK=\" ;nothing\"\n");
    EXPECT_EQ(ReadFolderSetting(path, QStringLiteral("FILE"), m_desktop), QStringLiteral("/"));
    EXPECT_EQ(ReadFolderSetting(path, QStringLiteral("WORK"), m_desktop), QStringLiteral("/"));
}

// --- office server ---

TEST_F(SettingsValuesTest, ServerIsReadWholeWhileTheOtherKeysKeepTheirCut)
{
    const QByteArray twoHosts = "host=agenda1.lan,agenda2.lan port=5432,5432 dbname=agenda user=mario "
                                "target_session_attrs=read-write";
    ASSERT_EQ(twoHosts.size(), 100);
    const QString path =
        writeSettings("[PATH]\nSERVER=" + twoHosts + " ;ufficio\nFILE=/" + QByteArray(120, 'd') + "\n");
    EXPECT_EQ(ReadServerSetting(path), QString::fromUtf8(twoHosts));
    EXPECT_EQ(ReadFolderSetting(path, QStringLiteral("FILE"), m_desktop),
              QStringLiteral("/") + QString(98, u'd') + "/");

    const QString overlong = writeSettings("[PATH]\nSERVER=host=a " + QByteArray(LongestServerSetting, 'x') + "\n");
    try {
        ReadServerSetting(overlong);
        ADD_FAILURE() << "an overlong SERVER was accepted";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 3151);
        EXPECT_TRUE(error.description().contains(QStringLiteral("SERVER"))) << error.description().toStdString();
    }
}

// --- sound switch ---

TEST_F(SettingsValuesTest, SoundIsOnOnlyForUpperCaseS)
{
    EXPECT_TRUE(ReadSoundSettings(agenda(QStringLiteral("SuonoSN=S\n")), m_desktop).SoundEnabled);
    EXPECT_TRUE(ReadSoundSettings(agenda(QStringLiteral("SuonoSN=  S  \n")), m_desktop).SoundEnabled);
    EXPECT_TRUE(ReadSoundSettings(agenda(QStringLiteral("suonosn=S ;acceso\n")), m_desktop).SoundEnabled);
    EXPECT_FALSE(ReadSoundSettings(agenda(QStringLiteral("SuonoSN=s\n")), m_desktop).SoundEnabled);
    EXPECT_FALSE(ReadSoundSettings(agenda(QStringLiteral("SuonoSN=N\n")), m_desktop).SoundEnabled);
    EXPECT_FALSE(ReadSoundSettings(agenda(QStringLiteral("SuonoSN=SI\n")), m_desktop).SoundEnabled);
    EXPECT_FALSE(ReadSoundSettings(agenda(QStringLiteral("SuonoSN=\n")), m_desktop).SoundEnabled);
    EXPECT_FALSE(ReadSoundSettings(agenda(QStringLiteral("Other=S\n")), m_desktop).SoundEnabled);
}

// --- sound file path ---

TEST_F(SettingsValuesTest, SoundPathIsFolderNameAndExtensionWhenTheFileExists)
{
    const QString expected = createFile(QStringLiteral("suoni/avviso.mp3"));
    const SoundSettings sound = ReadSoundSettings(
        agenda(QStringLiteral("SuonoPath= %1 \nSuonoFile= avviso\nSuonoExt=mp3 \n").arg(soundDir())), m_desktop);
    EXPECT_EQ(sound.SoundFolder, soundDir());
    EXPECT_EQ(sound.SoundName, QStringLiteral("avviso"));
    EXPECT_EQ(sound.SoundExtension, QStringLiteral("mp3"));
    EXPECT_EQ(sound.SoundFilePath, expected);
}

TEST_F(SettingsValuesTest, SoundPathIsEmptyWhenTheFileIsMissingOrADirectory)
{
    const QString settings = agenda(QStringLiteral("SuonoPath=%1\nSuonoFile=assente\nSuonoExt=wav\n").arg(soundDir()));
    EXPECT_EQ(ReadSoundSettings(settings, m_desktop).SoundFilePath, QString());

    ASSERT_TRUE(QDir(soundDir()).mkdir(QStringLiteral("cartella.wav")));
    const QString directory = agenda(QStringLiteral("SuonoPath=%1\nSuonoFile=cartella\n").arg(soundDir()));
    EXPECT_EQ(ReadSoundSettings(directory, m_desktop).SoundFilePath, QString());
}

TEST_F(SettingsValuesTest, BlankExtensionGivesWav)
{
    const QString expected = createFile(QStringLiteral("suoni/campana.wav"));
    const SoundSettings sound = ReadSoundSettings(
        agenda(QStringLiteral("SuonoPath=%1\nSuonoFile=campana\nSuonoExt=  \n").arg(soundDir())), m_desktop);
    EXPECT_EQ(sound.SoundExtension, QStringLiteral("wav"));
    EXPECT_EQ(sound.SoundFilePath, expected);
}

TEST_F(SettingsValuesTest, BlankNameAppendsExtensionToTheFolderText)
{
    const QString expected = createFile(QStringLiteral("suoni.ogg"));
    const SoundSettings sound =
        ReadSoundSettings(agenda(QStringLiteral("SuonoPath=%1\nSuonoExt=ogg\n").arg(soundDir())), m_desktop);
    EXPECT_EQ(sound.SoundFilePath, expected);
}

TEST_F(SettingsValuesTest, FolderEndingWithSeparatorGivesDoubleSeparator)
{
    createFile(QStringLiteral("suoni/gong.wav"));
    const SoundSettings sound =
        ReadSoundSettings(agenda(QStringLiteral("SuonoPath=%1/\nSuonoFile=gong\n").arg(soundDir())), m_desktop);
    EXPECT_EQ(sound.SoundFilePath, soundDir() + QStringLiteral("//gong.wav"));
}

TEST_F(SettingsValuesTest, SoundPathIsBuiltEvenWhenSoundIsOff)
{
    const QString expected = createFile(QStringLiteral("suoni/avviso.wav"));
    const SoundSettings sound = ReadSoundSettings(
        agenda(QStringLiteral("SuonoSN=N\nSuonoPath=%1\nSuonoFile=avviso\n").arg(soundDir())), m_desktop);
    EXPECT_FALSE(sound.SoundEnabled);
    EXPECT_EQ(sound.SoundFilePath, expected);
}

TEST_F(SettingsValuesTest, MissingSettingsFileGivesDefaults)
{
    const QString absent = m_dir.filePath(QStringLiteral("absent.ini"));
    EXPECT_EQ(ReadOperatorName(absent), QString());
    EXPECT_EQ(ReadFolderSetting(absent, QStringLiteral("FILE"), m_desktop), QStringLiteral("/"));
    const SoundSettings sound = ReadSoundSettings(absent, m_desktop);
    EXPECT_FALSE(sound.SoundEnabled);
    EXPECT_EQ(sound.SoundExtension, QStringLiteral("wav"));
    EXPECT_EQ(sound.SoundFilePath, QString());
}

} // namespace
} // namespace rp
