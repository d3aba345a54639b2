// The one owner of a platform handle, for every handle kind the program opens.
#pragma once

#include <memory>
#include <type_traits>

namespace tembra {

// Traits name the handle type (`Handle`) and the call that closes one (`close`, whose answer
// is of no use: nothing is left to do with the handle). The empty value is the null handle,
// which is what the platform's open and create calls of these kinds give for none.
// A UniqueHandle is moved, never copied, and closes a non-null handle exactly once: when it
// goes away or is assigned another. A moved-from one holds null.
template <class Traits>
class [[nodiscard]] UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  explicit UniqueHandle(Handle handle) noexcept : owner_(handle) {}

  // Lent: the caller neither closes nor keeps it.
  Handle get() const noexcept { return owner_.get(); }

 private:
  struct Close {
    using pointer = Handle;
    void operator()(Handle handle) const noexcept { Traits::close(handle); }
  };

  std::unique_ptr<std::remove_pointer_t<Handle>, Close> owner_;
};

}  // namespace tembra
