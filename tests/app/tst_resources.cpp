#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPixmap>
#include <QtTest>

// The rendered faces of the box are checked on the 3D view's own framebuffer (tst_attitude3d);
// here only that every resource loads and the shaders build in a real OpenGL context.
class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void iconsAndAtlasLoad()
    {
        const char *const icons[] = {
            "mainWindow-icon", "file-export",     "file-exit",   "view-display",
            "view-data",       "view-imu",        "Velocity",    "Location",
            "UTC_new",         "TemperatureIcon", "group_state", "configure-calibrate",
            "export-record",   "stream-close",    "refresh",     "file-folder"};
        for (const char *name : icons) {
            const QString path = QStringLiteral(":/Lumeno/") + QLatin1String(name);
            QVERIFY2(!QPixmap(path).isNull() && !QIcon(path).isNull(), qPrintable(path));
        }
        QVERIFY(QPixmap(QStringLiteral(":/Lumeno/mainWindow-icon")).width() >= 200);
        QCOMPARE(QImage(QStringLiteral(":/Lumeno/openGL-textures")).size(), QSize(1650, 1100));
    }

    void shadersCompileAndLink()
    {
        QOffscreenSurface surface;
        surface.create();
        QOpenGLContext context;
        QVERIFY2(context.create(), "no OpenGL context (run under Xvfb)");
        QVERIFY(context.makeCurrent(&surface));
        QOpenGLShaderProgram program;
        QVERIFY(program.addShaderFromSourceFile(QOpenGLShader::Vertex, ":/vshader.glsl"));
        QVERIFY(program.addShaderFromSourceFile(QOpenGLShader::Fragment, ":/fshader.glsl"));
        QVERIFY2(program.link(), qPrintable(program.log()));
        QVERIFY(program.attributeLocation("a_position") >= 0);
        QVERIFY(program.attributeLocation("a_texcoord") >= 0);
        QVERIFY(program.uniformLocation("mvp_matrix") >= 0);
        QVERIFY(program.uniformLocation("texture") >= 0);
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
