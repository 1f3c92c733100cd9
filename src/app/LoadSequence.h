#pragma once

#include "common/Value.h"

#include <QString>
#include <vector>

namespace rp {

struct PopupContext;
class Desktop;
class RuntimeError;

// The start of every run, before any window exists: the command line, then the settings checks.
// Returns false when the program must end at once, silently (no settings path, no settings file,
// no operator name). Raises the run-time error of a malformed command line.
bool startFromCommandLine(PopupContext& ctx, const QString& commandText);

// Which of the three databases a read of the load is in.
enum class StoreDatabase
{
    Data,
    Visits,
    Work
};

// A row the load seeks "=" through an index, named where the load's own code seeks it.
struct StoreRead
{
    StoreDatabase database;
    QString table;
    QString index;
    std::vector<Value> key;
};

// Before the window system starts: on an office server, the three databases, the catalog of the tables of
// `reads` and their rows are read on a worker thread while the window system starts, and the connection is given
// back; openStores and the load take what was read. Nothing is raised here, and nothing is done for the files:
// every failure is met by the load's own step. Returns whether a server store is reading on its thread.
bool prepareStores(PopupContext& ctx, const std::vector<StoreRead>& reads);

// Waits until what prepareStores started on the server is over: the store's work then goes before the window
// system's own instead of beside it.
void finishPreparingStores(PopupContext& ctx);

// The first half of the load proper: folders and database paths, the three databases opened in order,
// one round of pending window events, the sound settings. Every failure raises the run-time error,
// which the caller hands to showLoadError.
void openStores(PopupContext& ctx);

// The load is over, whether it succeeded or not: the window may wait for hours, so a server store gives its
// connection back; the cursors keep what they read and the action connects again.
void releaseStoreConnections(PopupContext& ctx);

// The load's error handler: number, "-", description, one OK button, no icon, the application's title.
void showLoadError(Desktop& desktop, const RuntimeError& error);

} // namespace rp
