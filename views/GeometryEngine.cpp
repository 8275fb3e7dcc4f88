#include "views/GeometryEngine.h"

#include <QOpenGLShaderProgram>

namespace {

struct Vertex
{
    float x, y, z; // position
    float u, v;    // texture coordinate in the 3 x 2 atlas
};
static_assert(sizeof(Vertex) == 20, "5 packed floats per vertex");

constexpr float X = 1.0f;
constexpr float Y = 0.38f;
constexpr float Z = 0.61666667f;
constexpr float T1 = 0.33333331f; // 1/3
constexpr float T2 = 0.66666669f; // 2/3

// Faces in order: +z, +x, -z, -x, -y, +y.
constexpr Vertex vertices[GeometryEngine::vertexCount] = {
    {-X, -Y, Z, 0.0f, 0.0f},  {X, -Y, Z, T1, 0.0f},    {-X, Y, Z, 0.0f, 0.5f},
    {X, Y, Z, T1, 0.5f},      {X, -Y, Z, 0.0f, 0.5f},  {X, -Y, -Z, T1, 0.5f},
    {X, Y, Z, 0.0f, 1.0f},    {X, Y, -Z, T1, 1.0f},    {X, -Y, -Z, T2, 0.5f},
    {-X, -Y, -Z, 1.0f, 0.5f}, {X, Y, -Z, T2, 1.0f},    {-X, Y, -Z, 1.0f, 1.0f},
    {-X, -Y, -Z, T2, 0.0f},   {-X, -Y, Z, 1.0f, 0.0f}, {-X, Y, -Z, T2, 0.5f},
    {-X, Y, Z, 1.0f, 0.5f},   {-X, -Y, -Z, T2, 0.0f},  {X, -Y, -Z, T2, 0.5f},
    {-X, -Y, Z, T1, 0.0f},    {X, -Y, Z, T1, 0.5f},    {-X, Y, Z, T1, 1.0f},
    {X, Y, Z, T1, 0.5f},      {-X, Y, -Z, T2, 1.0f},   {X, Y, -Z, T2, 0.5f},
};

// Repeated indices make degenerate triangles between the faces.
constexpr GLushort indices[GeometryEngine::indexCount] = {
    0,  1,  2,  3,  3,  4,  4,  5,  6,  7,  7,  8,  8,  9,  10, 11, 11,
    12, 12, 13, 14, 15, 15, 16, 16, 17, 18, 19, 19, 20, 20, 21, 22, 23,
};

} // namespace

GeometryEngine::GeometryEngine() : m_indices(QOpenGLBuffer::IndexBuffer)
{
    initializeOpenGLFunctions();
    m_vertices.create();
    m_indices.create();
    m_vertices.bind();
    m_vertices.allocate(vertices, int(sizeof(vertices)));
    m_indices.bind();
    m_indices.allocate(indices, int(sizeof(indices)));
}

GeometryEngine::~GeometryEngine()
{
    m_vertices.destroy();
    m_indices.destroy();
}

void GeometryEngine::draw(QOpenGLShaderProgram *program)
{
    m_vertices.bind();
    m_indices.bind();

    const int position = program->attributeLocation("a_position");
    program->enableAttributeArray(position);
    program->setAttributeBuffer(position, GL_FLOAT, 0, 3, int(sizeof(Vertex)));

    const int texcoord = program->attributeLocation("a_texcoord");
    program->enableAttributeArray(texcoord);
    program->setAttributeBuffer(texcoord, GL_FLOAT, int(3 * sizeof(float)), 2, int(sizeof(Vertex)));

    glDrawElements(GL_TRIANGLE_STRIP, indexCount, GL_UNSIGNED_SHORT, nullptr);
}
