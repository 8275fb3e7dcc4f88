#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QPixmap>
#include <QtTest>

#include <memory>

namespace {

const char *const kIcons[] = {
    "mainWindow-icon", "file-export",     "file-exit",   "view-display",
    "view-data",       "view-imu",        "Velocity",    "Location",
    "UTC_new",         "TemperatureIcon", "group_state", "configure-calibrate",
    "export-record",   "stream-close",    "refresh",     "file-folder"};

const QString kAtlas = QStringLiteral(":/Lumeno/openGL-textures");
constexpr int kTile = 550;

// The commonest colour of an image area: the face colour of a tile, the face seen in a picture.
QRgb commonestColour(const QImage &image, const QRect &area, bool skipBlack)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y) | 0xff000000u;
            if (skipBlack && qRed(c) + qGreen(c) + qBlue(c) < 30)
                continue;
            ++counts[c];
        }
    QRgb best = 0;
    int bestCount = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > bestCount) {
            best = it.key();
            bestCount = it.value();
        }
    return best;
}

int colourDistance(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
}

// Tile of each face in the atlas (column, row from the top): the box mesh's texture coordinates,
// with the image mirrored vertically on upload.
QRgb faceColour(const QImage &atlas, int column, int row)
{
    return commonestColour(atlas, QRect(column * kTile, row * kTile, kTile, kTile), false);
}

// The box mesh of the 3D view: position and texture coordinate per vertex, one strip.
const float kVertices[24][5] = {{-1.0f, -0.38f, 0.61666667f, 0.0f, 0.0f},
                                {1.0f, -0.38f, 0.61666667f, 0.33333331f, 0.0f},
                                {-1.0f, 0.38f, 0.61666667f, 0.0f, 0.5f},
                                {1.0f, 0.38f, 0.61666667f, 0.33333331f, 0.5f},
                                {1.0f, -0.38f, 0.61666667f, 0.0f, 0.5f},
                                {1.0f, -0.38f, -0.61666667f, 0.33333331f, 0.5f},
                                {1.0f, 0.38f, 0.61666667f, 0.0f, 1.0f},
                                {1.0f, 0.38f, -0.61666667f, 0.33333331f, 1.0f},
                                {1.0f, -0.38f, -0.61666667f, 0.66666669f, 0.5f},
                                {-1.0f, -0.38f, -0.61666667f, 1.0f, 0.5f},
                                {1.0f, 0.38f, -0.61666667f, 0.66666669f, 1.0f},
                                {-1.0f, 0.38f, -0.61666667f, 1.0f, 1.0f},
                                {-1.0f, -0.38f, -0.61666667f, 0.66666669f, 0.0f},
                                {-1.0f, -0.38f, 0.61666667f, 1.0f, 0.0f},
                                {-1.0f, 0.38f, -0.61666667f, 0.66666669f, 0.5f},
                                {-1.0f, 0.38f, 0.61666667f, 1.0f, 0.5f},
                                {-1.0f, -0.38f, -0.61666667f, 0.66666669f, 0.0f},
                                {1.0f, -0.38f, -0.61666667f, 0.66666669f, 0.5f},
                                {-1.0f, -0.38f, 0.61666667f, 0.33333331f, 0.0f},
                                {1.0f, -0.38f, 0.61666667f, 0.33333331f, 0.5f},
                                {-1.0f, 0.38f, 0.61666667f, 0.33333331f, 1.0f},
                                {1.0f, 0.38f, 0.61666667f, 0.33333331f, 0.5f},
                                {-1.0f, 0.38f, -0.61666667f, 0.66666669f, 1.0f},
                                {1.0f, 0.38f, -0.61666667f, 0.66666669f, 0.5f}};
const GLushort kIndices[34] = {0,  1,  2,  3,  3,  4,  4,  5,  6,  7,  7,  8,  8,  9,  10, 11, 11,
                               12, 12, 13, 14, 15, 15, 16, 16, 17, 18, 19, 19, 20, 20, 21, 22, 23};

} // namespace

class TestResources : public QObject
{
    Q_OBJECT
private:
    QOffscreenSurface m_surface;
    std::unique_ptr<QOpenGLContext> m_context;

    std::unique_ptr<QOpenGLShaderProgram> linkedProgram()
    {
        auto program = std::make_unique<QOpenGLShaderProgram>();
        if (!program->addShaderFromSourceFile(QOpenGLShader::Vertex,
                                              QStringLiteral(":/vshader.glsl")) ||
            !program->addShaderFromSourceFile(QOpenGLShader::Fragment,
                                              QStringLiteral(":/fshader.glsl")) ||
            !program->link() || !program->bind()) {
            qWarning() << program->log();
            return nullptr;
        }
        return program;
    }

    // The box drawn the way the 3D view draws it, turned by angle degrees about axis.
    QImage renderBox(float angle, const QVector3D &axis)
    {
        const QSize size(200, 200);
        QOpenGLFramebufferObject fbo(size, QOpenGLFramebufferObject::CombinedDepthStencil);
        fbo.bind();
        QOpenGLFunctions *f = m_context->functions();
        f->glViewport(0, 0, size.width(), size.height());
        f->glClearColor(0, 0, 0, 1);
        f->glEnable(GL_DEPTH_TEST);
        f->glEnable(GL_CULL_FACE);
        f->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

        auto program = linkedProgram();
        if (!program)
            return QImage();
        QOpenGLTexture texture(QImage(kAtlas).mirrored());
        texture.setMinificationFilter(QOpenGLTexture::Nearest);
        texture.setMagnificationFilter(QOpenGLTexture::Linear);
        texture.setWrapMode(QOpenGLTexture::Repeat);
        texture.bind();

        QOpenGLBuffer vertices;
        vertices.create();
        vertices.bind();
        vertices.allocate(kVertices, sizeof kVertices);
        QOpenGLBuffer indices(QOpenGLBuffer::IndexBuffer);
        indices.create();
        indices.bind();
        indices.allocate(kIndices, sizeof kIndices);

        QMatrix4x4 projection;
        projection.perspective(45.0f, 1.0f, 3.0f, 70.0f);
        QMatrix4x4 model;
        model.translate(0, 0, -5);
        model.rotate(angle, axis);
        program->setUniformValue("mvp_matrix", projection * model);
        program->setUniformValue("texture", 0);
        const int position = program->attributeLocation("a_position");
        program->enableAttributeArray(position);
        program->setAttributeBuffer(position, GL_FLOAT, 0, 3, 5 * sizeof(float));
        const int texcoord = program->attributeLocation("a_texcoord");
        program->enableAttributeArray(texcoord);
        program->setAttributeBuffer(texcoord, GL_FLOAT, 3 * sizeof(float), 2, 5 * sizeof(float));
        f->glDrawElements(GL_TRIANGLE_STRIP, 34, GL_UNSIGNED_SHORT, nullptr);

        QImage picture = fbo.toImage();
        fbo.release();
        return picture;
    }

private slots:
    void initTestCase()
    {
        m_surface.create();
        m_context = std::make_unique<QOpenGLContext>();
        QVERIFY2(m_context->create(), "no OpenGL context (run under Xvfb)");
        QVERIFY(m_context->makeCurrent(&m_surface));
    }

    void iconsLoad()
    {
        for (const char *name : kIcons) {
            const QString path = QStringLiteral(":/Lumeno/") + QLatin1String(name);
            QVERIFY2(!QPixmap(path).isNull(), qPrintable(path));
            QVERIFY2(!QIcon(path).isNull(), qPrintable(path));
        }
        QVERIFY(QPixmap(QStringLiteral(":/Lumeno/mainWindow-icon")).width() >= 200);
    }

    void atlasHasSixDistinctFaces()
    {
        const QImage atlas(kAtlas);
        QCOMPARE(atlas.size(), QSize(1650, 1100));
        QList<QRgb> colours;
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 3; ++column)
                colours << faceColour(atlas, column, row);
        for (int i = 0; i < colours.size(); ++i)
            for (int j = i + 1; j < colours.size(); ++j)
                QVERIFY2(colourDistance(colours[i], colours[j]) > 120,
                         qPrintable(QStringLiteral("tiles %1 and %2 look alike").arg(i).arg(j)));
    }

    void shadersCompileAndLink()
    {
        auto program = linkedProgram();
        QVERIFY(program);
        QVERIFY(program->attributeLocation("a_position") >= 0);
        QVERIFY(program->attributeLocation("a_texcoord") >= 0);
        QVERIFY(program->uniformLocation("mvp_matrix") >= 0);
        QVERIFY(program->uniformLocation("texture") >= 0);
    }

    // The face turned towards the camera is the one the mesh maps it to: unturned the front
    // (+z, bottom-left tile); a quarter turn about the vertical brings the -x face (bottom-right
    // tile); tipping the box forwards shows its top with the unit's name (top-middle tile).
    void meshShowsTheRightFace_data()
    {
        QTest::addColumn<float>("angle");
        QTest::addColumn<QVector3D>("axis");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::newRow("front") << 0.0f << QVector3D(0, 1, 0) << 0 << 1;
        QTest::newRow("left") << 90.0f << QVector3D(0, 1, 0) << 2 << 1;
        QTest::newRow("right") << -90.0f << QVector3D(0, 1, 0) << 0 << 0;
        QTest::newRow("back") << 180.0f << QVector3D(0, 1, 0) << 2 << 0;
        QTest::newRow("top") << 90.0f << QVector3D(1, 0, 0) << 1 << 0;
        QTest::newRow("bottom") << -90.0f << QVector3D(1, 0, 0) << 1 << 1;
    }

    void meshShowsTheRightFace()
    {
        QFETCH(float, angle);
        QFETCH(QVector3D, axis);
        QFETCH(int, column);
        QFETCH(int, row);
        const QImage picture = renderBox(angle, axis);
        QVERIFY(!picture.isNull());
        const QRgb seen = commonestColour(picture, picture.rect(), true);
        const QRgb expected = faceColour(QImage(kAtlas), column, row);
        QVERIFY2(colourDistance(seen, expected) < 24,
                 qPrintable(
                     QStringLiteral("seen %1, expected %2").arg(seen, 0, 16).arg(expected, 0, 16)));
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
