#pragma once

#include "common/Value.h"

#include <QtGlobal>

namespace rp {

// Conversions to whole numbers round to the nearest integer with halves to the even neighbour
// (2.5 -> 2, 3.5 -> 4) and raise the overflow error outside the target range (NaN included).
qint16 toInt16(double d);
qint32 toInt32(double d);
quint8 toUInt8(double d);
quint32 toUInt32(double d);

// A loosely typed value as a double: numbers as they are, date-times as their day serial, numeric text
// parsed by the locale's conventions; Null, blank and non-numeric text raise the type-mismatch error.
double toDouble(const Value& v);
qint16 toInt16(const Value& v);
qint32 toInt32(const Value& v);

} // namespace rp
