// A COM callback object around a function: the browser's completion and
// event handlers are one-method interfaces, and each becomes a lambda here.
// The object counts its references itself and frees itself on the last
// Release, so whoever holds it (the browser, a ComPtr) releases it once.
#pragma once

#include <windows.h>

#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <utility>

namespace postern::shell {

template <typename Interface, typename... Args> class ComHandler final : public Interface {
public:
    using Function = std::function<HRESULT(Args...)>;

    // The interface's IID is passed in: the SDK's headers declare it as a
    // constant, which both compilers link, where __uuidof is MSVC's alone.
    [[nodiscard]] static Microsoft::WRL::ComPtr<Interface> Make(const IID& iid, Function function)
    {
        Microsoft::WRL::ComPtr<Interface> handler;
        handler.Attach(new ComHandler(iid, std::move(function)));
        return handler;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, iid_)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return references_.fetch_add(1) + 1; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = references_.fetch_sub(1) - 1;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(Args... args) override { return function_(args...); }

private:
    ComHandler(const IID& iid, Function function) : iid_(iid), function_(std::move(function)) {}
    ~ComHandler() = default;

    const IID iid_;
    Function function_;
    std::atomic<ULONG> references_{1}; // the creator's
};

} // namespace postern::shell
