// Owners of the COM and Win32 resources the Windows program holds: an
// interface reference, a BSTR, a VARIANT and an array of them, the strings
// of an EXCEPINFO, a thread's COM initialisation and a loaded module. Each
// releases what it owns exactly once, on every path, so no code releases by
// hand. Object is the one reference-counted base of the program's own COM
// objects.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

#include <atomic>
#include <utility>
#include <vector>

namespace brevane::com {

// One reference to an interface.
template <class T>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller already holds.
  static Ref Adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  static Ref Share(T* p) {
    if (p) p->AddRef();
    return Adopt(p);
  }
  Ref(const Ref& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Ref() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For an out parameter: releases what is held, then receives a new
  // reference.
  T** Receive() {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  // Hands the reference to a caller's out parameter.
  T* Detach() { return std::exchange(p_, nullptr); }

  // The object's other interface, or empty.
  template <class U>
  Ref<U> As(REFIID iid) const {
    Ref<U> other;
    if (p_ && FAILED(p_->QueryInterface(iid, other.ReceiveVoid()))) other.Reset();
    return other;
  }

 private:
  T* p_ = nullptr;
};

// A BSTR.
class Bstr {
 public:
  Bstr() = default;
  Bstr(const wchar_t* text, UINT length) : b_(SysAllocStringLen(text, length)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }
  BSTR get() const { return b_; }
  BSTR* Receive() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  UINT length() const { return b_ ? SysStringLen(b_) : 0; }

 private:
  BSTR b_ = nullptr;
};

// A VARIANT, cleared when it goes.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }

 private:
  VARIANT v_;
};

// VARIANTs laid out one after the other, as DISPPARAMS takes them.
class VariantArray {
 public:
  explicit VariantArray(std::size_t count) : v_(count) {
    for (VARIANT& v : v_) VariantInit(&v);
  }
  VariantArray(const VariantArray&) = delete;
  VariantArray& operator=(const VariantArray&) = delete;
  ~VariantArray() {
    for (VARIANT& v : v_) VariantClear(&v);
  }
  VARIANT* data() { return v_.empty() ? nullptr : v_.data(); }
  VARIANT& operator[](std::size_t i) { return v_[i]; }
  std::size_t size() const { return v_.size(); }

 private:
  std::vector<VARIANT> v_;
};

// The strings an IDispatch::Invoke may leave in its exception record.
class ExceptionInfo {
 public:
  ExceptionInfo() = default;
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
  ~ExceptionInfo() {
    SysFreeString(e_.bstrSource);
    SysFreeString(e_.bstrDescription);
    SysFreeString(e_.bstrHelpFile);
  }
  EXCEPINFO* get() { return &e_; }

 private:
  EXCEPINFO e_{};
};

// COM on the calling thread for the owner's lifetime; balanced only when it
// succeeded (S_FALSE, already initialised, counts too).
class Initialised {
 public:
  Initialised() : hr_(CoInitialize(nullptr)) {}
  Initialised(const Initialised&) = delete;
  Initialised& operator=(const Initialised&) = delete;
  ~Initialised() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// A loaded module, freed when it goes.
class Module {
 public:
  explicit Module(const char* name) : m_(LoadLibraryA(name)) {}
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module() {
    if (m_) FreeLibrary(m_);
  }
  HMODULE get() const { return m_; }

 private:
  HMODULE m_;
};

// The reference count and IUnknown of one of the program's own COM objects.
// Derived lists its interfaces as bases and gives each one out through its
// own Find(iid) (null for any other); IUnknown is answered here. It starts
// with one reference, the creator's, and deletes itself when the last one
// goes.
template <class Derived, class First, class... Rest>
class Object : public First, public Rest... {
 public:
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = IsEqualIID(iid, IID_IUnknown) ? static_cast<First*>(this) : static_cast<Derived*>(this)->Find(iid);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  Object() = default;
  ~Object() = default;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace brevane::com
