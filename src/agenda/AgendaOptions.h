#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace rp::agenda {

struct AgendaOptions
{
    int intervalSeconds = 30;
    int repeatSeconds = 600;
    int maxWindows = 20;
    QString popupPath; // empty: the reminder-popup beside this program, else the one on PATH
    QString settingsPath;
    bool check = false;     // one look, told on standard output, then the end
    bool autostart = false; // the settings file is the operator's own default one, and may be missing
};

// The settings file of --autostart: reminder-agenda/impostazioni.ini in the operator's configuration folder.
QString autostartSettingsPath();

// The command line without the program name. std::nullopt with `error` filled (an Italian message) when it is
// not a valid one.
std::optional<AgendaOptions> parseAgendaOptions(const QStringList& arguments, QString& error);

// "--help" or "--version" as the one argument: prints on standard output and gives the exit status.
std::optional<int> answerAgendaStandardOption(int argc, const char* const* argv);

} // namespace rp::agenda
