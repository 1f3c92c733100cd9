// The only code that links Qt Multimedia. It is built as a loadable module so that the pop-up maps the audio stack
// (Qt Multimedia, PulseAudio, the codec libraries) only when a sound is really played, not at every start-up.
#include "platform/SoundEffectModule.h"

#include <QSoundEffect>

static_assert(static_cast<int>(QSoundEffect::Null) == rp::SoundEffectStatus::Null);
static_assert(static_cast<int>(QSoundEffect::Loading) == rp::SoundEffectStatus::Loading);
static_assert(static_cast<int>(QSoundEffect::Ready) == rp::SoundEffectStatus::Ready);
static_assert(static_cast<int>(QSoundEffect::Error) == rp::SoundEffectStatus::Error);

extern "C" Q_DECL_EXPORT QObject* rpCreateSoundEffect(std::function<void()> onStatusChanged)
{
    auto* effect = new QSoundEffect;
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, std::move(onStatusChanged));
    return effect;
}
