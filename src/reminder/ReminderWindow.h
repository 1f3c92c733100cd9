#pragma once

#include "app/LoadSequence.h"
#include "reminder/ReminderControls.h"

#include <QWidget>
#include <vector>

namespace rp {

struct PopupContext;
struct ReminderState;

// The pop-up's one window. It carries the event handlers: the load, the first activation (alerts),
// the operator's buttons and the unload that ends the program when the window closes.
class ReminderWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ReminderWindow(PopupContext& ctx, QWidget* parent = nullptr);

    // The load after the settings checks: stores, appointment and reminder, window set-up. Errors are
    // reported by the load's error handler; the window is then shown and closes itself at activation.
    void load();
    // What load() seeks, in its order, for the store to read ahead before the window system starts.
    static std::vector<StoreRead> storeReadsOfLoad(const ReminderState& s);

    const ReminderControls& controls() const { return m_controls; }
    bool isUnloaded() const { return m_unloaded; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setUp(const QString& appointmentCause);
    void placeOnScreen();
    void placeInGrid(const QMargins& frame);
    void onActivated();
    void giveAlertsOnce();
    void onActionButton(int index);
    void onDocumentButton();

    PopupContext& m_ctx;
    ReminderControls m_controls;
    // How long the alerts wait for the first paint before they are given anyway.
    static constexpr int AlertsAtTheLatestMs = 300;

    bool m_activationQueued = false;
    bool m_painted = false;
    bool m_alertsWaitForPaint = false;
    bool m_alertsGiven = false;
    bool m_unloaded = false;
    // From the click on an action button until its writes took or the operator chose Annulla.
    bool m_actionRunning = false;
};

} // namespace rp
