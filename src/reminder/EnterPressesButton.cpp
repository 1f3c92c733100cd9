#include "reminder/EnterPressesButton.h"

#include <QKeyEvent>
#include <QPushButton>

namespace rp {

EnterPressesButton::EnterPressesButton(QObject* parent) : QObject(parent) {}

bool EnterPressesButton::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) {
        return false;
    }
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button == nullptr || !button->isEnabled()) {
        return false;
    }
    if (!key->isAutoRepeat()) {
        button->click();
    }
    return true;
}

void makeEnterPressButtons(QWidget& owner, std::initializer_list<QPushButton*> buttons)
{
    auto* filter = new EnterPressesButton(&owner);
    for (QPushButton* button : buttons) {
        button->installEventFilter(filter);
    }
}

} // namespace rp
