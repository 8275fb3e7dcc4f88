#pragma once

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>

class QOpenGLShaderProgram;

// The unit's box: 24 textured vertices (four per face) drawn as one triangle strip.
// Needs a current OpenGL context for construction, drawing and destruction.
class GeometryEngine : protected QOpenGLFunctions
{
public:
    GeometryEngine();
    ~GeometryEngine();

    GeometryEngine(const GeometryEngine &) = delete;
    GeometryEngine &operator=(const GeometryEngine &) = delete;

    // Feeds "a_position" and "a_texcoord" of the program from the buffers and draws.
    void draw(QOpenGLShaderProgram *program);

    static constexpr int vertexCount = 24;
    static constexpr int indexCount = 34;

private:
    QOpenGLBuffer m_vertices;
    QOpenGLBuffer m_indices;
};
