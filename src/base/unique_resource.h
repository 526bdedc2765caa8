#pragma once
#include <utility>

namespace orv {

// Owns one resource of a kind described by Traits and releases it once. Traits provides:
//   using Handle = ...;                 the resource's value type (a handle or a pointer)
//   static Handle Null();               the value that holds nothing
//   static bool IsValid(Handle h);      true when h holds a resource to release
//   static void Close(Handle h);        releases a valid h
template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  ~UniqueResource() { reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  // The value, still owned; Traits::Null() when nothing is held.
  Handle get() const { return handle_; }
  // True when a valid resource is held.
  explicit operator bool() const { return Traits::IsValid(handle_); }
  // Gives up ownership without releasing; returns the value held.
  Handle release() { return std::exchange(handle_, Traits::Null()); }
  // Releases what is held, if valid, and takes handle.
  void reset(Handle handle = Traits::Null()) {
    const Handle old = std::exchange(handle_, handle);
    if (Traits::IsValid(old)) Traits::Close(old);
  }
  // Releases what is held and returns where a function may store a new value (an out parameter).
  Handle* out() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Null();
};

}  // namespace orv
