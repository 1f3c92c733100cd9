#include "reminder/ColourValue.h"

#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace rp {

QColor colourFromValue(qint32 value)
{
    const auto bits = static_cast<quint32>(value);
    return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                  static_cast<int>((bits >> 16) & 0xFFu));
}

void setLabelTextColour(QLabel& label, qint32 colour)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, colourFromValue(colour));
    label.setPalette(palette);
}

void setWindowBackground(QWidget& window, qint32 colour)
{
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, colourFromValue(colour));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
}

} // namespace rp
