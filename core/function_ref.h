// A callable passed down without being owned or copied: what a function
// takes to call back (a frame's progress, say) when it cannot be a
// template, as behind a virtual call. It never allocates, so frames that
// take one still allocate nothing. The callable must outlive every call.
#pragma once

#include <type_traits>
#include <utility>

namespace basin {

template <class Signature>
class FunctionRef;

template <class Result, class... Args>
class FunctionRef<Result(Args...)> {
 public:
  template <class Callable,
            class = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, FunctionRef>>>
  FunctionRef(Callable&& callable)  // NOLINT: converts like a function pointer
      : object_(const_cast<void*>(static_cast<const void*>(&callable))),
        call_([](void* object, Args... args) -> Result {
          return (*static_cast<std::remove_reference_t<Callable>*>(object))(
              std::forward<Args>(args)...);
        }) {}

  Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  Result (*call_)(void*, Args...);
};

}  // namespace basin
