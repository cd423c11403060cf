#pragma once

namespace platform {

// Makes every real collaborator those behind `Services`: what the helper has, plus the URL
// session, the locale, the crash reporter and the screen's text measuring, pasteboard and URL
// opener. The application, its tools and the test support call it first thing in `main`.
void installApplicationServices();

}  // namespace platform
