#include "views/openGLwidget.h"

#include "views/AttitudeMath.h"
#include "views/GeometryEngine.h"
#include "views/PlotParts.h"
#include "views/ViewsLog.h"

#include <QCloseEvent>
#include <QImage>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>

openGLwidget::openGLwidget(QWidget *parent) : QOpenGLWidget(parent) {}

openGLwidget::~openGLwidget()
{
    // The GL objects belong to this widget's context.
    makeCurrent();
    m_texture.reset();
    m_geometry.reset();
    m_program.reset();
    doneCurrent();
}

void openGLwidget::setQuaternion(double q0, double q1, double q2, double q3)
{
    m_q0 = q0;
    m_q1 = q1;
    m_q2 = q2;
    m_q3 = q3;
    m_hasQuaternion = true;
    update();
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
    m_texture->setMinificationFilter(QOpenGLTexture::Nearest);
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

void openGLwidget::closeEvent(QCloseEvent *event)
{
    m_open = false;
    QOpenGLWidget::closeEvent(event);
}
