// The portable half of run-time libraries: the entry-point tables.
#include "platform/dynamic_library.h"

namespace vlt::platform {

EntryPointBase::EntryPointBase(EntryPointTable& table, const char* name, Need need)
    : name_(name), need_(need) {
  table.entries_.push_back(this);
}

bool EntryPointTable::Resolve(const DynamicLibrary& library) {
  missing_.clear();
  library_ = library.Name();
  for (EntryPointBase* entry : entries_) {
    entry->address_ = library.IsOpen() ? library.Find(entry->name_) : nullptr;
    if (entry->address_ == nullptr && entry->Required() && missing_.empty()) {
      missing_ = entry->name_;
    }
  }
  if (missing_.empty()) return true;
  Clear();
  return false;
}

void EntryPointTable::Clear() {
  for (EntryPointBase* entry : entries_) entry->address_ = nullptr;
}

std::string EntryPointTable::MissingEntryText() const {
  if (missing_.empty()) return {};
  return "Entry point \"" + missing_ + "\" not found in " + library_;
}

}  // namespace vlt::platform
