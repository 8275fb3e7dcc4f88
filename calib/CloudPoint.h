#pragma once

// One point of the calibration point cloud: a calibrated field vector in single precision,
// in the order the 3D scatter graph takes it (graph X, Y, Z = field x, y, z).
struct CloudPoint
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};
