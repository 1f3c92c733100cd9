#include "app/StandardOptions.h"

#include "app/ProgramVersion.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace rp {

namespace {

// The words of the manual page, wrapped for an 80-column terminal.
constexpr char UsageText[] = "Uso: reminder-popup \"IMPOSTAZIONI|POSTO|CLIENTE|INTERVENTO|GG/MM/AAAA HH:MM:SS\"\n"
                             "     reminder-popup --help | --version\n"
                             "Finestra di promemoria per un appuntamento in scadenza.\n"
                             "\n"
                             "Un solo argomento di cinque campi separati da |,\n"
                             "senza alcun meccanismo di escape:\n"
                             "  IMPOSTAZIONI         percorso del file delle impostazioni, preso così com'è\n"
                             "                       (gli spazi iniziali restano)\n"
                             "  POSTO                numero che scagliona le finestre aperte nello stesso\n"
                             "                       momento (0 in alto a sinistra)\n"
                             "  CLIENTE              codice numerico del cliente\n"
                             "  INTERVENTO           codice dell'intervento (azione)\n"
                             "  GG/MM/AAAA HH:MM:SS  data e ora dell'appuntamento, giorno prima del mese\n"
                             "I campi dal secondo in poi sono ripuliti dagli spazi; un campo che manca prende\n"
                             "il suo valore predefinito (0, testo vuoto, oggi a mezzanotte).\n"
                             "\n"
                             "Esempio:\n"
                             "  reminder-popup \"/home/mario/agenda.ini|2|57|MAN|07/12/2026 10:00:00\"\n"
                             "\n"
                             "Senza argomento, con un percorso vuoto, con un file delle impostazioni che non\n"
                             "esiste o che non indica l'operatore, il programma termina subito, senza finestra\n"
                             "e senza messaggi.\n"
                             "\n"
                             "Opzioni, da sole come unico argomento:\n"
                             "  --help     mostra l'uso del programma ed esce\n"
                             "  --version  mostra la versione ed esce\n"
                             "\n"
                             "Stato di uscita: 0 fine normale; 1 riga di comando non valida, dopo il messaggio\n"
                             "di errore.\n"
                             "Le impostazioni, i file e il resto: man reminder-popup\n";

} // namespace

// A text that did not reach its reader (a full disk, a closed pipe) is a failure, not a success.
int printStandardAnswer(const char* program, const std::string& text)
{
    const bool written = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
    if (!written) {
        std::fprintf(stderr, "%s: scrittura sullo standard output non riuscita\n", program);
        return 1;
    }
    return 0;
}

std::optional<int> answerStandardOption(int argc, const char* const* argv)
{
    if (argc != 2) {
        return std::nullopt;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        return printStandardAnswer("reminder-popup", UsageText);
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        return printStandardAnswer("reminder-popup", std::string("reminder-popup ") + ProgramVersion + '\n');
    }
    return std::nullopt;
}

} // namespace rp
