#pragma once

#include <QObject>
#include <QtGlobal>

class QLineEdit;

namespace rp {

// Keeps a typed character code when it is a digit, the minus sign, the locale's decimal separator (the point
// and the comma keys both become it) or Ctrl+C, Backspace, Ctrl+R, Ctrl+V; anything else becomes 0, meaning
// no character. The result is also left in `code`.
qint16 FilterNumericKey(qint16& code);

// Keeps the typing in the amount box numeric and makes Enter move on to the next control in tab order.
// Pasted text is not filtered: the amount is only interpreted when it is used.
class AmountKeyFilter : public QObject
{
    Q_OBJECT
public:
    explicit AmountKeyFilter(QLineEdit& box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit& m_box;
};

void installAmountKeyFilter(QLineEdit& box);

} // namespace rp
