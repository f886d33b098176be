// Texts shared by the fault tests and the writer they kill: each write alternates between two
// whole versions, large enough that a kill often lands inside a write.
#pragma once
#include <QByteArray>
#include <QString>

namespace faults {

inline QString padding() { return QString(200000, QLatin1Char('x')); }

// A configuration the window runs on; `version` tells the two apart.
inline QString configText(int version)
{
    return QStringLiteral("{\n  \"renderNumber\": 2,\n  \"directory\": \"Layers\",\n  \"version\": %1,\n"
                          "  \"padding\": \"%2\"\n}")
        .arg(version)
        .arg(padding());
}

// A Queues panel edit: the current scene's Play record.
inline QString queueText(int version)
{
    return QStringLiteral("{\"DSK_Play\": {\"_id\": 1, \"type\": \"DSK_Play\", \"params\": {\"layer_id\": 1, "
                          "\"time\": 0}, \"version\": %1, \"padding\": \"%2\"}}")
        .arg(version)
        .arg(padding());
}

// A Container panel text, written as typed.
inline QString containerText(int version)
{
    return QStringLiteral("{\n    \"graphics_id\": \"SCENE-01\",\n    \"version\": %1,\n"
                          "    \"template_params\": [\"%2\"]\n}")
        .arg(version)
        .arg(padding());
}

} // namespace faults
