#pragma once

namespace rp {

// Marks every descriptor the program inherited (beyond the standard three) close-on-exec. The program keeps them
// for its own life, but nothing it starts (a document viewer, a player) inherits them: a lock its starter handed
// over, the reminder's above all, then ends with this program, not with a viewer the operator leaves open.
void keepInheritedDescriptorsFromChildren();

} // namespace rp
