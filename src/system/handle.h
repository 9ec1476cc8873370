// One owner for every handle the system gives out: it closes with its pair on
// every path, moves but never copies. Each kind of handle is a row of traits.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueHandle() { Close(); }

  Type Get() const { return handle_; }
  explicit operator bool() const { return Traits::Valid(handle_); }
  // For a call that hands the handle back through a pointer; whatever was held is closed first.
  Type* Out() {
    Close();
    return &handle_;
  }
  Type Release() { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(Type handle) {
    Close();
    handle_ = handle;
  }
  // Closes now, for a caller that must know whether the close succeeded (a
  // written file's last data can fail there). True when nothing was held.
  bool Close() {
    if (!Traits::Valid(handle_)) return true;
    return Traits::Close(Release());
  }

 private:
  Type handle_ = Traits::Invalid();
};

// Files, mutexes, threads: CreateFileW gives INVALID_HANDLE_VALUE on failure, most others null.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(const void* handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(Type handle) { return CloseHandle(handle) != FALSE; }
};

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(const void* handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(Type handle) { return FindClose(handle) != FALSE; }
};

struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static bool Valid(const HKEY__* key) { return key != nullptr; }
  static bool Close(Type key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};

// A COM interface pointer: one reference held, released with it.
template <typename Interface>
struct ComTraits {
  using Type = Interface*;
  static Type Invalid() { return nullptr; }
  static bool Valid(const Interface* pointer) { return pointer != nullptr; }
  static bool Close(Type pointer) {
    pointer->Release();
    return true;
  }
};

using Handle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;

template <typename Interface>
class ComPtr : public UniqueHandle<ComTraits<Interface>> {
 public:
  using UniqueHandle<ComTraits<Interface>>::UniqueHandle;
  Interface* operator->() const { return this->Get(); }
  // For the calls that hand an interface back as void** (CoCreateInstance, QueryInterface).
  void** Void() { return reinterpret_cast<void**>(this->Out()); }
};

}  // namespace platform
