#pragma once

namespace platform::render {

// What a process that draws sets up once, before it builds its screens: text measured with Pango
// as it is drawn (the shipped fonts registered), and named images drawn from the resources'
// files at the device scale.
class DrawingSetup {
public:
    static void install(double scale);
};

}  // namespace platform::render
