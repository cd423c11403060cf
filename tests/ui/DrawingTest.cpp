#include "UiTestCase.hpp"

#include "platform/ui/BezierPath.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"
#include "platform/ui/View.hpp"

#include <gtest/gtest.h>

using platform::ui::AttributedString;
using platform::ui::BezierPath;
using platform::ui::Color;
using platform::ui::CompositingOperation;
using platform::ui::GraphicsContext;
using platform::ui::Image;
using platform::ui::Point;
using platform::ui::RecordingGraphicsContext;
using platform::ui::Rect;
using ElementType = platform::ui::BezierPath::ElementType;

namespace {

// A view that draws a little of everything, the way screens' custom views do.
class BadgeView : public platform::ui::View {
public:
    using View::View;
    std::shared_ptr<Image> icon = Image::make({16, 16});

    void draw(GraphicsContext& context, const Rect&) override {
        BezierPath shape;
        shape.setLineWidth(0);
        shape.moveTo({0, 0});
        shape.lineTo({bounds().maxX(), 0});
        shape.curveTo({bounds().maxX(), bounds().maxY()}, {bounds().maxX() + 1, 0}, {bounds().maxX(), 1});
        shape.closePath();
        context.fill(shape, Color::white());
        context.draw(icon, Rect(2, 2, 16, 16));
        context.draw(AttributedString("VPN"), Rect(20, 2, 30, 16));
        context.fill(bounds(), Color::clear(), CompositingOperation::sourceAtop);
    }
};

TEST(BezierPath, KeepsItsElementsAndPointsInAppKitsOrder) {
    BezierPath path;
    path.moveTo({1, 2});
    path.lineTo({3, 4});
    path.curveTo({9, 9}, {5, 6}, {7, 8});
    path.closePath();
    ASSERT_EQ(path.elements().size(), 4u);
    EXPECT_EQ(path.elements()[0], (BezierPath::Element{ElementType::moveTo, {{1, 2}}}));
    EXPECT_EQ(path.elements()[2], (BezierPath::Element{ElementType::curveTo, {{5, 6}, {7, 8}, {9, 9}}}));
    EXPECT_EQ(static_cast<int>(path.elements()[3].type), 3);
    EXPECT_TRUE(path.elements()[3].points.empty());
    EXPECT_EQ(path.lineWidth(), 1.0);
}

TEST(RecordingGraphicsContext, KeepsEveryCallInOrder) {
    auto badge = std::make_shared<BadgeView>(Rect(0, 0, 60, 20));
    RecordingGraphicsContext context;
    badge->draw(context, badge->bounds());

    const auto& operations = context.operations();
    ASSERT_EQ(operations.size(), 4u);
    const auto& fill = std::get<RecordingGraphicsContext::FillPath>(operations[0]);
    EXPECT_EQ(fill.color, Color::white());
    EXPECT_EQ(fill.path.lineWidth(), 0.0);
    EXPECT_EQ(fill.path.elements().back().type, ElementType::closePath);
    EXPECT_EQ(std::get<RecordingGraphicsContext::DrawImage>(operations[1]).image, badge->icon);
    EXPECT_EQ(std::get<RecordingGraphicsContext::DrawText>(operations[2]).text.string(), "VPN");
    const auto& last = std::get<RecordingGraphicsContext::FillRect>(operations[3]);
    EXPECT_EQ(last.rect, Rect(0, 0, 60, 20));
    EXPECT_EQ(last.operation, CompositingOperation::sourceAtop);
}

TEST(View, DrawsNothingOfItsOwnByDefault) {
    auto plain = std::make_shared<platform::ui::View>(Rect(0, 0, 10, 10));
    RecordingGraphicsContext context;
    plain->draw(context, plain->bounds());
    EXPECT_TRUE(context.operations().empty());
    EXPECT_FALSE(plain->needsDisplay());
    plain->setFrameSize({20, 10});
    EXPECT_TRUE(plain->needsDisplay());  // a new size must be drawn again
}

}  // namespace
