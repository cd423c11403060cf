#include "app/ConnectViewController.hpp"

#include "app/ConnectView.hpp"
#include "app/FontHelper.hpp"
#include "app/LocationButtonCell.hpp"
#include "platform/ui/Image.hpp"

namespace corvantis {

namespace {

using platform::ui::Rect;

// A label of the screen: one line of text that a person reads but does not edit.
std::shared_ptr<platform::ui::TextField> label(Rect frame, std::string text) {
    auto field = std::make_shared<platform::ui::TextField>(frame);
    field->setEditable(false);
    field->setSelectable(false);
    field->setFont(montserratMediumFont(12));
    field->setTextColor(platform::ui::Color::sRGB(37 / 255.0, 47 / 255.0, 88 / 255.0, 1.0));
    field->setStringValue(std::move(text));
    return field;
}

std::shared_ptr<platform::ui::ImageView> imageView(Rect frame, const char* name) {
    auto view = std::make_shared<platform::ui::ImageView>(frame);
    view->setImage(platform::ui::Image::named(name));
    return view;
}

// The screen as the storyboard lays it out: the animation behind the round connect button, the
// caption, the location pill with its icon, name and arrow, the duration and the settings button.
std::shared_ptr<platform::ui::View> loadConnectView(platform::ui::ViewController&) {
    auto view = std::make_shared<ConnectView>(Rect(0, 0, 300, 400));

    // The animation fills the container at the screen's size, centred on the connect button.
    view->viewContainer = std::make_shared<platform::ui::View>(Rect(0, 50, 300, 400));
    view->btnConnect = std::make_shared<ConnectButton>(Rect(100, 200, 100, 100));
    view->btnConnect->setTitle("");
    view->lblConnectTo = label(Rect(0, 118, 300, 18), "Connect to");
    view->lblConnectTo->setAlignment(platform::ui::TextAlignment::center);

    view->btnLocation = std::make_shared<LocationButton>(Rect(100, 80, 100, 30));
    view->btnLocation->setCell(std::make_shared<LocationButtonCell>());
    view->imgLocationIcon = imageView(Rect(8, 7, 16, 16), "LocationIcon");
    view->lblLocation = label(Rect(27, 6, 50, 18), "");
    view->imgLocationArrow = imageView(Rect(77, 9, 12, 12), "LocationArrow");
    view->btnLocation->lblLocation = view->lblLocation;
    view->btnLocation->addSubview(view->imgLocationIcon);
    view->btnLocation->addSubview(view->lblLocation);
    view->btnLocation->addSubview(view->imgLocationArrow);

    view->lblDuration = label(Rect(0, 45, 300, 18), "00:00:00");
    view->lblDuration->setAlignment(platform::ui::TextAlignment::center);
    view->lblDuration->setAlphaValue(0);
    view->lblDuration->setHidden(true);

    auto settings = std::make_shared<platform::ui::Button>(Rect(262, 362, 26, 26));
    settings->setTitle("");
    settings->setImage(platform::ui::Image::named("SettingsButton"));

    for (const std::shared_ptr<platform::ui::View>& subview :
         {view->viewContainer, std::static_pointer_cast<platform::ui::View>(view->btnConnect),
          std::static_pointer_cast<platform::ui::View>(view->lblConnectTo),
          std::static_pointer_cast<platform::ui::View>(view->btnLocation),
          std::static_pointer_cast<platform::ui::View>(view->lblDuration),
          std::static_pointer_cast<platform::ui::View>(settings)}) {
        view->addSubview(subview);
    }

    view->btnConnect->setTarget(view);
    view->btnConnect->setAction("btnConnectClick:");
    view->btnLocation->setTarget(view);
    view->btnLocation->setAction("btnLocationClick:");
    settings->setTarget(view);
    settings->setAction("btnSettingsClick:");
    return view;
}

}  // namespace

void ConnectViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "connectViewController", [] { return std::make_shared<ConnectViewController>(); }, loadConnectView);
}

}  // namespace corvantis
