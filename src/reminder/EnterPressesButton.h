#pragma once

#include <QObject>
#include <initializer_list>

class QPushButton;
class QWidget;

namespace rp {

// Operators press a focused button with Enter as well as with Space, even though the window has no default
// button. The click runs synchronously, before the filter returns.
class EnterPressesButton : public QObject
{
    Q_OBJECT
public:
    explicit EnterPressesButton(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installs one shared filter, owned by the first button's parent window.
void makeEnterPressButtons(QWidget& owner, std::initializer_list<QPushButton*> buttons);

} // namespace rp
