#pragma once

#include <QString>

namespace rp {

struct ReminderControls;

// The whole reminder in one sentence, for the window's accessible description: a screen reader announces it
// when the window appears, before the operator moves among the fields. Built from what the fields show, so
// it never says anything the window does not.
QString describeReminder(const ReminderControls& controls, bool overdue);

// Qt's labels reach the accessibility bus by name only, without their text, so a field named after its caption
// alone would hide its value from a screen reader. Each field is named "caption: value" once its value is known;
// a blank field keeps the bare caption.
void nameFieldsAfterTheirCaptions(ReminderControls& controls);

} // namespace rp
