#pragma once

#include <functional>

class QObject;

namespace rp {

// The sound module's one entry point: a new QSoundEffect that calls back on every change of its status. It is driven
// through its properties and slots only, so that the program itself never links Qt Multimedia.
using CreateSoundEffectFunction = QObject* (*)(std::function<void()> onStatusChanged);
inline constexpr char CreateSoundEffectSymbol[] = "rpCreateSoundEffect";
// The module's file name without its suffix, next to the executable or in the installed library folder.
inline constexpr char SoundEffectModuleName[] = "reminder-popup-sound";

// The values of QSoundEffect::Status as its "status" property reports them.
namespace SoundEffectStatus {
inline constexpr int Null = 0;
inline constexpr int Loading = 1;
inline constexpr int Ready = 2;
inline constexpr int Error = 3;
} // namespace SoundEffectStatus

} // namespace rp
