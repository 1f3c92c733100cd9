#pragma once

#include "app/engine/Database.h"
#include "app/engine/TableCursor.h"
#include "app/engine/Workspace.h"
#include "common/RuntimeError.h"

#include <QString>
#include <memory>

namespace rp {

class Desktop;

// The window's state record: alive from the window's initialisation to the end of the process.
struct ReminderState
{
    qint32 ClientCode = 0;
    QString ActionCode;
    double AppointmentTime = 0;
    qint16 SlotNumber = 0;
    std::unique_ptr<engine::TableCursor> ReminderRs;
    std::unique_ptr<engine::TableCursor> AppointmentRs;
    std::unique_ptr<engine::TableCursor> LookupRs;
    bool LookupOpenOk = false;
    QString DataFolder;
    QString WorkFolder;
    QString DataDbPath;
    QString VisitsDbPath;
    QString WorkDbPath;
    std::shared_ptr<engine::Workspace> DataWorkspace;
    std::shared_ptr<engine::Database> DataDb;
    std::shared_ptr<engine::Workspace> VisitsWorkspace;
    std::shared_ptr<engine::Database> VisitsDb;
    std::shared_ptr<engine::Workspace> WorkWorkspace;
    std::shared_ptr<engine::Database> WorkDb;
    bool LoadedOk = false;
    QString SoundFolder;
    QString SoundName;
    QString SoundExtension;
    quint8 BeepCounter = 0;
};

// Values shared by the whole process rather than owned by the window.
struct ModuleValues
{
    QString LastErrorText;
    QString OperatorName;
    QString SettingsPath;
    qint16 RetryAnswer = 0;
    bool SoundEnabled = false;
    QString SoundFilePath;
};

// Everything one run of the pop-up works with, handed to the sequences and the window.
struct PopupContext
{
    explicit PopupContext(Desktop& d) : desktop(d) {}
    Desktop& desktop;
    ReminderState state;
    ModuleValues module;
};

// An object variable used before it was set: the classic run-time error 91.
constexpr int ObjectNotSetNumber = 91;

// The cursor behind an object variable; a cursor that was never opened raises the run-time error instead of
// crashing, so that the error regimes of the callers apply to it like to any other failure.
inline engine::TableCursor& requireCursor(const std::unique_ptr<engine::TableCursor>& cursor)
{
    if (!cursor) {
        throw RuntimeError(ObjectNotSetNumber, QStringLiteral("Variabile oggetto non impostata"));
    }
    return *cursor;
}

} // namespace rp
