#include "platform/WaveFileCheck.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace rp {
namespace {

QByteArray littleEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char* id, const QByteArray& body)
{
    QByteArray bytes = QByteArray(id) + littleEndian32(static_cast<quint32>(body.size())) + body;
    if (body.size() % 2 != 0) {
        bytes.append('\0');
    }
    return bytes;
}

QByteArray riffWave(const QByteArray& chunks)
{
    return "RIFF" + littleEndian32(static_cast<quint32>(4 + chunks.size())) + "WAVE" + chunks;
}

// 16-bit mono PCM at 8000 Hz.
const QByteArray PcmFormat = chunk("fmt ", QByteArray::fromHex("01000100401f0000803e000002001000"));

class WaveFileCheckTest : public ::testing::Test
{
protected:
    QString write(const QByteArray& content)
    {
        const QString path = m_dir.filePath(QStringLiteral("sound%1.wav").arg(++m_count));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};

TEST_F(WaveFileCheckTest, CompleteFilesPass)
{
    EXPECT_TRUE(isCompleteWaveFile(write(riffWave(PcmFormat + chunk("data", QByteArray(400, '\0'))))));
    EXPECT_TRUE(isCompleteWaveFile(write(riffWave(PcmFormat + chunk("data", QByteArray())))));
    // Other chunks before the samples, odd-sized ones padded.
    EXPECT_TRUE(
        isCompleteWaveFile(write(riffWave(PcmFormat + chunk("LIST", "abcde") + chunk("data", QByteArray(400, '\0'))))));
}

TEST_F(WaveFileCheckTest, TruncatedOrForeignFilesAreRefused)
{
    const QByteArray complete = riffWave(PcmFormat + chunk("data", QByteArray(400, '\0')));
    EXPECT_FALSE(isCompleteWaveFile(write(complete.left(complete.size() - 1))));
    EXPECT_FALSE(isCompleteWaveFile(write(complete.left(30))));
    EXPECT_FALSE(isCompleteWaveFile(write(complete.left(11))));
    EXPECT_FALSE(isCompleteWaveFile(write(QByteArray())));
    EXPECT_FALSE(isCompleteWaveFile(write("not a wav")));
    EXPECT_FALSE(isCompleteWaveFile(write(riffWave(chunk("data", QByteArray(400, '\0'))))));
    EXPECT_FALSE(isCompleteWaveFile(write(riffWave(PcmFormat))));
    EXPECT_FALSE(isCompleteWaveFile(write(riffWave(chunk("fmt ", "short") + chunk("data", "xx")))));
    QByteArray mp3("ID3");
    mp3.append(QByteArray(2000, '\x11'));
    EXPECT_FALSE(isCompleteWaveFile(write(mp3)));
    EXPECT_FALSE(isCompleteWaveFile(m_dir.filePath(QStringLiteral("missing.wav"))));
}

} // namespace
} // namespace rp
