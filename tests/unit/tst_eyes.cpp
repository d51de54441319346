#include "head/eyeinfo.h"
#include "head/geometry.h"

#include <QtTest>
#include <cmath>

namespace {
// The program's sockets; the worked values below are what they must give.
const EyeInfo &Eye0 = EyeSockets[0];
const EyeInfo &Eye1 = EyeSockets[1];
constexpr float PupilWidth = PupilPictureSize.width;
constexpr float PupilHeight = PupilPictureSize.height;
} // namespace

class TestEyes : public QObject
{
    Q_OBJECT

private slots:
    void workedValues_data();
    void workedValues();
    void staysOnEllipse_data();
    void staysOnEllipse();
    void pointerOnCentre();
};

void TestEyes::workedValues_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<double>("left0");
    QTest::addColumn<double>("top0");
    QTest::addColumn<double>("left1");
    QTest::addColumn<double>("top1");
    QTest::newRow("far right") << 200.f << 81.f << 28.5 << 78.0 << 68.5 << 78.0;
    QTest::newRow("on eye 0") << 26.f << 81.f << 23.5 << 78.0 << 58.5 << 78.0;
    QTest::newRow("between the eyes") << 46.f << 81.f << 28.5 << 78.0 << 58.5 << 78.0;
    QTest::newRow("above eye 1") << 66.f << 0.f << 25.714 << 75.310 << 63.5 << 75.0;
    QTest::newRow("below, between") << 46.f << 101.f << 27.036 << 80.121 << 59.964 << 80.121;
}

void TestEyes::workedValues()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(double, left0);
    QFETCH(double, top0);
    QFETCH(double, left1);
    QFETCH(double, top1);
    const PupilPlace p0 = PlacePupil(Eye0, x, y, PupilWidth, PupilHeight);
    const PupilPlace p1 = PlacePupil(Eye1, x, y, PupilWidth, PupilHeight);
    QVERIFY2(std::abs(p0.left - left0) < 0.001, qPrintable(QString::number(p0.left)));
    QVERIFY2(std::abs(p0.top - top0) < 0.001, qPrintable(QString::number(p0.top)));
    QVERIFY2(std::abs(p1.left - left1) < 0.001, qPrintable(QString::number(p1.left)));
    QVERIFY2(std::abs(p1.top - top1) < 0.001, qPrintable(QString::number(p1.top)));
}

void TestEyes::staysOnEllipse_data()
{
    QTest::addColumn<double>("distance");
    for (double distance : { 0.5, 1.0, 3.0, 10.0, 100.0, 5000.0, 1e6 })
        QTest::newRow(qPrintable(QString::number(distance))) << distance;
}

void TestEyes::staysOnEllipse()
{
    QFETCH(double, distance);
    for (int degrees = 0; degrees < 360; degrees += 3) {
        const double angle = qDegreesToRadians(double(degrees));
        const float x = float(Eye0.CenterX + distance * std::cos(angle));
        const float y = float(Eye0.CenterY + distance * std::sin(angle));
        const PupilPlace p = PlacePupil(Eye0, x, y, PupilWidth, PupilHeight);
        const double cx = p.left + PupilWidth / 2;
        const double cy = p.top + PupilHeight / 2;
        const double onEllipse = std::pow((cx - Eye0.CenterX) / Eye0.RangeX, 2)
            + std::pow((cy - Eye0.CenterY) / Eye0.RangeY, 2);
        QVERIFY2(std::abs(onEllipse - 1) < 1e-4, qPrintable(QString::number(degrees)));
        QVERIFY(cx >= 21 && cx <= 31 && cy >= 78 && cy <= 84);
        QVERIFY(p.left >= 18.5f && p.left <= 28.5f && p.top >= 75.f && p.top <= 81.f);
        // Turned toward the pointer, not away from it.
        QVERIFY((cx - Eye0.CenterX) * (x - Eye0.CenterX) >= -1e-4);
        QVERIFY((cy - Eye0.CenterY) * (y - Eye0.CenterY) >= -1e-4);
    }
}

void TestEyes::pointerOnCentre()
{
    const PupilPlace p0 = PlacePupil(Eye0, 26, 81, PupilWidth, PupilHeight);
    QCOMPARE(p0.left, 23.5f);
    QCOMPARE(p0.top, 78.f);
    const PupilPlace p1 = PlacePupil(Eye1, 26, 81, PupilWidth, PupilHeight);
    QCOMPARE(p1.left, 58.5f); // the other eye still looks at the pointer
    QCOMPARE(p1.top, 78.f);
}

QTEST_APPLESS_MAIN(TestEyes)
#include "tst_eyes.moc"
