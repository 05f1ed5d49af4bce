#pragma once
// The controls' property setters store a value and repaint only when it changed.
namespace vlt::controls {

template <class T, class V>
bool StoreChanged(T& field, const V& value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace vlt::controls
