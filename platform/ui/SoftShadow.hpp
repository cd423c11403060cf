#pragma once

#include "platform/ui/BezierPath.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/GraphicsContext.hpp"

namespace platform::ui {

// Paints a soft shadow around `outline`, moved by `offset`: the outline stroked ever thinner, each
// pass adding a little of `color`, so that the shade fades out over `radius` points from the edge.
// What casts it is drawn over it afterwards.
void paintSoftShadow(GraphicsContext& context, BezierPath outline, Point offset, double radius, const Color& color);

}  // namespace platform::ui
