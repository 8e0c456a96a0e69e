// Per-call initialisation of the component runtime on the calling thread. The Windows backend
// initialises COM; elsewhere both calls do nothing.
#pragma once

namespace quorvel {

void ComInitialize();
void ComUninitialize();

// Initialises on construction and uninitialises on every way out of the scope.
class ComScope {
 public:
  ComScope() { ComInitialize(); }
  ~ComScope() { ComUninitialize(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
};

}  // namespace quorvel
