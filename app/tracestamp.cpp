#include "tracestamp.h"

#include <QtGlobal>

namespace tracestamp {

QString pattern()
{
    return QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{if-category}%{category}: %{endif}%{message}");
}

void install()
{
    // Qt lets a set QT_MESSAGE_PATTERN win over this by itself; the check says so here too.
    if (qEnvironmentVariableIsSet("QT_MESSAGE_PATTERN"))
        return;
    qSetMessagePattern(pattern());
}

} // namespace tracestamp
