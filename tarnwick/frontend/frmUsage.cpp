#include "frmUsage.h"

#include <memory>

#include "platform/ComponentLoader.h"
#include "quillet/MemoryPropertyStore.h"

namespace tarnwick::frmUsage {

namespace {
// The form's stored data for the control: its extent and nothing else.
quillet::MemoryPropertyStore& formData() {
  static quillet::MemoryPropertyStore store = [] {
    quillet::MemoryPropertyStore extent;
    extent.writeProperty("_ExtentX", int32_t{1323}, int32_t{0});
    extent.writeProperty("_ExtentY", int32_t{794}, int32_t{0});
    return extent;
  }();
  return store;
}
}  // namespace

void Load(ProgramObjects& objects) {
  auto* control = static_cast<quillet::IucQuillet*>(platform::createComponent(kReaderComponent));
  std::unique_ptr<quillet::IucQuillet> owned(control);
  owned->attachHost(&formData(), false);
  owned->UserControl_ReadProperties(formData());
  objects.readerControl = std::move(owned);
}

void Unload(ProgramObjects& objects) { objects.readerControl.reset(); }

}  // namespace tarnwick::frmUsage
