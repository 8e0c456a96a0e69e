// The application attached to a fresh recording window for one test: the package and the
// service host are reset before and after, and the window's threads are joined before it
// goes away. Header-only; for tests of src/app.
#pragma once

#include "app/app.h"
#include "fakes/fake_window.h"

namespace quorvel::test {

class AppHarness {
 public:
  AppHarness() {
    ReleasePackage();
    SetServiceHostForTesting({});
    AttachWindow(&window);
  }
  ~AppHarness() {
    window.FinishThreads();
    AttachWindow(nullptr);
    ReleasePackage();
    SetServiceHostForTesting({});
  }
  AppHarness(const AppHarness&) = delete;
  AppHarness& operator=(const AppHarness&) = delete;

  FakeWindow window;
};

}  // namespace quorvel::test
