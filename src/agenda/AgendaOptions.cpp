#include "agenda/AgendaOptions.h"

#include "app/ProgramVersion.h"
#include "app/StandardOptions.h"

#include <QStandardPaths>
#include <cstdio>
#include <cstring>
#include <string>

namespace rp::agenda {

namespace {

constexpr char UsageText[] = "Uso: reminder-agenda [--interval SECONDI] [--repeat SECONDI] [--max-windows N]\n"
                             "                     [--popup PERCORSO] IMPOSTAZIONI | --autostart\n"
                             "     reminder-agenda [--popup PERCORSO] --check IMPOSTAZIONI\n"
                             "     reminder-agenda --help | --version\n"
                             "Avvia reminder-popup per ogni promemoria dell'operatore che giunge a scadenza\n"
                             "(PmAllarm non oltre l'ora presente).\n"
                             "\n"
                             "  IMPOSTAZIONI        file delle impostazioni, lo stesso di reminder-popup\n"
                             "  --interval SECONDI  ogni quanto guardare l'archivio (predefinito 30)\n"
                             "  --repeat SECONDI    dopo quanto ripresentare un promemoria chiuso senza\n"
                             "                      azione e ancora in scadenza (predefinito 600)\n"
                             "  --max-windows N     finestre aperte al massimo nello stesso momento\n"
                             "                      (predefinito 20); le altre attendono in ordine di scadenza\n"
                             "  --popup PERCORSO    il programma della finestra (predefinito reminder-popup\n"
                             "                      accanto a questo programma, altrimenti quello nel PATH)\n"
                             "  --autostart         il file delle impostazioni è\n"
                             "                      ~/.config/reminder-agenda/impostazioni.ini; se manca,\n"
                             "                      esce subito con stato 0\n"
                             "  --check             guarda l'archivio una volta, senza scrivere nulla, e dice\n"
                             "                      che cosa trova: operatore, archivio, chiave, promemoria in\n"
                             "                      scadenza, righe scartate, schermo, finestra, blocchi\n"
                             "  --help              mostra l'uso del programma ed esce\n"
                             "  --version           mostra la versione ed esce\n"
                             "\n"
                             "Non scrive nulla nell'archivio. Una riga sullo standard error per ogni finestra\n"
                             "avviata e per ogni errore. Stato di uscita: 1 riga di comando non valida;\n"
                             "con --check 0 se le finestre possono comparire, 2 altrimenti (il motivo\n"
                             "nell'ultima riga); altrimenti il programma resta in esecuzione.\n"
                             "Il servizio utente e il resto: man reminder-agenda\n";

} // namespace

std::optional<AgendaOptions> parseAgendaOptions(const QStringList& arguments, QString& error)
{
    AgendaOptions options;
    bool haveSettings = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--check") || argument == QLatin1String("--autostart")) {
            (argument == QLatin1String("--check") ? options.check : options.autostart) = true;
            continue;
        }
        const bool numeric = argument == QLatin1String("--interval") || argument == QLatin1String("--repeat") ||
                             argument == QLatin1String("--max-windows");
        if (numeric || argument == QLatin1String("--popup")) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("manca il valore di %1").arg(argument);
                return std::nullopt;
            }
            const QString value = arguments[++i];
            if (!numeric) {
                options.popupPath = value;
                continue;
            }
            bool ok = false;
            const int number = value.toInt(&ok);
            if (!ok || number < 1 || number > 86400) {
                error = QStringLiteral("%1 vuole un numero intero da 1 a 86400, non \"%2\"").arg(argument, value);
                return std::nullopt;
            }
            (argument == QLatin1String("--interval") ? options.intervalSeconds
             : argument == QLatin1String("--repeat") ? options.repeatSeconds
                                                     : options.maxWindows) = number;
        } else if (argument.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("opzione sconosciuta: %1").arg(argument);
            return std::nullopt;
        } else if (haveSettings) {
            error = QStringLiteral("un solo file delle impostazioni, non anche \"%1\"").arg(argument);
            return std::nullopt;
        } else {
            options.settingsPath = argument;
            haveSettings = true;
        }
    }
    if (options.autostart && (haveSettings || options.check)) {
        error = QStringLiteral("--autostart non vuole altri file delle impostazioni né --check");
        return std::nullopt;
    }
    if (options.autostart) {
        options.settingsPath = autostartSettingsPath();
        haveSettings = true;
    }
    if (!haveSettings || options.settingsPath.trimmed().isEmpty()) {
        error = QStringLiteral("manca il file delle impostazioni");
        return std::nullopt;
    }
    // The pop-up's launch line separates its fields with "|": it would read a path holding one as another path,
    // and end without a word at every repeat.
    if (options.settingsPath.contains(QLatin1Char('|'))) {
        error = QStringLiteral("il percorso del file delle impostazioni non può contenere \"|\": \"%1\"")
                    .arg(options.settingsPath);
        return std::nullopt;
    }
    return options;
}

QString autostartSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/reminder-agenda/impostazioni.ini");
}

std::optional<int> answerAgendaStandardOption(int argc, const char* const* argv)
{
    if (argc != 2) {
        return std::nullopt;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        return printStandardAnswer("reminder-agenda", UsageText);
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        return printStandardAnswer("reminder-agenda", std::string("reminder-agenda ") + ProgramVersion + '\n');
    }
    return std::nullopt;
}

} // namespace rp::agenda
