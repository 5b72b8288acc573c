#ifndef SCENEGEOMETRY_H
#define SCENEGEOMETRY_H

#include <QVector4D>

#include <cmath>

// Places for the scene tests to look at, in scene coordinates.
namespace SceneGeometry {

// The scene point that the scene's running point reaches as q after turns
// adding up to angleDegrees about y: the inverse of q = p * R(angle), where
// R turns (x, z) to (x cos r + z sin r, -x sin r + z cos r).
inline QVector4D wallPoint(double angleDegrees, double qx, double y, double qz)
{
    const double r = angleDegrees * M_PI / 180.0;
    return QVector4D(float(qx * std::cos(r) - qz * std::sin(r)), float(y),
                     float(qx * std::sin(r) + qz * std::cos(r)), 0.0f);
}

// Open ground: no wall within 2.5 of it, inside the bounding box.
constexpr float openX = -4.0f;
constexpr float openZ = 0.0f;

} // namespace SceneGeometry

#endif // SCENEGEOMETRY_H
