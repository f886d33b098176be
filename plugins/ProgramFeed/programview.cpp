#include "programview.h"

#include "programviewsource.h"

#include <QOpenGLShaderProgram>
#include <QQuickWindow>
#include <QSGGeometryNode>
#include <QSGMaterial>
#include <QSGMaterialShader>
#include <QSGTexture>

#include <algorithm>
#include <memory>

namespace {

// The frame's colours as they are (premultiplied, blended over what is behind), or its alpha as
// an opaque grey.
class FrameMaterial : public QSGMaterial
{
public:
    FrameMaterial() { setFlag(Blending); }
    QSGMaterialType *type() const override;
    QSGMaterialShader *createShader() const override;
    int compare(const QSGMaterial *other) const override
    {
        const auto *o = static_cast<const FrameMaterial *>(other);
        return texture == o->texture ? 0 : (texture < o->texture ? -1 : 1);
    }

    std::unique_ptr<QSGTexture> texture;
    bool key = false;
};

QSGMaterialType fillType, keyType;

class FrameShader : public QSGMaterialShader
{
public:
    explicit FrameShader(bool key) : m_key(key) { }

    const char *vertexShader() const override
    {
        return "attribute highp vec4 qt_Vertex;\n"
               "attribute highp vec2 qt_MultiTexCoord0;\n"
               "uniform highp mat4 qt_Matrix;\n"
               "varying highp vec2 coord;\n"
               "void main() {\n"
               "    coord = qt_MultiTexCoord0;\n"
               "    gl_Position = qt_Matrix * qt_Vertex;\n"
               "}\n";
    }
    const char *fragmentShader() const override
    {
        if (m_key)
            return "varying highp vec2 coord;\n"
                   "uniform sampler2D source;\n"
                   "uniform lowp float opacity;\n"
                   "void main() {\n"
                   "    lowp float a = texture2D(source, coord).a;\n"
                   "    gl_FragColor = vec4(a, a, a, 1.0) * opacity;\n"
                   "}\n";
        return "varying highp vec2 coord;\n"
               "uniform sampler2D source;\n"
               "uniform lowp float opacity;\n"
               "void main() {\n"
               "    gl_FragColor = texture2D(source, coord) * opacity;\n"
               "}\n";
    }
    const char *const *attributeNames() const override
    {
        static const char *const names[] = {"qt_Vertex", "qt_MultiTexCoord0", nullptr};
        return names;
    }
    void initialize() override
    {
        m_matrix = program()->uniformLocation("qt_Matrix");
        m_opacity = program()->uniformLocation("opacity");
        program()->setUniformValue("source", 0);
    }
    void updateState(const RenderState &state, QSGMaterial *material, QSGMaterial *) override
    {
        if (state.isMatrixDirty())
            program()->setUniformValue(m_matrix, state.combinedMatrix());
        if (state.isOpacityDirty())
            program()->setUniformValue(m_opacity, state.opacity());
        auto *frame = static_cast<FrameMaterial *>(material);
        if (frame->texture)
            frame->texture->bind();
    }

private:
    bool m_key;
    int m_matrix = -1;
    int m_opacity = -1;
};

QSGMaterialType *FrameMaterial::type() const { return key ? &keyType : &fillType; }
QSGMaterialShader *FrameMaterial::createShader() const { return new FrameShader(key); }

// The frame's quad; it owns its texture: a wrapper of the output's (never deleting it) or a copy.
class FrameNode : public QSGGeometryNode
{
public:
    FrameNode() : m_geometry(QSGGeometry::defaultAttributes_TexturedPoint2D(), 4)
    {
        setGeometry(&m_geometry);
        setMaterial(&m_material);
    }

    void setTexture(QSGTexture *texture)
    {
        if (texture)
            texture->setFiltering(QSGTexture::Linear); // scaled smoothly, as an image is
        m_material.texture.reset(texture);
        markDirty(DirtyMaterial);
    }
    void setKey(bool key)
    {
        if (key == m_material.key)
            return;
        m_material.key = key;
        markDirty(DirtyMaterial);
    }
    // GL textures hold the bottom row first: those are turned upright
    void setRect(const QRectF &rect, bool bottomFirst)
    {
        QSGGeometry::updateTexturedRectGeometry(&m_geometry, rect,
                                                bottomFirst ? QRectF(0, 1, 1, -1) : QRectF(0, 0, 1, 1));
        markDirty(DirtyGeometry);
    }

    unsigned textureId = 0; // the output's texture shown, 0 for a copy
    QSize size;
    int copyNumber = -1; // the copy's frame number

private:
    QSGGeometry m_geometry;
    FrameMaterial m_material;
};

} // namespace

ProgramView::ProgramView(QQuickItem *parent) : QQuickItem(parent) { setFlag(ItemHasContents); }

ProgramView::~ProgramView()
{
    if (m_holding && m_output)
        m_source->holdViewCopies(false);
}

void ProgramView::setOutput(QObject *output)
{
    if (output == m_output)
        return;
    if (m_output) {
        disconnect(m_output, nullptr, this, nullptr);
        if (m_holding)
            m_source->holdViewCopies(false);
        m_holding = false;
    }
    m_output = output;
    m_source = qobject_cast<ProgramViewSource *>(output);
    if (output && !m_source)
        qWarning().noquote() << "ProgramView: the output given has no frames to show";
    if (m_source)
        connect(output, SIGNAL(frameNumberChanged()), this, SLOT(update()));
    updateHold();
    update();
    emit outputChanged();
}

void ProgramView::setKey(bool key)
{
    if (key == m_key)
        return;
    m_key = key;
    update();
    emit keyChanged();
}

// The copies are held only while the view may be drawn: shown, in a window that is shown (a
// window never shown, as without a display, takes none).
void ProgramView::updateHold()
{
    const bool hold = m_output && m_source && isVisible() && window() && window()->isVisible();
    if (hold == m_holding)
        return;
    m_holding = hold;
    m_source->holdViewCopies(hold);
}

void ProgramView::itemChange(ItemChange change, const ItemChangeData &value)
{
    if (change == ItemSceneChange) {
        disconnect(m_windowVisible);
        if (value.window)
            m_windowVisible = connect(value.window, &QWindow::visibleChanged, this, &ProgramView::updateHold);
    }
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange || change == ItemVisibleHasChanged)
        updateHold();
}

// Render thread, the GUI thread waiting: the frame on air as it is now.
QSGNode *ProgramView::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    auto *node = static_cast<FrameNode *>(old);
    const ProgramViewSource::Texture shared =
        m_output && m_source ? m_source->viewTexture() : ProgramViewSource::Texture();
    QImage copy;
    int copyNumber = -1;
    if (!shared.texture && m_output && m_source)
        copy = m_source->viewImage(&copyNumber);
    if (!shared.texture && copy.isNull()) {
        delete node; // nothing on air (yet, or any more): what is behind shows
        return nullptr;
    }
    if (!node)
        node = new FrameNode;
    if (shared.texture) {
        if (node->textureId != shared.texture || node->size != shared.size) {
            unsigned id = shared.texture;
            node->setTexture(window()->createTextureFromNativeObject(
                QQuickWindow::NativeObjectTexture, &id, 0, shared.size, QQuickWindow::TextureHasAlphaChannel));
            node->textureId = shared.texture;
            node->size = shared.size;
            node->copyNumber = -1;
        }
    } else if (node->textureId || node->copyNumber != copyNumber || node->size != copy.size()) {
        node->setTexture(window()->createTextureFromImage(copy));
        node->textureId = 0;
        node->size = copy.size();
        node->copyNumber = copyNumber;
    }
    node->setKey(m_key);
    // scaled to fit, centred
    const QSizeF frame(node->size);
    const double scale = std::min(width() / frame.width(), height() / frame.height());
    const QSizeF shown = frame * scale;
    node->setRect(QRectF(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown),
                  shared.texture != 0);
    return node;
}
