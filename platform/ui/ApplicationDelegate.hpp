#pragma once

namespace platform::ui {

// What the application tells its delegate; every call does nothing unless overridden.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    // Launching has finished; the run loop is about to take events.
    virtual void applicationDidFinishLaunching() {}
    // The application is about to end (`Application::terminate`).
    virtual void applicationWillTerminate() {}
};

}  // namespace platform::ui
