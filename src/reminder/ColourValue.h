#pragma once

#include <QColor>
#include <QtGlobal>

class QLabel;
class QWidget;

namespace rp {

// A stored colour number: red in the lowest byte, then green, then blue; the top byte carries nothing.
QColor colourFromValue(qint32 value);

// Changes only the text colour, so a label keeps its own background (white boxes stay white).
void setLabelTextColour(QLabel& label, qint32 colour);

// Colours the window's own background; labels without a background of their own show it through.
void setWindowBackground(QWidget& window, qint32 colour);

} // namespace rp
