#pragma once

#include <QString>

namespace rp {

// The reader's buffer on the original platform held 100 characters, the last one for the terminating NUL; longer
// values were cut, and the cut happened before the inline comment was removed.
constexpr int SettingBufferSize = 100;

// s up to, not including, its first NUL character; s itself when it has none.
QString TruncateAtNul(const QString& s);

// The value of the key in the settings file, cut to 99 characters, cut at the first TAB, stripped of an inline
// comment introduced by " ;" and trimmed of blanks. A missing file, section or key, or an empty value, gives "".
QString ReadSetting(const QString& file, const QString& section, const QString& key);

// The same, cut at `characters` instead: for the program's own keys, which no stored file relies on being cut.
QString ReadSettingUpTo(const QString& file, const QString& section, const QString& key, int characters);

} // namespace rp
