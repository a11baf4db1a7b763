// Owners of COM resources: interface pointers, VARIANTs and BSTRs, released when they
// go out of scope.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <string>
#include <string_view>
#include <utility>

namespace os::win32
{
    template <class T> class ComPtr
    {
      public:
        ComPtr() = default;
        // Takes over a reference that the caller holds.
        explicit ComPtr(T* adopted) : _p(adopted) {}
        ComPtr(const ComPtr&) = delete;
        ComPtr& operator=(const ComPtr&) = delete;
        ComPtr(ComPtr&& other) noexcept : _p(std::exchange(other._p, nullptr)) {}
        ComPtr& operator=(ComPtr&& other) noexcept
        {
            if (this != &other)
            {
                Reset();
                _p = std::exchange(other._p, nullptr);
            }
            return *this;
        }
        ~ComPtr() { Reset(); }

        T* Get() const { return _p; }
        T* operator->() const { return _p; }
        explicit operator bool() const { return _p != nullptr; }
        // For calls that return a new reference through T**.
        T** Put()
        {
            Reset();
            return &_p;
        }
        void** PutVoid() { return reinterpret_cast<void**>(Put()); }
        void Reset()
        {
            if (_p)
                std::exchange(_p, nullptr)->Release();
        }
        template <class U> HRESULT QueryInto(REFIID iid, ComPtr<U>& out) const
        {
            if (!_p)
                return E_POINTER;
            return _p->QueryInterface(iid, out.PutVoid());
        }

      private:
        T* _p = nullptr;
    };

    class Variant
    {
      public:
        Variant() { VariantInit(&_v); }
        Variant(const Variant&) = delete;
        Variant& operator=(const Variant&) = delete;
        ~Variant() { VariantClear(&_v); }
        VARIANT& Get() { return _v; }
        VARIANT* Ptr() { return &_v; }

        // A BSTR copy of the text; false when it could not be allocated.
        bool SetString(std::wstring_view text)
        {
            VariantClear(&_v);
            BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            if (!copy)
                return false;
            _v.vt = VT_BSTR;
            _v.bstrVal = copy;
            return true;
        }
        void SetBool(bool value)
        {
            VariantClear(&_v);
            _v.vt = VT_BOOL;
            _v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        }

      private:
        VARIANT _v;
    };

    // The text of a VARIANT of any type that converts to a string (by reference too).
    inline HRESULT VariantToString(const VARIANT& in, std::wstring& out)
    {
        Variant converted;
        HRESULT hr = VariantChangeType(converted.Ptr(), const_cast<VARIANT*>(&in), 0, VT_BSTR);
        if (FAILED(hr))
            return hr;
        const BSTR text = converted.Get().bstrVal;
        out.assign(text ? text : L"", text ? SysStringLen(text) : 0);
        return S_OK;
    }

    inline HRESULT VariantToLong(const VARIANT& in, long& out)
    {
        Variant converted;
        HRESULT hr = VariantChangeType(converted.Ptr(), const_cast<VARIANT*>(&in), 0, VT_I4);
        if (FAILED(hr))
            return hr;
        out = converted.Get().lVal;
        return S_OK;
    }
} // namespace os::win32
