#include "views/openGLwidget.h"

#include "views/AttitudeMath.h"
#include "views/GeometryEngine.h"
#include "views/ViewsLog.h"

#include <QCloseEvent>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QPainter>

openGLwidget::openGLwidget(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted from the scene image: nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_late.setSingleShot(true);
    m_late.setInterval(1000 / MaxScenesPerSecond);
    connect(&m_late, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
}

openGLwidget::~openGLwidget()
{
    // The GL objects belong to this widget's context.
    if (makeCurrent()) {
        m_texture.reset();
        m_geometry.reset();
        m_program.reset();
        m_fbo.reset();
        doneCurrent();
    }
}

void openGLwidget::setQuaternion(double q0, double q1, double q2, double q3)
{
    m_q0 = q0;
    m_q1 = q1;
    m_q2 = q2;
    m_q3 = q3;
    const bool first = !m_hasQuaternion;
    m_hasQuaternion = true;
    const double now[4] = {q0, q1, q2, q3};
    const int height = int(this->height() * devicePixelRatioF());
    if (!first && !m_dirty &&
        AttitudeMath::turnBetween(now, m_drawn) < AttitudeMath::visibleTurn(height))
        return;
    m_dirty = true;
    // A drawing somewhat sooner than the ceiling is let through, so that the scene keeps in
    // step with refreshes that come a little faster than MaxScenesPerSecond.
    constexpr qint64 soonest = 3 * 1000 / MaxScenesPerSecond / 4;
    if (!m_sinceScene.isValid() || m_sinceScene.elapsed() >= soonest) {
        m_late.stop();
        update();
    } else if (!m_late.isActive()) {
        m_late.start();
    }
}

bool openGLwidget::makeCurrent()
{
    return m_context && m_surface && m_context->makeCurrent(m_surface.get());
}

void openGLwidget::doneCurrent()
{
    if (m_context)
        m_context->doneCurrent();
}

void openGLwidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_context)
        return;
    // The context and its surface are made once, when the scene is first shown.
    auto context = std::make_unique<QOpenGLContext>();
    auto surface = std::make_unique<QOffscreenSurface>();
    if (!context->create()) {
        qCWarning(lcViews) << "三维视图无法创建 OpenGL 环境";
        return;
    }
    surface->setFormat(context->format());
    surface->create();
    m_context = std::move(context);
    m_surface = std::move(surface);
    if (!makeCurrent()) {
        qCWarning(lcViews) << "三维视图无法使用 OpenGL 环境";
        m_context.reset();
        m_surface.reset();
        return;
    }
    initializeGL();
    doneCurrent();
    m_dirty = true;
}

void openGLwidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_dirty = true;
}

void openGLwidget::initializeGL()
{
    initializeOpenGLFunctions();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

    if (!initShaders()) {
        qCWarning(lcViews) << "三维视图着色器加载失败";
        close();
        return;
    }
    initTexture();

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    m_geometry = std::make_unique<GeometryEngine>();
    m_ready = true;
}

bool openGLwidget::initShaders()
{
    m_program = std::make_unique<QOpenGLShaderProgram>();
    return m_program->addShaderFromSourceFile(QOpenGLShader::Vertex,
                                              QStringLiteral(":/vshader.glsl")) &&
           m_program->addShaderFromSourceFile(QOpenGLShader::Fragment,
                                              QStringLiteral(":/fshader.glsl")) &&
           m_program->link() && m_program->bind();
}

void openGLwidget::initTexture()
{
    QImage image(QStringLiteral(":/Lumeno/openGL-textures"));
    if (image.isNull()) {
        // Without the atlas the box is drawn plain grey rather than not at all.
        qCWarning(lcViews) << "三维视图纹理图片缺失";
        image = QImage(3, 2, QImage::Format_RGB32);
        image.fill(QColor(128, 128, 128));
    }
    m_texture = std::make_unique<QOpenGLTexture>(image.mirrored());
    // Mipmapped: a face is drawn from the level nearest its size on the screen, which keeps
    // its edges and text free of shimmer and reads far less memory than the full 1650 x 1100
    // atlas would.
    m_texture->setMinificationFilter(QOpenGLTexture::LinearMipMapLinear);
    m_texture->setMagnificationFilter(QOpenGLTexture::Linear);
    m_texture->setWrapMode(QOpenGLTexture::Repeat);
}

void openGLwidget::resizeGL(int w, int h)
{
    const qreal aspect = qreal(w) / qreal(h == 0 ? 1 : h);
    m_projection.setToIdentity();
    m_projection.perspective(45.0f, float(aspect), 3.0f, 70.0f);
}

void openGLwidget::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!m_ready)
        return;
    m_texture->bind();

    QMatrix4x4 model;
    model.translate(0.0f, 0.0f, -5.0f);
    if (m_hasQuaternion) {
        const AttitudeMath::AxisAngle r = AttitudeMath::modelRotation(m_q0, m_q1, m_q2, m_q3);
        if (r.rotate)
            model.rotate(float(r.degrees), float(r.x), float(r.y), float(r.z));
    }

    m_program->bind();
    m_program->setUniformValue("mvp_matrix", m_projection * model);
    m_program->setUniformValue("texture", 0);
    m_geometry->draw(m_program.get());
}

void openGLwidget::render()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1));
    if (!makeCurrent())
        return;
    if (!m_fbo || m_fbo->size() != pixels) {
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(
            pixels, QOpenGLFramebufferObject::CombinedDepthStencil);
        resizeGL(pixels.width(), pixels.height());
    }
    m_fbo->bind();
    glViewport(0, 0, pixels.width(), pixels.height());
    paintGL();
    m_image = m_fbo->toImage();
    m_image.setDevicePixelRatio(ratio);
    m_fbo->release();
    doneCurrent();
    m_drawn[0] = m_q0;
    m_drawn[1] = m_q1;
    m_drawn[2] = m_q2;
    m_drawn[3] = m_q3;
    m_dirty = false;
    ++m_scenesDrawn;
    m_sinceScene.start();
}

QImage openGLwidget::grabFramebuffer()
{
    if (m_dirty || m_image.isNull())
        render();
    return m_image;
}

void openGLwidget::paintEvent(QPaintEvent *)
{
    if (m_dirty || m_image.isNull())
        render();
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(0, 0, m_image);
}

void openGLwidget::closeEvent(QCloseEvent *event)
{
    m_open = false;
    QWidget::closeEvent(event);
}
