// What each platform backend provides to the portable factories in overrides.cpp.
// Only those two places include this header.
#pragma once

#include <memory>

#include "platform/code_pages.h"
#include "platform/request_object.h"
#include "platform/stream_object.h"

namespace quorvel::backend {

CodePages& PlatformCodePages();
std::unique_ptr<StreamObject> CreatePlatformStreamObject();
std::shared_ptr<RequestObject> CreatePlatformRequestObject();

}  // namespace quorvel::backend
