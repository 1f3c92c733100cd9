#include "platform/WaveFileCheck.h"

#include <QFile>
#include <QtEndian>

namespace rp {

namespace {

constexpr qint64 RiffHeaderBytes = 12;
constexpr qint64 ChunkHeaderBytes = 8;
constexpr quint32 MinimumFormatChunkBytes = 16;

} // namespace

bool isCompleteWaveFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const qint64 fileSize = file.size();
    const QByteArray riff = file.read(RiffHeaderBytes);
    if (riff.size() != RiffHeaderBytes || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE") {
        return false;
    }
    bool formatSeen = false;
    qint64 offset = RiffHeaderBytes;
    while (offset + ChunkHeaderBytes <= fileSize) {
        if (!file.seek(offset)) {
            return false;
        }
        const QByteArray header = file.read(ChunkHeaderBytes);
        if (header.size() != ChunkHeaderBytes) {
            return false;
        }
        const quint32 size = qFromLittleEndian<quint32>(header.constData() + 4);
        const qint64 end = offset + ChunkHeaderBytes + size;
        if (end > fileSize) {
            return false;
        }
        if (header.startsWith("fmt ")) {
            formatSeen = size >= MinimumFormatChunkBytes;
        } else if (header.startsWith("data")) {
            return formatSeen;
        }
        // Chunks are padded to an even length.
        offset = end + (size & 1u);
    }
    return false;
}

} // namespace rp
