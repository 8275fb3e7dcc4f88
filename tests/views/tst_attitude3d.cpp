#include "common/Language.h"
#include "views/AttitudeMath.h"
#include "views/attributeLabel.h"
#include "views/combineWidget.h"
#include "views/openGLwidget.h"

#include <QHash>
#include <QtTest>

namespace {

constexpr int tile = 550; // the atlas is 3 x 2 tiles

// The commonest colour of an area, black (the background) left out when asked.
QRgb commonestColour(const QImage &image, const QRect &area, bool skipBlack)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y) | 0xff000000u;
            if (!skipBlack || qRed(c) + qGreen(c) + qBlue(c) >= 30)
                ++counts[c];
        }
    QRgb best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(best))
            best = it.key();
    return best;
}

// Index (column + 3 * row, rows from the top of the image) of the atlas tile whose face
// colour is nearest to the colour.
int nearestTile(const QImage &atlas, QRgb colour)
{
    const auto distance = [colour](QRgb a) {
        return qAbs(qRed(a) - qRed(colour)) + qAbs(qGreen(a) - qGreen(colour)) +
               qAbs(qBlue(a) - qBlue(colour));
    };
    int best = 0;
    QVector<int> d;
    for (int i = 0; i < 6; ++i) {
        d << distance(
            commonestColour(atlas, QRect((i % 3) * tile, (i / 3) * tile, tile, tile), false));
        best = d[i] < d[best] ? i : best;
    }
    return best;
}

// The atlas is mirrored on upload, so v in [0, 0.5] is the lower row of the image.
constexpr int frontTile = 3;  // +z face: u 0..1/3, v 0..0.5
constexpr int bottomTile = 4; // -y face: u 1/3..2/3, v 0..0.5
constexpr int leftTile = 5;   // -x face: u 2/3..1, v 0..0.5

} // namespace

class TestAttitude3d : public QObject
{
    Q_OBJECT
private:
    QImage m_atlas;

    int tileFacingViewer(openGLwidget &scene)
    {
        const QImage frame = scene.grabFramebuffer();
        const QRgb face = commonestColour(frame, frame.rect(), true);
        return nearestTile(m_atlas, face);
    }

private slots:
    void initTestCase()
    {
        Language::setChinese(false);
        m_atlas = QImage(QStringLiteral(":/Lumeno/openGL-textures"));
        QCOMPARE(m_atlas.size(), QSize(1650, 1100));
    }

    void readoutLinesInEnglishAndChinese()
    {
        attributeLabel english;
        english.setAngles(1.5f, -12.345f, 359.999f);
        QCOMPARE(english.lines(),
                 (QStringList{QStringLiteral("Roll : -12.35"), QStringLiteral("Pitch:   1.50"),
                              QStringLiteral("Yaw  : 360.00")}));
        Language::setChinese(true);
        attributeLabel chinese;
        Language::setChinese(false);
        QCOMPARE(chinese.lines().first(), QStringLiteral("横滚   :   0.00"));
    }

    void boxTurnsWithTheQuaternion()
    {
        combineWidget w;
        w.resize(400, 360);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        openGLwidget &scene = *w.scene();
        QVERIFY(scene.isValid());
        QTRY_VERIFY(scene.isSceneReady());
        QVERIFY(w.readout()->width() > w.width() / 2); // room for the lines drawn at 20 %

        // Before any quaternion: unrotated, the +z face towards the viewer.
        QCOMPARE(tileFacingViewer(scene), frontTile);

        // 90 degrees about the unit's third axis turns the box about the screen's vertical:
        // the -x face comes round to the front.
        w.setQuaternion(0.7071068, 0, 0, 0.7071068);
        QCOMPARE(tileFacingViewer(scene), leftTile);

        // 90 degrees about the unit's first axis (drawn along -x) tips the -y face forward.
        w.setQuaternion(0.7071068, 0.7071068, 0, 0);
        QCOMPARE(tileFacingViewer(scene), bottomTile);

        // A q0 rounded just above 1 still draws (clamped, unrotated).
        w.setQuaternion(1.000001, 0, 0, 0);
        QCOMPARE(tileFacingViewer(scene), frontTile);
    }

    // The box is drawn again only for a turn that shows, and a burst of attitudes gives one
    // drawing, of the newest.
    void sceneIsDrawnOnlyWhenTheBoxTurnsVisibly()
    {
        combineWidget w;
        w.resize(400, 360);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        openGLwidget &scene = *w.scene();
        QTRY_VERIFY(scene.isSceneReady());
        w.setQuaternion(1, 0, 0, 0);
        scene.grabFramebuffer();
        const int drawn = scene.scenesDrawn();

        const double tiny = AttitudeMath::visibleTurn(scene.height()) / 4; // radians
        w.setQuaternion(std::cos(tiny / 2), 0, 0, std::sin(tiny / 2));
        scene.grabFramebuffer();
        QCOMPARE(scene.scenesDrawn(), drawn);

        for (int i = 1; i <= 90; ++i) {
            const double a = i * M_PI / 180.0; // up to 90 degrees about the third axis
            w.setQuaternion(std::cos(a / 2), 0, 0, std::sin(a / 2));
        }
        QTRY_COMPARE(scene.scenesDrawn(), drawn + 1);
        QCOMPARE(tileFacingViewer(scene), leftTile);
        QCOMPARE(scene.scenesDrawn(), drawn + 1);
    }
};

QTEST_MAIN(TestAttitude3d)
#include "tst_attitude3d.moc"
