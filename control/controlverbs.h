#pragma once
// The control port's verbs in one table: which there are, who answers each, the keys each takes
// and what they must hold, with the texts a client is told when they do not. The server knows the
// verbs by it; the window's side of the port (ControlPort) checks every request with it, so the
// window is handed only requests it can carry out.
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

class ControlVerbs
{
public:
    // Who answers a verb: the connection itself (hello, subscribe), the port from what the window
    // has told it (scenes, scene), or the window.
    enum class Side { Connection, Port, Window };

    // What a request may name: layers 1 to layerCount, and scenes by name.
    struct Window
    {
        int layerCount = 0;
        QStringList scenes;
    };

    // A request checked: `error` is the client's answer when it cannot be carried out, else empty
    // and `request` holds its "do", those of its verb's keys that it gave, and for a command to a
    // layer "command", the type of the record it sends.
    struct Checked
    {
        QString error;
        QJsonObject request;
    };

    // The side that answers `verb`; nothing when there is no such verb.
    static std::optional<Side> sideOf(const QJsonValue &verb);
    // `request` has a "do" that names a verb.
    static Checked check(const QJsonObject &request, const Window &window);
};
