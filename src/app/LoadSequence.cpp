#include "app/LoadSequence.h"

#include "app/ApplicationTitle.h"
#include "app/LaunchRequest.h"
#include "app/OperatorMessageLog.h"
#include "app/ReminderState.h"
#include "app/SettingsReader.h"
#include "app/SettingsValues.h"
#include "app/engine/DefaultWorkspace.h"
#include "app/engine/LockWait.h"
#include "app/engine/Workspace.h"
#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <cmath>

namespace rp {

namespace {

const QString DataDbName = QStringLiteral("DatiQZ");
const QString VisitsDbName = QStringLiteral("VisiteQZ");
const QString WorkDbName = QStringLiteral("WorkQZ");

const QString& storeDatabaseName(StoreDatabase database)
{
    switch (database) {
    case StoreDatabase::Data:
        return DataDbName;
    case StoreDatabase::Visits:
        return VisitsDbName;
    case StoreDatabase::Work:
        break;
    }
    return WorkDbName;
}

void applyLaunchRequest(PopupContext& ctx, const LaunchRequest& request)
{
    ctx.module.SettingsPath = request.SettingsPath;
    ctx.state.SlotNumber = request.SlotNumber;
    ctx.state.ClientCode = request.ClientCode;
    ctx.state.ActionCode = request.ActionCode;
    ctx.state.AppointmentTime = request.AppointmentTime;
}

// While the engine waits for another process's lock, a request to close the window must not run the unload
// sequence underneath the cursor that is waiting: the request is dropped. The action that is waiting closes the
// window itself when its writes took, or asks the operator what to do when they did not (during the load the
// window is not shown yet).
class CloseRequestsHeldBack : public QObject
{
public:
    CloseRequestsHeldBack() { QCoreApplication::instance()->installEventFilter(this); }
    ~CloseRequestsHeldBack() override { QCoreApplication::instance()->removeEventFilter(this); }
    CloseRequestsHeldBack(const CloseRequestsHeldBack&) = delete;
    CloseRequestsHeldBack& operator=(const CloseRequestsHeldBack&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Keeps the window painted while a statement waits for a lock; the operator's keys and clicks stay queued.
void repaintWhileWaitingForLock()
{
    if (QCoreApplication::instance() == nullptr) {
        return;
    }
    const CloseRequestsHeldBack heldBack;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

bool startFromCommandLine(PopupContext& ctx, const QString& commandText)
{
    const double today = std::floor(ctx.desktop.now());
    applyLaunchRequest(ctx, ParseLaunchRequest(commandText, today));

    if (ctx.module.SettingsPath.trimmed().isEmpty()) {
        return false;
    }
    if (!ctx.desktop.isOrdinaryFile(ctx.module.SettingsPath)) {
        return false;
    }
    ctx.module.OperatorName = ReadOperatorName(ctx.module.SettingsPath);
    return !ctx.module.OperatorName.trimmed().isEmpty();
}

bool prepareStores(PopupContext& ctx, const std::vector<StoreRead>& reads)
{
    QString server;
    try {
        server = ReadServerSetting(ctx.module.SettingsPath);
    } catch (const RuntimeError&) {
        return false;
    }
    if (server.isEmpty()) {
        return false;
    }
    const auto databaseName = [&](StoreDatabase database) {
        return DatabaseName(server, {}, ctx.module.OperatorName, storeDatabaseName(database));
    };
    // The three databases in the order the load opens them, then its rows.
    std::vector<engine::LoadRead> loadReads;
    for (const StoreDatabase database : {StoreDatabase::Data, StoreDatabase::Visits, StoreDatabase::Work}) {
        loadReads.push_back({databaseName(database)});
    }
    for (const StoreRead& read : reads) {
        loadReads.push_back({databaseName(read.database), read.table, read.index, read.key});
    }
    ctx.state.DataWorkspace = engine::defaultWorkspace(server);
    ctx.state.DataWorkspace->prepare(loadReads);
    return true;
}

void finishPreparingStores(PopupContext& ctx)
{
    if (ctx.state.DataWorkspace) {
        ctx.state.DataWorkspace->finishPreparing();
    }
}

void openStores(PopupContext& ctx)
{
    engine::setLockWaitHook(repaintWhileWaitingForLock);
    ReminderState& s = ctx.state;
    s.LoadedOk = false;
    s.DataFolder = ReadFolderSetting(ctx.module.SettingsPath, QStringLiteral("FILE"), ctx.desktop);
    s.WorkFolder = ReadFolderSetting(ctx.module.SettingsPath, QStringLiteral("WORK"), ctx.desktop);

    const QString server = ReadServerSetting(ctx.module.SettingsPath);
    const auto databaseName = [&](const QString& folder, const QString& name) {
        return DatabaseName(server, folder, ctx.module.OperatorName, name);
    };
    s.VisitsDbPath = databaseName(s.DataFolder, VisitsDbName);
    s.DataDbPath = databaseName(s.DataFolder, DataDbName);
    s.WorkDbPath = databaseName(s.WorkFolder, WorkDbName);

    s.DataWorkspace = engine::defaultWorkspace(server);
    s.DataDb = s.DataWorkspace->openDatabase(s.DataDbPath);
    s.VisitsWorkspace = engine::defaultWorkspace(server);
    s.VisitsDb = s.VisitsWorkspace->openDatabase(s.VisitsDbPath);
    s.WorkWorkspace = engine::defaultWorkspace(server);
    s.WorkDb = s.WorkWorkspace->openDatabase(s.WorkDbPath);

    ctx.desktop.processEvents();

    const SoundSettings sound = ReadSoundSettings(ctx.module.SettingsPath, ctx.desktop);
    ctx.module.SoundEnabled = sound.SoundEnabled;
    s.SoundFolder = sound.SoundFolder;
    s.SoundName = sound.SoundName;
    s.SoundExtension = sound.SoundExtension;
    ctx.module.SoundFilePath = sound.SoundFilePath;
}

void releaseStoreConnections(PopupContext& ctx)
{
    ReminderState& s = ctx.state;
    for (const std::shared_ptr<engine::Workspace>& workspace : {s.DataWorkspace, s.VisitsWorkspace, s.WorkWorkspace}) {
        if (workspace) {
            workspace->releaseConnection();
        }
    }
}

void showLoadError(Desktop& desktop, const RuntimeError& error)
{
    const QString text = QString::number(error.number()) + QLatin1Char('-') + error.description();
    logOperatorMessage(applicationTitle(), text);
    desktop.showMessage(text, applicationTitle(), Desktop::Icon::None, Desktop::Buttons::Ok);
}

} // namespace rp
