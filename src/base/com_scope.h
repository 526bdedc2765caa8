#pragma once

namespace orv {

// COM on the calling thread for the lifetime of the object: initialised (apartment-threaded) on
// construction, uninitialised on destruction when the initialisation succeeded. One object per
// thread that needs COM; it must be destroyed on the thread that made it.
class ComScope {
 public:
  // Initialises COM on this thread; ok() tells whether that succeeded.
  ComScope();
  // Uninitialises COM when the construction initialised it.
  ~ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

  // False when COM could not be initialised on this thread.
  bool ok() const { return initialised_; }

 private:
  bool initialised_ = false;
};

}  // namespace orv
