#pragma once

#include <QMargins>
#include <QSize>
#include <QtGlobal>

namespace rp {

// Windows of successive slots cascade down and to the right, each direction wrapping on its own so that the
// window stays on screen. All arithmetic after the grid is 16-bit signed, with its overflow errors.
struct PlacementGrid
{
    qint16 Rows = 0;
    qint16 Columns = 0;
};

struct PlacementCell
{
    qint16 row = 0;
    qint16 column = 0;
};

constexpr int SlotStepDownTwips = 700;
constexpr int SlotStepRightTwips = 300;

// The window's outer size in twips: its client area and the window manager's frame around it.
QSize outerSizeTwips(QSize clientPixels, QMargins framePixels);

// How many steps fit in the room left by the window's outer size, rounded half to even; overflow error when a
// count leaves the 16-bit range.
PlacementGrid placementGridFor(double screenWidthTwips, double screenHeightTwips, double outerWidthTwips,
                               double outerHeightTwips);

// The slot's remainders by the grid, with the sign of the slot; division-by-zero error when the grid has no
// rows or no columns.
PlacementCell placementCellFor(const PlacementGrid& grid, qint16 slot);

// Window top and left in twips for a cell; overflow error outside -32768..32767.
qint16 topForRow(qint16 row);
qint16 leftForColumn(qint16 column);

} // namespace rp
