#include "reminder/WindowAccessibility.h"

#include "reminder/ReminderWindow.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace rp {

namespace {

QAccessibleInterface* reminderWindowInterface(const QString& className, QObject* object)
{
    if (object == nullptr || !object->isWidgetType() ||
        className != QLatin1String(ReminderWindow::staticMetaObject.className())) {
        return nullptr;
    }
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

} // namespace

void announceReminderWindowAsWindow()
{
    static const bool installed = [] {
        QAccessible::installFactory(reminderWindowInterface);
        return true;
    }();
    (void)installed;
}

} // namespace rp
