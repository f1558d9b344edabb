// EMF pictures drawn through libEMF (test-only), kept apart from Qt's headers.
// Each picture's frame is 100 x 50 mm on libEMF's reference device.
#pragma once

#include <string>

namespace emfmaker {

// Left half red (rectangle), a blue ellipse centred in the right half.
std::string Shapes();
// Anisotropic mapping: window 1000 x 500 onto the frame; right half green.
std::string Mapped();
// World transform scaling by 2: a 80 x 80 rectangle covers the left half.
std::string WorldScaled();
// A filled triangle (16-bit points) and a Bézier: points (0,0) (320,0) (0,160).
std::string Triangle();
// Black text "HH" in a 60-pixel font at the top left.
std::string Text();
// The reference device's size: pixels and millimetres.
void Device(int &px, int &py, int &mmx, int &mmy);

} // namespace emfmaker
