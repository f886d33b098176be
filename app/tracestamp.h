#pragma once
// Operators read the trace after an incident: each line of the Qt message log starts with the
// local time to the millisecond. The message itself is unchanged, and QT_MESSAGE_PATTERN, when
// set, is used instead.
#include <QString>

namespace tracestamp {

// Qt's own default pattern with the time in front.
QString pattern();

// Puts the pattern in place for the whole process; call it before the first message.
void install();

} // namespace tracestamp
