#include "FuzzInput.h"
#include "app/PrivateProfile.h"
#include "app/SettingsReader.h"
#include "app/SettingsText.h"

#include <QTemporaryDir>
#include <array>
#include <utility>

namespace {

// The keys the program reads, a case variant and the empty names a "[]" header or an "=value" line give.
const std::array<std::pair<const char*, const char*>, 9> SectionKeys = {{
    {"BASE", "OPERATORE"},
    {"PATH", "FILE"},
    {"PATH", "WORK"},
    {"AGENDA", "SuonoSN"},
    {"AGENDA", "SuonoPath"},
    {"agenda", "suonofile"},
    {"AGENDA", "SuonoExt"},
    {"", ""},
    {"BASE", ""},
}};

// One file for the whole run, rewritten for every input; the folder goes when the fuzzer exits.
const QString& settingsPath()
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("agenda.ini"));
    return path;
}

void writeSettingsFile(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(settingsPath().toLocal8Bit().constData(), "wb");
    RP_FUZZ_CHECK(file != nullptr);
    RP_FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);
}

qsizetype characterCount(const QString& s)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (!(s[i].isLowSurrogate() && i > 0 && s[i - 1].isHighSurrogate())) {
            ++count;
        }
    }
    return count;
}

void checkSetting(const rp::PrivateProfile& profile, const QString& section, const QString& key)
{
    const QString setting = rp::ReadSetting(settingsPath(), section, key);
    const std::optional<QString> stored = profile.value(section, key);

    // What the reader gives is a cleaned piece of the stored value, never more.
    RP_FUZZ_CHECK(stored ? stored->contains(setting) : setting.isEmpty());
    RP_FUZZ_CHECK(characterCount(setting) < rp::SettingBufferSize);
    RP_FUZZ_CHECK(!setting.contains(u'\t'));
    RP_FUZZ_CHECK(!setting.contains(QChar(u'\0')));
    RP_FUZZ_CHECK(!setting.contains(QStringLiteral(" ;")));
    RP_FUZZ_CHECK(!setting.startsWith(u' ') && !setting.endsWith(u' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    writeSettingsFile(data, size);
    // The profile parsed from the same bytes in memory is what the file reader must have seen.
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const rp::PrivateProfile profile = rp::PrivateProfile::parse(rp::DecodeSettingsText(bytes));
    const rp::PrivateProfile loaded = rp::PrivateProfile::load(settingsPath());

    for (const auto& [section, key] : SectionKeys) {
        const QString sectionName = QString::fromLatin1(section);
        const QString keyName = QString::fromLatin1(key);
        RP_FUZZ_CHECK(loaded.value(sectionName, keyName) == profile.value(sectionName, keyName));
        checkSetting(profile, sectionName, keyName);
    }
    return 0;
}
