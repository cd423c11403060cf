#include "app/CitiesCellView.hpp"

#include "app/FontHelper.hpp"
#include "platform/ui/AutoresizingMask.hpp"

namespace corvantis {

namespace ui = platform::ui;

CitiesCellView::CitiesCellView(ui::Rect frame)
    : TableCellView(frame),
      imgLoad(std::make_shared<ui::ImageView>(ui::Rect(16, 11, 18, 18))),
      imgFlag(std::make_shared<ui::ImageView>(ui::Rect(16, 11, 24, 18))),
      txtName(std::make_shared<ui::TextField>(ui::Rect(52, 11, frame.width() - 96, 18))),
      btnFavourite(std::make_shared<ui::Button>(ui::Rect(frame.width() - 36, 12, 16, 16))) {
    imgLoad->setHidden(true);
    txtName->setEditable(false);
    txtName->setSelectable(false);
    txtName->setFont(montserratMediumFont(12));
    txtName->setTextColor(ui::Color::sRGB(37 / 255.0, 47 / 255.0, 88 / 255.0, 1.0));
    txtName->setAutoresizingMask(ui::AutoresizingMask::widthSizable);
    for (const auto& view : {std::static_pointer_cast<ui::View>(imgLoad), std::static_pointer_cast<ui::View>(imgFlag),
                             std::static_pointer_cast<ui::View>(txtName), std::static_pointer_cast<ui::View>(btnFavourite)}) {
        addSubview(view);
    }
    setImageView(imgFlag);
    setTextField(txtName);
}

}  // namespace corvantis
