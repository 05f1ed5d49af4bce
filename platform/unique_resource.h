#pragma once
// Move-only owner of one system resource (a handle, a descriptor, a library), on both systems.
#include <utility>

namespace vlt::platform {

// Owner of one resource described by Traits (Type, Invalid(), Close()).
template <typename Traits>
class UniqueResource {
 public:
  using T = typename Traits::Type;
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  T Get() const { return value_; }
  bool Valid() const { return value_ != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }
  T Release() { return std::exchange(value_, Traits::Invalid()); }
  void Reset(T value = Traits::Invalid()) {
    if (value_ != Traits::Invalid()) Traits::Close(value_);
    value_ = value;
  }
  // For APIs that fill an out-parameter; the current resource is released first.
  T* Put() {
    Reset();
    return &value_;
  }

 private:
  T value_ = Traits::Invalid();
};

}  // namespace vlt::platform
