// What the fake editor plug-in draws: a one-pixel magenta border around four coloured quadrants
// that meet at (width / 2, height / 2). Shared by the plug-in and the tests that check its
// screenshots.
#pragma once

#include <windows.h>

// Odd sizes: the rows of a 24-bit screenshot of them need padding.
constexpr int kFakeWideSize[2] = {301, 197};
constexpr int kFakeTallSize[2] = {199, 305};
constexpr COLORREF kFakeBorder = RGB(255, 0, 255);
// Top left, top right, bottom left, bottom right; a click on quadrant i is an edit gesture on
// parameter i ending at the value (i + 1) / 8.
constexpr COLORREF kFakeQuadrants[4] = {RGB(200, 30, 30), RGB(30, 160, 60), RGB(40, 70, 210),
                                        RGB(240, 220, 60)};
