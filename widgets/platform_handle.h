// An object the widget set made on its platform (a bitmap, pen, brush, font or device context),
// given back by the platform edge's release function when its owner goes or is reset. It moves
// but never copies, so that every object is given back once. The release function gets the
// object and the context it was made with (the window of a device context it borrowed).
#pragma once

#include <utility>

namespace VSTGUI {

class PlatformHandle {
public:
    using Release = void (*)(void* object, void* context);

    PlatformHandle() = default;
    // release may be null for an object that needs no giving back.
    PlatformHandle(void* object, Release release, void* context = nullptr)
        : handle(object), releaseFunction(release), owner(context) {}
    ~PlatformHandle() { reset(); }
    PlatformHandle(PlatformHandle&& other) noexcept
        : handle(std::exchange(other.handle, nullptr)),
          releaseFunction(std::exchange(other.releaseFunction, nullptr)),
          owner(std::exchange(other.owner, nullptr)) {}
    PlatformHandle& operator=(PlatformHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle = std::exchange(other.handle, nullptr);
            releaseFunction = std::exchange(other.releaseFunction, nullptr);
            owner = std::exchange(other.owner, nullptr);
        }
        return *this;
    }
    PlatformHandle(const PlatformHandle&) = delete;
    PlatformHandle& operator=(const PlatformHandle&) = delete;

    void* get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

    // Gives the object back, if there is one; the owner is empty afterwards.
    void reset() {
        void* const object = std::exchange(handle, nullptr);
        const Release release = std::exchange(releaseFunction, nullptr);
        void* const context = std::exchange(owner, nullptr);
        if (object && release) {
            release(object, context);
        }
    }

private:
    void* handle = nullptr;
    Release releaseFunction = nullptr;
    void* owner = nullptr;
};

} // namespace VSTGUI
