#pragma once
// What an output has on air, kept on disk so that a restart (a crash, the service manager, a
// kill) can put it back. Per layer: the scene, the data its Cue carried (`params.dsk_data`) and
// whether it was playing. The window reports every change of a layer; the file
// onair[-N].json in the application-data directory is replaced atomically once per turn of the
// event loop in which something changed, never for a change that alters nothing (a fade's frames).
//
// The window hands each layer to watchLayer(): its scene, the data of its newest Cue and whether
// it is shown are kept from then on. With --restore the file of the last run is read before the
// window exists and offered to it as a plan: the layers whose scene still exists, with the
// commands that put each back, and the problems found. A file that cannot be
// used restores nothing: one that is not JSON, truncated, too large, too deep or of the wrong
// shape is kept as onair[-N].json.bad; one that cannot be read is left alone (and not written
// over). Without --restore the file is started afresh: nothing is on air yet.
//
// File format (written indented; keys other than these are ignored when read):
//   {"version": 1, "box": N, "layers": [{"layer": L, "scene": "SCENE-02", "data": <any JSON>,
//    "playing": true}, ...]}
#include <QHash>
#include <QJsonValue>
#include <QPointer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

class OnAirState : public QObject
{
    Q_OBJECT
    // --restore was given: the window asks for the plan once it has its scenes
    Q_PROPERTY(bool restoring READ restoring CONSTANT)
    Q_PROPERTY(QString path READ path CONSTANT)

public:
    // Largest file read, and deepest nesting of a layer's data: a state file is small, anything
    // beyond these was not written by this program.
    static constexpr qint64 maxFileSize = 8 * 1024 * 1024;
    static constexpr int maxDataDepth = 64;
    static constexpr int maxLayer = 999;

    OnAirState(int box, const QString &dataDir, QObject *parent = nullptr);
    ~OnAirState() override; // writes a change still pending

    static QString fileName(int box);

    // Reads the last run's file (restore) or starts it afresh (written at once). Call once, after
    // the output's lock is taken: a second start of a running output must write nothing.
    void start(bool restore);

    bool restoring() const { return m_restoring; }
    QString path() const { return m_path; }

    // The layers to put back, for a window with these scene names and this many layers:
    // {"layers": [{"layer", "scene", "data", "playing"}, ...], "problems": [text, ...]}. The
    // problems are the file's own and each layer that cannot come back. Given once: the plan is
    // emptied by this call.
    Q_INVOKABLE QVariantMap takePlan(const QStringList &scenes, int layerCount);

    // The plan for the window's scene queues (each {"DSK_Cue": record, "DSK_Play": record, ...}):
    // per layer also "cue", the scene's own Cue record carrying the data it had, and "play", when
    // it played, a Play at once without a fade addressed to the layer (null otherwise). The
    // problems end with "Restored N layers after a restart" when N > 0. Given once.
    Q_INVOKABLE QVariantMap restorePlan(const QVariantList &queues, int layerCount);

    // Keeps what a layer of the window shows from now on: its scene (`name` while `isLoaded`),
    // its data (its template's `graphic.fields` while it has one, with what updates changed; else
    // the data of its newest Cue passed on, `queues`, each {"js": record}) and whether it plays
    // (`visible`). A layer that goes away (the window closing) changes nothing of what was on air.
    Q_INVOKABLE void watchLayer(QObject *render);

    // A layer shows `scene` with `data`, playing or only cued; or shows nothing.
    Q_INVOKABLE void setLayer(int layer, const QString &scene, const QJsonValue &data, bool playing);
    Q_INVOKABLE void clearLayer(int layer);

    // Writes a pending change now; false when the write failed (the reason in the signal).
    Q_INVOKABLE bool flush();
    // Writes a pending change and takes no more: the layers are going away, not off air. Runs
    // when the application's event loop ends.
    void close();

private slots:
    void layerChanged();

signals:
    // The outcome of every write: `problem` is the text for the operator when it failed.
    void written(bool ok, const QString &path, const QString &problem);

private:
    struct Layer
    {
        QString scene;
        QJsonValue data;
        bool playing = false;
        bool operator==(const Layer &o) const { return scene == o.scene && data == o.data && playing == o.playing; }
    };

    void read();
    // Sets the file aside as ".bad" and records why nothing is restored from it.
    void setAside(const QString &why);
    // The layers of a parsed document, or the reason it is not a state file.
    QString parse(const QByteArray &text, QMap<int, Layer> *layers) const;
    void changed();
    QByteArray document() const;
    void keepLayer(QObject *render);

    int m_box;
    QString m_path;
    bool m_restoring = false;
    bool m_keepOut = false; // the file could not be read: it is left as it is
    bool m_pending = false;
    bool m_closed = false;
    QByteArray m_written;      // the content last written (or read), so that no change writes nothing
    QMap<int, Layer> m_layers; // what is on air now
    QHash<QObject *, QPointer<QObject>> m_layerOf; // a layer's graphic -> the layer
    QMap<int, Layer> m_plan;                       // what was on air at the end of the last run (with --restore)
    QStringList m_problems;
};
