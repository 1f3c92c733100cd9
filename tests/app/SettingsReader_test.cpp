#include "app/SettingsReader.h"
#include "app/SettingsText.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rp {
namespace {

class SettingsReaderTest : public ::testing::Test
{
protected:
    QString writeFile(const QByteArray& bytes, const QString& name = QStringLiteral("settings.ini"))
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // One value under [S] K=, written as UTF-8.
    QString readValue(const QString& valueText)
    {
        const QString path = writeFile("[S]\nK=" + valueText.toUtf8() + "\n");
        return ReadSetting(path, QStringLiteral("S"), QStringLiteral("K"));
    }

    QTemporaryDir m_dir;
};

// --- NUL truncation ---

TEST(TruncateAtNulTest, CutsAtFirstNulAndKeepsTextWithoutOne)
{
    const QString withNul = QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd") + QChar(u'\0');
    EXPECT_EQ(TruncateAtNul(withNul), QStringLiteral("ab"));
    EXPECT_EQ(TruncateAtNul(QString(QChar(u'\0')) + QStringLiteral("x")), QString());
    EXPECT_EQ(TruncateAtNul(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(TruncateAtNul(QString()), QString());
}

// --- cleaning of the value ---

TEST_F(SettingsReaderTest, InlineCommentAfterBlankSemicolonIsDropped)
{
    EXPECT_EQ(readValue(QStringLiteral("x ;c")), QStringLiteral("x"));
    EXPECT_EQ(readValue(QStringLiteral("Rossi   ; operator of the week ; more")), QStringLiteral("Rossi"));
}

TEST_F(SettingsReaderTest, SemicolonWithoutBlankBeforeItStays)
{
    EXPECT_EQ(readValue(QStringLiteral("a;b")), QStringLiteral("a;b"));
    EXPECT_EQ(readValue(QStringLiteral("a;b ;c")), QStringLiteral("a;b"));
}

TEST_F(SettingsReaderTest, LoneSemicolonValueIsKept)
{
    // Surrounding blanks are trimmed by the file reader first, so no " ;" remains to cut.
    EXPECT_EQ(readValue(QStringLiteral(";")), QStringLiteral(";"));
    EXPECT_EQ(readValue(QStringLiteral("  ;  ")), QStringLiteral(";"));
}

TEST_F(SettingsReaderTest, TabCutsTheValue)
{
    EXPECT_EQ(readValue(QStringLiteral("value\tanything ;x")), QStringLiteral("value"));
    EXPECT_EQ(readValue(QStringLiteral("two words \tz")), QStringLiteral("two words"));
    // Leading and trailing TABs are surrounding blanks of the line, not a cut.
    EXPECT_EQ(readValue(QStringLiteral("\tvalue\t")), QStringLiteral("value"));
}

TEST_F(SettingsReaderTest, TabIsCutBeforeInlineComment)
{
    EXPECT_EQ(readValue(QStringLiteral("a\tb ;c")), QStringLiteral("a"));
    EXPECT_EQ(readValue(QStringLiteral("a ;b\tc")), QStringLiteral("a"));
}

TEST_F(SettingsReaderTest, ValueIsCutTo99CharactersBeforeCleaning)
{
    const QString ninetySeven(97, u'v');
    // " ;" at positions 98-99: inside the 99 characters, so the comment goes.
    EXPECT_EQ(readValue(ninetySeven + QStringLiteral(" ;x")), ninetySeven);
    // 98 characters + " ;": the cut leaves a trailing blank only, which the trim removes.
    const QString ninetyEight(98, u'v');
    EXPECT_EQ(readValue(ninetyEight + QStringLiteral(" ;x")), ninetyEight);
    // 99 characters + " ;": the semicolon is beyond the cut and never seen.
    const QString ninetyNine(99, u'v');
    EXPECT_EQ(readValue(ninetyNine + QStringLiteral(" ;x")), ninetyNine);
    EXPECT_EQ(readValue(QString(150, u'w')), QString(99, u'w'));
    // Trimming comes after the cut, so a blank the cut leaves at the end is removed too.
    EXPECT_EQ(readValue(QString(98, u'a') + QStringLiteral("  tail")), QString(98, u'a'));
    // Enclosing quotes belong to the file format and are removed before the cut.
    EXPECT_EQ(readValue(QStringLiteral("\"") + QString(120, u'q') + QStringLiteral("\"")), QString(99, u'q'));
}

TEST_F(SettingsReaderTest, CutCountsCharactersNotBytes)
{
    const QString accented(120, QChar(0x00F2));
    EXPECT_EQ(readValue(accented), QString(99, QChar(0x00F2)));
    // A character outside the Basic Multilingual Plane is one character and is never split in half.
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    const QString value = QString(98, u'a') + clef + clef;
    EXPECT_EQ(readValue(value), QString(98, u'a') + clef);
}

TEST_F(SettingsReaderTest, QuotesAroundValueAreRemoved)
{
    EXPECT_EQ(readValue(QStringLiteral("\"  spaced  \"")), QStringLiteral("spaced"));
    EXPECT_EQ(readValue(QStringLiteral("'single'")), QStringLiteral("single"));
    EXPECT_EQ(readValue(QStringLiteral("\"a ;b\"")), QStringLiteral("a"));
    // Unmatched or lone quotes are ordinary characters.
    EXPECT_EQ(readValue(QStringLiteral("\"open")), QStringLiteral("\"open"));
    EXPECT_EQ(readValue(QStringLiteral("\"mixed'")), QStringLiteral("\"mixed'"));
    EXPECT_EQ(readValue(QStringLiteral("\"")), QStringLiteral("\""));
    EXPECT_EQ(readValue(QStringLiteral("\"\"")), QString());
}

TEST_F(SettingsReaderTest, EqualsSignInValueStays)
{
    EXPECT_EQ(readValue(QStringLiteral("a=b")), QStringLiteral("a=b"));
}

TEST_F(SettingsReaderTest, NulInFileEndsTheValue)
{
    const QString path = writeFile(QByteArray("[S]\nK=ab\0cd\n", 12));
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("ab"));
}

// --- file layout ---

TEST_F(SettingsReaderTest, SectionAndKeyNamesMatchWithoutRegardToCase)
{
    const QString path = writeFile("[  Agenda ]\n  suonopath  =  /snd \n[base]\nOperatore=Rossi\n");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("AGENDA"), QStringLiteral("SuonoPath")), QStringLiteral("/snd"));
    EXPECT_EQ(ReadSetting(path, QStringLiteral("BASE"), QStringLiteral("OPERATORE")), QStringLiteral("Rossi"));
}

TEST_F(SettingsReaderTest, KeysAreLookedUpInTheirOwnSectionOnly)
{
    const QString path = writeFile("[A]\nK=inA\n[B]\nK=inB\nOnlyB=b\n");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("A"), QStringLiteral("K")), QStringLiteral("inA"));
    EXPECT_EQ(ReadSetting(path, QStringLiteral("B"), QStringLiteral("K")), QStringLiteral("inB"));
    EXPECT_EQ(ReadSetting(path, QStringLiteral("A"), QStringLiteral("OnlyB")), QString());
}

TEST_F(SettingsReaderTest, FirstOccurrenceWins)
{
    const QString path = writeFile("[S]\nK=first\nk=second\n[s]\nK=third\nOther=later\n");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("first"));
    // A later section of the same name is not searched.
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("Other")), QString());
}

TEST_F(SettingsReaderTest, CommentLinesAndStrayLinesAreIgnored)
{
    const QString path = writeFile("; K=commented\nK=outside\n[S]\n  ;K=indented comment\nno equals sign\n"
                                   "[broken\nK=real\n");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("real"));
}

TEST_F(SettingsReaderTest, HashIsNotACommentMarker)
{
    const QString path = writeFile("[S]\n#K=x\nK=#value\n");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("#value"));
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("#K")), QStringLiteral("x"));
}

TEST_F(SettingsReaderTest, CrLfLineEnds)
{
    const QString path = writeFile("[BASE]\r\nOPERATORE=Rossi\r\n[PATH]\r\nFILE=/dati/\r\n");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("BASE"), QStringLiteral("OPERATORE")), QStringLiteral("Rossi"));
    EXPECT_EQ(ReadSetting(path, QStringLiteral("PATH"), QStringLiteral("FILE")), QStringLiteral("/dati/"));
}

TEST_F(SettingsReaderTest, LastLineWithoutLineEnd)
{
    const QString path = writeFile("[S]\nK=last");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("last"));
}

TEST_F(SettingsReaderTest, MissingFileSectionKeyOrValueGiveEmptyText)
{
    const QString path = writeFile("[S]\nK=v\nEmpty=\nBlank=   \nComment= ;only\n");
    EXPECT_EQ(ReadSetting(m_dir.filePath(QStringLiteral("absent.ini")), QStringLiteral("S"), QStringLiteral("K")),
              QString());
    EXPECT_EQ(ReadSetting(path, QStringLiteral("Other"), QStringLiteral("K")), QString());
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("Absent")), QString());
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("Empty")), QString());
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("Blank")), QString());
    EXPECT_EQ(ReadSetting(path, QStringLiteral("S"), QStringLiteral("Comment")), QStringLiteral(";only"));
    EXPECT_EQ(ReadSetting(m_dir.path(), QStringLiteral("S"), QStringLiteral("K")), QString());
}

// --- encodings ---

TEST_F(SettingsReaderTest, Windows1252FileIsDecoded)
{
    const QString path = writeFile("[BASE]\r\nOPERATORE=Niccol\xF2 \x80\r\n");
    EXPECT_EQ(ReadSetting(path, QStringLiteral("BASE"), QStringLiteral("OPERATORE")),
              QStringLiteral("Niccol") + QChar(0x00F2) + QStringLiteral(" ") + QChar(0x20AC));
}

TEST_F(SettingsReaderTest, Utf8FileIsDecodedWithOrWithoutByteOrderMark)
{
    const QString expected = QStringLiteral("Niccol") + QChar(0x00F2) + QStringLiteral(" ") + QChar(0x20AC);
    const QString plain = writeFile("[BASE]\nOPERATORE=Niccol\xC3\xB2 \xE2\x82\xAC\n", QStringLiteral("plain.ini"));
    const QString marked =
        writeFile("\xEF\xBB\xBF[BASE]\nOPERATORE=Niccol\xC3\xB2 \xE2\x82\xAC\n", QStringLiteral("marked.ini"));
    EXPECT_EQ(ReadSetting(plain, QStringLiteral("BASE"), QStringLiteral("OPERATORE")), expected);
    EXPECT_EQ(ReadSetting(marked, QStringLiteral("BASE"), QStringLiteral("OPERATORE")), expected);
}

TEST_F(SettingsReaderTest, Utf16FileWithByteOrderMarkIsDecoded)
{
    const QString text = QStringLiteral("[BASE]\r\nOPERATORE=Niccol") + QChar(0x00F2) + QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const QString path = writeFile(bytes);
    EXPECT_EQ(ReadSetting(path, QStringLiteral("BASE"), QStringLiteral("OPERATORE")),
              QStringLiteral("Niccol") + QChar(0x00F2));
}

TEST(SettingsTextTest, Windows1252MapsEveryHighByte)
{
    const QString text = DecodeWindows1252(QByteArray("\x80\x81\x8A\x9F\xA0\xFF"));
    ASSERT_EQ(text.size(), 6);
    EXPECT_EQ(text[0].unicode(), 0x20AC);
    EXPECT_EQ(text[1].unicode(), 0x0081);
    EXPECT_EQ(text[2].unicode(), 0x0160);
    EXPECT_EQ(text[3].unicode(), 0x0178);
    EXPECT_EQ(text[4].unicode(), 0x00A0);
    EXPECT_EQ(text[5].unicode(), 0x00FF);
}

TEST(SettingsTextTest, InvalidOrTruncatedUtf8FallsBackToWindows1252)
{
    // An over-long encoding of "/" and a sequence cut short at the end are not UTF-8.
    EXPECT_EQ(DecodeSettingsText(QByteArray("a\xC0\xAF")), QStringLiteral("a") + QChar(0x00C0) + QChar(0x00AF));
    EXPECT_EQ(DecodeSettingsText(QByteArray("a\xC3")), QStringLiteral("a") + QChar(0x00C3));
    EXPECT_EQ(DecodeSettingsText(QByteArray("a\xC3\xB2")), QStringLiteral("a") + QChar(0x00F2));
}

} // namespace
} // namespace rp
