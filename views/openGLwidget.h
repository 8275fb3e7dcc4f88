#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QTimer>
#include <QWidget>

#include <memory>

class GeometryEngine;
class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;
class QOpenGLShaderProgram;
class QOpenGLTexture;

// The 3D scene: the unit's textured box, turned by the unit's orientation quaternion.
// The model moves only when a new quaternion arrives; before the first one it is shown
// unrotated, face-on from its +z face.
//
// The scene is drawn with OpenGL into an off-screen framebuffer of the widget's size and
// shown as an image. A QOpenGLWidget would make Qt compose the whole main window through
// OpenGL on every refresh of any of its widgets, which under software rendering (virtual
// machines, remote desktops) costs far more than drawing the box. The box is drawn again only
// when the attitude has changed by more than a quarter of a pixel at the window's size, and at
// most MaxScenesPerSecond times a second: within the screen refresh that brings the new
// attitude when the last drawing is old enough, else (should no newer attitude come) one
// interval later. The angles below it follow every refresh.
class openGLwidget : public QWidget, protected QOpenGLFunctions
{
    Q_OBJECT
public:
    static constexpr int MaxScenesPerSecond = 30;

    explicit openGLwidget(QWidget *parent = nullptr);
    ~openGLwidget() override;

    // Stores the quaternion (q0 scalar part) and schedules one drawing when it turns the box
    // visibly; many calls before the next drawing give one, with the newest value.
    void setQuaternion(double q0, double q1, double q2, double q3);
    bool hasQuaternion() const { return m_hasQuaternion; }

    // True once the OpenGL context exists (after the widget was first shown).
    bool isValid() const { return m_context != nullptr; }
    // False when the shaders failed (the scene is then closed).
    bool isSceneReady() const { return m_ready; }
    bool isOpen() const { return m_open; }
    // The scene with the newest quaternion, drawn now if it is not yet.
    QImage grabFramebuffer();
    // How often the box was drawn (for tests and measurements).
    int scenesDrawn() const { return m_scenesDrawn; }

    QSize sizeHint() const override { return QSize(400, 247); }
    QSize minimumSizeHint() const override { return QSize(50, 50); }

protected:
    void initializeGL();
    void resizeGL(int w, int h);
    void paintGL();

    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool initShaders();
    void initTexture();
    bool makeCurrent();
    void doneCurrent();
    // Draws the scene into the framebuffer and reads it back into m_image.
    void render();

    double m_q0 = 0.0;
    double m_q1 = 0.0;
    double m_q2 = 0.0;
    double m_q3 = 0.0;
    bool m_hasQuaternion = false;
    bool m_ready = false;
    bool m_open = true;
    bool m_dirty = true;              // m_image does not show the newest quaternion or size
    double m_drawn[4] = {1, 0, 0, 0}; // the quaternion m_image shows
    int m_scenesDrawn = 0;

    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    QImage m_image;
    QElapsedTimer m_sinceScene; // since the last drawing
    QTimer m_late;              // draws a change the ceiling held back, if nothing newer comes

    QMatrix4x4 m_projection;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::unique_ptr<QOpenGLTexture> m_texture;
    std::unique_ptr<GeometryEngine> m_geometry;
};
