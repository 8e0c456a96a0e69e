// The factories of the platform components: the backend's, unless a test put its own in
// place (tests install theirs before any thread that uses them starts).
#include <atomic>
#include <utility>

#include "platform/backend.h"
#include "platform/code_pages.h"
#include "platform/request_object.h"
#include "platform/stream_object.h"

namespace quorvel {
namespace {

std::atomic<CodePages*> codePagesOverride{nullptr};
std::function<std::unique_ptr<StreamObject>()> streamFactoryOverride;
std::function<std::shared_ptr<RequestObject>()> requestFactoryOverride;

}  // namespace

CodePages& SystemCodePages() {
  CodePages* pages = codePagesOverride.load();
  return pages != nullptr ? *pages : backend::PlatformCodePages();
}

void OverrideCodePages(CodePages* pages) { codePagesOverride.store(pages); }

std::unique_ptr<StreamObject> CreateStreamObject() {
  return streamFactoryOverride ? streamFactoryOverride() : backend::CreatePlatformStreamObject();
}

void OverrideStreamObjectFactory(std::function<std::unique_ptr<StreamObject>()> factory) {
  streamFactoryOverride = std::move(factory);
}

std::shared_ptr<RequestObject> CreateRequestObject() {
  return requestFactoryOverride ? requestFactoryOverride()
                                : backend::CreatePlatformRequestObject();
}

void OverrideRequestObjectFactory(std::function<std::shared_ptr<RequestObject>()> factory) {
  requestFactoryOverride = std::move(factory);
}

}  // namespace quorvel
