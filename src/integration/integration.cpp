#include "integration/integration.h"

#include "base/result_codes.h"
#include "base/text_conversion.h"

#include <mutex>

namespace cv {
namespace tesdk {
namespace {

constexpr ResultCode ErrorFileNotFound{2};
constexpr ResultCode ErrorInvalidParameter = result::InvalidParameter;
constexpr ResultCode ErrorNoInstance = result::InvalidState;
constexpr ResultCode ErrorUnverifiedImage{577};  // ERROR_INVALID_IMAGE_HASH

std::string_view TextOrEmpty(const char* text) { return text != nullptr ? std::string_view(text) : std::string_view(); }

}  // namespace

Integration::Integration()
{
    callbacks_.size = sizeof(SdkCallbacks);
}

Integration::~Integration() { Uninitialize(); }

void Integration::OnNotification(std::string_view, std::string_view) {}

void Integration::OnResponse(std::string_view, ResultCode, std::string_view) {}

// The context is the registration's identity, not the object: a callback of
// an ended registration never reaches the object.
void Integration::ForwardNotification(void* context, const char* name, const char* data)
{
    const CallbackGate::Pass pass(context);
    if (auto* self = static_cast<Integration*>(pass.Owner()))
        self->OnNotification(TextOrEmpty(name), TextOrEmpty(data));
}

void Integration::ForwardResponse(void* context, const char* requestId, uint32_t result, const char* response)
{
    const CallbackGate::Pass pass(context);
    if (auto* self = static_cast<Integration*>(pass.Owner()))
        self->OnResponse(TextOrEmpty(requestId), ResultCode::FromWindows(result), TextOrEmpty(response));
}

SdkLoadOptions Integration::Options() const
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return options_;
}

ResultCode Integration::Initialize(const std::string& path, const SdkLoadOptions& options)
{
    const std::wstring widePath = Utf8ToWideStrict(path);
    if (widePath.empty())
        return ErrorFileNotFound;

    std::lock_guard<std::recursive_mutex> guard(lock_);
    Uninitialize();
    options_ = options;

    const DWORD flags = options_.requireSignedLibrary ? LOAD_LIBRARY_REQUIRE_SIGNED_TARGET : 0;
    SetLastError(0);
    library_.reset(LoadLibraryExW(widePath.c_str(), nullptr, flags));
    if (!library_) {
        SetLastError(0);
        library_.reset(LoadLibraryExW(widePath.c_str(), nullptr, flags | LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    if (!library_) {
        // A load refused without an error code (the DLL load guard blocks
        // quietly) must not pass for success.
        const DWORD error = GetLastError();
        return error != 0 ? ResultCode::FromWindows(error) : ErrorUnverifiedImage;
    }

    getInstance_ = reinterpret_cast<GetInstanceFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), GetInstanceExport)));
    releaseInstance_ = reinterpret_cast<ReleaseInstanceFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), ReleaseInstanceExport)));
    if (getInstance_ == nullptr || releaseInstance_ == nullptr)
        return ErrorInvalidParameter;  // the library stays loaded until the next unload

    const SdkInitParams params{sizeof(SdkInitParams), options_.configuration.c_str()};
    // What a refusing library leaves in the out-pointer is not an instance.
    ISdkInstance* created = nullptr;
    const ResultCode status = ResultCode::FromWindows(getInstance_(&created, &params));
    if (status != result::Success)
        return status;
    if (created == nullptr)
        return ErrorNoInstance;
    instance_ = created;

    callbacks_.onNotification = &Integration::ForwardNotification;
    callbacks_.onResponse = &Integration::ForwardResponse;
    instance_->RegisterCallbacks(&callbacks_, callbackGate_.Open(this));
    return result::Success;
}

void Integration::Uninitialize()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!library_)
        return;
    if (instance_ != nullptr) {
        instance_->UnregisterCallbacks(&callbacks_);
        // The library need not wait for a callback already running: wait for
        // it here, before anything it touches goes away.
        callbackGate_.Close();
        releaseInstance_(instance_);
        instance_ = nullptr;
    }
    library_.reset();
    getInstance_ = nullptr;
    releaseInstance_ = nullptr;
}

ResultCode Integration::RequestUnderLock(const std::string& request, std::string& response, uint32_t timeoutMs)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (instance_ == nullptr)
        return result::NoConnection;
    const char* text = nullptr;
    const ResultCode status = ResultCode::FromWindows(instance_->Request(request.c_str(), &text, timeoutMs));
    if (status == result::Success)
        response.assign(TextOrEmpty(text));  // the library owns its text: copy at once
    return status;
}

ResultCode Integration::PostUnderLock(const std::string& request, const std::string& requestId)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (instance_ == nullptr)
        return result::NoConnection;
    return ResultCode::FromWindows(instance_->Post(request.c_str(), requestId.c_str()));
}

}  // namespace tesdk
}  // namespace cv
