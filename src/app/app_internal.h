// What the files of the application share among themselves: the attached window, a shared
// snapshot of the package text and the service's URLs. Included by src/app only.
#pragma once

#include <memory>

#include "app/app.h"

namespace quorvel {

// The window set by AttachWindow; nullptr before it. Any thread.
Window* AttachedWindow();

// The current upload text as one immutable buffer, shared rather than copied; nullptr while
// no package was prepared (which reads as the empty text). Any thread.
std::shared_ptr<const Text> ShareEncodedPackage();

// "https://", the service host in force and path.
Text ServiceUrl(const Text& path);

}  // namespace quorvel
