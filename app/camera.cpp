#include "app/camera.h"

#include "app/rules.h"

void UpdateCamera(float* cameraPosition, float x, float y, int width, int height)
{
    cameraPosition[0] = static_cast<float>(width / 2) + x - HALF_WINDOW;
    cameraPosition[1] = static_cast<float>(height / 2) + y - HALF_WINDOW;
    if (cameraPosition[0] < 0)
        cameraPosition[0] = 0;
    if (cameraPosition[1] < 0)
        cameraPosition[1] = 0;
}
