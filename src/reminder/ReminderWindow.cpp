#include "reminder/ReminderWindow.h"

#include "actions/DocumentOpening.h"
#include "actions/NumericEntry.h"
#include "actions/PostponeAndDismiss.h"
#include "actions/WriteFailureBox.h"
#include "app/LoadSequence.h"
#include "app/ReminderState.h"
#include "app/UnloadSequence.h"
#include "reminder/Alerts.h"
#include "reminder/AppointmentLoading.h"
#include "reminder/ClientAndActionLookups.h"
#include "reminder/WindowAccessibility.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <optional>

namespace rp {

ReminderWindow::ReminderWindow(PopupContext& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_controls(buildReminderControls(*this))
{
    announceReminderWindowAsWindow();
    for (int index = 0; index < static_cast<int>(m_controls.cmdCli.size()); ++index) {
        connect(m_controls.cmdCli[index], &QPushButton::clicked, this, [this, index] { onActionButton(index); });
    }
    connect(m_controls.cmdDocumento, &QPushButton::clicked, this, &ReminderWindow::onDocumentButton);
    installAmountKeyFilter(*m_controls.Txt1);
}

void ReminderWindow::load()
{
    std::optional<RuntimeError> failure;
    try {
        openStores(m_ctx);
        const QString appointmentCause = FindAppointment(m_ctx, *m_controls.LbAziDes);
        FindReminder(m_ctx, *m_controls.lbDocumento);
        setUp(appointmentCause);
    } catch (const RuntimeError& error) {
        failure = error;
    }
    // Neither the window nor the error box holds a server connection while it waits for the operator.
    releaseStoreConnections(m_ctx);
    if (failure) {
        showLoadError(m_ctx.desktop, *failure);
    }
}

std::vector<StoreRead> ReminderWindow::storeReadsOfLoad(const ReminderState& s)
{
    std::vector<StoreRead> reads = AppointmentAndReminderReads(s);
    for (StoreRead& read : ClientAndActionReads(s)) {
        reads.push_back(std::move(read));
    }
    return reads;
}

void ReminderWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_activationQueued) {
        return;
    }
    m_activationQueued = true;
    m_controls.Txt1->setFocus();
    QTimer::singleShot(0, this, &ReminderWindow::onActivated);
}

void ReminderWindow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (m_painted) {
        return;
    }
    m_painted = true;
    if (m_alertsWaitForPaint) {
        // Queued: the painted window reaches the screen before the alerts run.
        QTimer::singleShot(0, this, &ReminderWindow::giveAlertsOnce);
    }
}

void ReminderWindow::onActivated()
{
    if (!m_ctx.state.LoadedOk) {
        close();
        return;
    }
    // Loading the audio stack for the sound takes longer than the whole first paint: the operator sees the
    // reminder first. A window that is never painted (covered, or on another desktop) still beeps.
    if (m_painted) {
        giveAlertsOnce();
        return;
    }
    m_alertsWaitForPaint = true;
    QTimer::singleShot(AlertsAtTheLatestMs, this, &ReminderWindow::giveAlertsOnce);
}

void ReminderWindow::giveAlertsOnce()
{
    if (m_alertsGiven || m_unloaded) {
        return;
    }
    m_alertsGiven = true;
    GiveActivationAlerts(m_ctx);
}

void ReminderWindow::onActionButton(int index)
{
    // While the failed-write box is up the window is blocked; the flag also keeps a click that reaches it
    // some other way from starting a second action on the same cursors.
    if (m_unloaded || m_actionRunning) {
        return;
    }
    bool written = false;
    {
        const QScopedValueRollback running(m_actionRunning, true);
        written = runUntilWrittenOrCancelled(m_ctx.desktop, [this, index] {
            ActionOutcome outcome;
            if (index == 0) {
                outcome = PostponeReminder(m_ctx, m_controls.Txt1->text(), m_controls.cmbAllarm->currentIndex());
            }
            if (index == 1) {
                outcome = StopReminding(m_ctx);
            }
            return outcome;
        });
    }
    // After Annulla the window stays as it was: the operator may try again or close it.
    if (written) {
        close();
    }
}

void ReminderWindow::onDocumentButton()
{
    ShellOpen(m_ctx.desktop, m_controls.lbDocumento->text());
}

void ReminderWindow::closeEvent(QCloseEvent* event)
{
    // The unload closes the cursors the action is writing through, or may write through again on Riprova.
    if (m_actionRunning) {
        event->ignore();
        return;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        runUnloadSequence(m_ctx);
    }
    event->accept();
}

} // namespace rp
