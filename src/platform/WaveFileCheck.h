#pragma once

#include <QString>

namespace rp {

// True when the file is a complete RIFF/WAVE file: a format chunk and a data chunk that the file really holds.
// Qt 6.4's sound loader waits for ever on a truncated or too short file, and any later use of the sound
// player then blocks the program; such files are refused before they reach it.
bool isCompleteWaveFile(const QString& path);

} // namespace rp
