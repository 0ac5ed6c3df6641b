#pragma once

// Keeps the point (x + width/2, y + height/2) in the middle of the WINDOW_SIZE square
// window, but never shows world coordinates below 0. cameraPosition is the world point at
// the window's top-left pixel, x then y.
void UpdateCamera(float* cameraPosition, float x, float y, int width, int height);
