// std::make_unique_for_overwrite for standard libraries that lack it (Emscripten 3.1's libc++
// before version 15). Included ahead of every file by the web build alone.
#pragma once

#include <memory>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 15000
namespace std {

template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t count) {
  return unique_ptr<T>(new remove_extent_t<T>[count]);
}

template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
  return unique_ptr<T>(new T);
}

}  // namespace std
#endif
