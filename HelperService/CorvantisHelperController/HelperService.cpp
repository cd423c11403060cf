#include "HelperService/CorvantisHelperController/HelperService.hpp"

namespace corvantis {

namespace {
std::shared_ptr<CorvantisHelperController>& holder() {
    static std::shared_ptr<CorvantisHelperController> controller;
    return controller;
}
}  // namespace

std::shared_ptr<CorvantisHelperController> HelperService::shared() {
    return holder();
}

void HelperService::setShared(std::shared_ptr<CorvantisHelperController> controller) {
    holder() = std::move(controller);
}

}  // namespace corvantis
