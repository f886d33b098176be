#include "controlverbs.h"

#include <cmath>

namespace {

enum Key : unsigned { Layer = 1, Scene = 2, Record = 4, Trigger = 8, Data = 16 };
// what a request must give beyond its verb
enum class Needs { Nothing, LayerOrScene, Scene, Data };

struct Verb
{
    const char *name;
    ControlVerbs::Side side;
    const char *command; // the record type a command to a layer sends
    unsigned keys;
    Needs needs;
};

using Side = ControlVerbs::Side;
// a command to a layer: as the button on that layer and scene; Continue writes the trigger first
const unsigned commandKeys = Layer | Scene | Record | Trigger;

const Verb verbs[] = {
    {"hello", Side::Connection, nullptr, 0, Needs::Nothing}, // its token is the connection's business
    {"subscribe", Side::Connection, nullptr, 0, Needs::Nothing},
    {"cue", Side::Window, "DSK_Cue", commandKeys | Data, Needs::Nothing},
    {"play", Side::Window, "DSK_Play", commandKeys | Data, Needs::Nothing},
    {"stop", Side::Window, "DSK_Stop", commandKeys, Needs::Nothing},
    {"eject", Side::Window, "DSK_Eject", commandKeys, Needs::Nothing},
    {"status", Side::Window, "DSK_GetStatus", commandKeys, Needs::Nothing},
    {"continue", Side::Window, "DSK_Continue", commandKeys, Needs::Nothing},
    {"ejectAll", Side::Window, nullptr, 0, Needs::Nothing},
    {"select", Side::Window, nullptr, Layer | Scene, Needs::LayerOrScene},
    {"state", Side::Window, nullptr, 0, Needs::Nothing},
    {"scenes", Side::Port, nullptr, 0, Needs::Nothing},
    {"scene", Side::Port, nullptr, Layer | Scene, Needs::Scene}, // its data and triggers, as on that layer
    {"update", Side::Window, nullptr, Layer | Data, Needs::Data},
};

const Verb *find(const QJsonValue &name)
{
    if (!name.isString())
        return nullptr;
    const QString text = name.toString();
    for (const Verb &verb : verbs)
        if (text == QLatin1String(verb.name))
            return &verb;
    return nullptr;
}

bool isLayer(const QJsonValue &v, int count)
{
    const double n = v.toDouble(NAN);
    return v.isDouble() && n == std::floor(n) && n >= 1 && n <= count;
}

} // namespace

std::optional<ControlVerbs::Side> ControlVerbs::sideOf(const QJsonValue &verb)
{
    const Verb *found = find(verb);
    return found ? std::optional<Side>(found->side) : std::nullopt;
}

ControlVerbs::Checked ControlVerbs::check(const QJsonObject &request, const Window &window)
{
    const Verb *verb = find(request.value(QLatin1String("do")));
    if (!verb)
        return {QStringLiteral("unknown do"), {}};
    // the keys the verb takes, in the order they are checked, with what each must hold
    struct Rule
    {
        Key key;
        const char *name;
        bool (*good)(const QJsonValue &, const Window &);
        QString error;
    };
    const QString notData = QStringLiteral("data is not an object");
    const Rule rules[] = {
        {Layer, "layer", [](const QJsonValue &v, const Window &w) { return isLayer(v, w.layerCount); },
         QStringLiteral("layer is not a whole number from 1 to %1").arg(window.layerCount)},
        {Scene, "scene",
         [](const QJsonValue &v, const Window &w) { return v.isString() && w.scenes.contains(v.toString()); },
         QStringLiteral("scene names no scene")},
        {Record, "record", [](const QJsonValue &v, const Window &) { return v.isObject(); },
         QStringLiteral("record is not an object")},
        {Trigger, "trigger", [](const QJsonValue &v, const Window &) { return v.isString(); },
         QStringLiteral("trigger is not text")},
        // the data of a scene: an object of fields, or a list of {"name", "value"} entries
        {Data, "data", [](const QJsonValue &v, const Window &) { return v.isObject() || v.isArray(); }, notData},
    };
    QJsonObject checked{{QStringLiteral("do"), QLatin1String(verb->name)}};
    if (verb->command)
        checked.insert(QStringLiteral("command"), QLatin1String(verb->command));
    for (const Rule &rule : rules) {
        const QString key = QLatin1String(rule.name);
        if (!(verb->keys & rule.key) || !request.contains(key))
            continue;
        const QJsonValue value = request.value(key);
        if (!rule.good(value, window))
            return {rule.error, {}};
        checked.insert(key, value);
    }
    if (verb->needs == Needs::Data && !checked.contains(QLatin1String("data")))
        return {notData, {}};
    if (verb->needs == Needs::Scene && !checked.contains(QLatin1String("scene")))
        return {QStringLiteral("scene names no scene"), {}};
    if (verb->needs == Needs::LayerOrScene && !checked.contains(QLatin1String("layer"))
        && !checked.contains(QLatin1String("scene")))
        return {QStringLiteral("nothing to select: give layer or scene"), {}};
    return {QString(), checked};
}
