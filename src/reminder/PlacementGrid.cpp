#include "reminder/PlacementGrid.h"

#include "common/IntegerConversion.h"
#include "common/RuntimeError.h"
#include "platform/Desktop.h"

#include <limits>

namespace rp {

namespace {

qint16 checkedInt16(int value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max()) {
        throw RuntimeError::overflow();
    }
    return static_cast<qint16>(value);
}

} // namespace

QSize outerSizeTwips(QSize clientPixels, QMargins framePixels)
{
    return clientPixels.grownBy(framePixels) * TwipsPerPixel;
}

PlacementGrid placementGridFor(double screenWidthTwips, double screenHeightTwips, double outerWidthTwips,
                               double outerHeightTwips)
{
    PlacementGrid grid;
    grid.Rows = toInt16((screenHeightTwips - outerHeightTwips) / SlotStepDownTwips);
    grid.Columns = toInt16((screenWidthTwips - outerWidthTwips) / SlotStepRightTwips);
    return grid;
}

PlacementCell placementCellFor(const PlacementGrid& grid, qint16 slot)
{
    if (grid.Rows == 0 || grid.Columns == 0) {
        throw RuntimeError::divisionByZero();
    }
    // Computed in int: C++ remainder truncates toward zero like the 16-bit one, and -32768 % -1 stays defined.
    PlacementCell cell;
    cell.row = static_cast<qint16>(int{slot} % int{grid.Rows});
    cell.column = static_cast<qint16>(int{slot} % int{grid.Columns});
    return cell;
}

qint16 topForRow(qint16 row)
{
    return checkedInt16(int{row} * SlotStepDownTwips);
}

qint16 leftForColumn(qint16 column)
{
    return checkedInt16(int{column} * SlotStepRightTwips);
}

} // namespace rp
