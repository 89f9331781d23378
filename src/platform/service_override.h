// The test seam of every platform service: a process-wide replacement that a test installs for a
// scope, and the accessor that prefers it to the native implementation.
//
// Each service names its guard after itself (using ScopedFileSystem = ScopedOverride<FileSystem>)
// and defines its accessor with currentService(). Replacements nest: a guard puts back whatever was
// in place when it was made, so guards must end in the reverse order of their making, as scopes do.
// The pointer is not guarded against other threads: tests install replacements from one thread.
#pragma once

namespace kz::platform {

template <class Service>
class ScopedOverride {
 public:
  explicit ScopedOverride(Service& replacement) : previous_(installed_) { installed_ = &replacement; }
  ~ScopedOverride() { installed_ = previous_; }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

  // The innermost replacement in place, or nullptr when none is.
  static Service* installed() { return installed_; }

 private:
  // One pointer per service type in the whole program (an inline variable of a class template).
  static inline Service* installed_ = nullptr;
  Service* previous_;
};

// The service to use: the replacement a test installed, else the one native() returns.
template <class Service>
Service& currentService(Service& (*native)()) {
  Service* replacement = ScopedOverride<Service>::installed();
  return replacement != nullptr ? *replacement : native();
}

}  // namespace kz::platform
