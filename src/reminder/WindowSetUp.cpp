// The window set-up that ends the load: every step in its fixed order, under the load's error handler.
#include "app/ReminderState.h"
#include "common/DateText.h"
#include "common/RuntimeError.h"
#include "platform/Desktop.h"
#include "reminder/ClientAndActionLookups.h"
#include "reminder/ColourValue.h"
#include "reminder/PlacementGrid.h"
#include "reminder/ReminderDescription.h"
#include "reminder/ReminderWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace rp {

namespace {

constexpr qint32 OverdueBackground = 255;
constexpr qint32 InTimeBackground = 49152;

} // namespace

void ReminderWindow::setUp(const QString& appointmentCause)
{
    ReminderState& s = m_ctx.state;
    ReminderControls& c = m_controls;

    const bool hasDocument = !c.lbDocumento->text().trimmed().isEmpty();
    c.cmdDocumento->setVisible(hasDocument);
    c.lbDocumento->setVisible(hasDocument);

    c.lbCliCod->setText(QString::number(s.ClientCode));
    c.lbCliDes->setText(LoadClientName(m_ctx, s.ClientCode));
    c.lbAziCod->setText(s.ActionCode);
    ShowActionInfo(m_ctx, c.lbAziCod->text(), *c.lbAziCod, *c.LbAziDes);
    c.lbScadDD->setText(formatDayMonthYear(s.AppointmentTime));
    c.lbScadHH->setText(formatHourMinute(s.AppointmentTime));

    s.LoadedOk = true;

    placeOnScreen();
    setWindowTitle(QStringLiteral("APP. ") + formatDayMonthTime(s.AppointmentTime) + QLatin1Char('-') +
                   appointmentCause);

    c.cmbAllarm->clear();
    c.cmbAllarm->addItems({QStringLiteral("minuti"), QStringLiteral("ore"), QStringLiteral("giorni")});
    c.cmbAllarm->setCurrentIndex(0);
    c.Txt1->setText(QStringLiteral("15"));

    const bool overdue = s.AppointmentTime < m_ctx.desktop.now();
    c.lbScaduto->setVisible(overdue);
    setWindowBackground(*this, overdue ? OverdueBackground : InTimeBackground);
    nameFieldsAfterTheirCaptions(c);
    setAccessibleDescription(describeReminder(c, overdue));
}

void ReminderWindow::placeOnScreen()
{
    // The position is the program's, never the window manager's choice: also when the grid's is the one the
    // window already has. Marked before the frame is asked for, which may create the native window.
    setAttribute(Qt::WA_Moved);
    placeInGrid(m_ctx.desktop.windowFramePixels(*this));
    // A window manager that tells its frame only as it takes the window in (KWin) would keep the window where
    // the grid puts a frameless one: its title bar over the buttons of the window above, and one row too many
    // counted. Placed again once the frame is known; an error then leaves it where it stands, the load being over.
    m_ctx.desktop.whenFrameSetOnShowing(*this, [this](QMargins frame) {
        try {
            placeInGrid(frame);
        } catch (const RuntimeError&) {
        }
    });
}

void ReminderWindow::placeInGrid(const QMargins& frame)
{
    // The grid lies on the primary monitor, its origin that monitor's corner: with a smaller monitor on its left or
    // above it, the desktop's corner is not on the primary one, and a row below the smaller one's height is not
    // on any monitor at all.
    const QRect screen = m_ctx.desktop.primaryScreenGeometry();
    const QSize screenTwips = screen.size() * TwipsPerPixel;
    const QSize outer = outerSizeTwips(size(), frame);
    const PlacementGrid grid =
        placementGridFor(screenTwips.width(), screenTwips.height(), outer.width(), outer.height());
    const PlacementCell cell = placementCellFor(grid, m_ctx.state.SlotNumber);
    // The grid places the frame's top-left corner; the client area is set inside it. Moving the frame itself is
    // not reliable before the first show: Qt does not know the frame yet and takes the frame's position for the
    // client's, and the window manager then adds its frame a second time.
    // Top first, then left: an overflow of the column product leaves the top already in place.
    const int top = screen.top() + topForRow(cell.row) / TwipsPerPixel;
    setGeometry(QRect(QPoint(geometry().x(), top + frame.top()), size()));
    const int left = screen.left() + leftForColumn(cell.column) / TwipsPerPixel;
    setGeometry(QRect(QPoint(left + frame.left(), geometry().y()), size()));
}

} // namespace rp
