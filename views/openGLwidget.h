#pragma once

#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <memory>

class GeometryEngine;
class QOpenGLShaderProgram;
class QOpenGLTexture;

// The 3D scene: the unit's textured box, turned by the unit's orientation quaternion.
// The model moves only when a new quaternion arrives; before the first one it is shown
// unrotated, face-on from its +z face.
class openGLwidget : public QOpenGLWidget, protected QOpenGLFunctions
{
    Q_OBJECT
public:
    explicit openGLwidget(QWidget *parent = nullptr);
    ~openGLwidget() override;

    // Stores the quaternion (q0 scalar part) and schedules one repaint; many calls before
    // the next frame give one repaint with the newest value.
    void setQuaternion(double q0, double q1, double q2, double q3);
    bool hasQuaternion() const { return m_hasQuaternion; }

    // False when the shaders failed (the scene is then closed).
    bool isSceneReady() const { return m_ready; }
    bool isOpen() const { return m_open; }

    QSize sizeHint() const override { return QSize(400, 247); }
    QSize minimumSizeHint() const override { return QSize(50, 50); }

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool initShaders();
    void initTexture();

    double m_q0 = 0.0;
    double m_q1 = 0.0;
    double m_q2 = 0.0;
    double m_q3 = 0.0;
    bool m_hasQuaternion = false;
    bool m_ready = false;
    bool m_open = true;

    QMatrix4x4 m_projection;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::unique_ptr<QOpenGLTexture> m_texture;
    std::unique_ptr<GeometryEngine> m_geometry;
};
