#pragma once

#include "HelperService/CorvantisHelperController/CorvantisHelperController.hpp"

#include <memory>

namespace corvantis {

// Holds the process's one helper client. Empty until the application has installed the helper.
// Main queue only.
class HelperService {
public:
    static std::shared_ptr<CorvantisHelperController> shared();
    static void setShared(std::shared_ptr<CorvantisHelperController> controller);
};

}  // namespace corvantis
