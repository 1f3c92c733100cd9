#pragma once

namespace rp {

// A plain top-level QWidget reaches the accessibility bus as a nameless "filler", which screen readers do not
// announce as a window. This makes the reminder window a window, so its title and one-sentence description are
// read out when it appears. Safe to call more than once.
void announceReminderWindowAsWindow();

} // namespace rp
