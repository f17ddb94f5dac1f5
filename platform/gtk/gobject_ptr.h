#pragma once

#include <memory>
#include <utility>

#include <glib-object.h>

namespace pw::gtk {

// Owns one reference to a GObject and drops it when it goes. Where the reference comes
// from is said where it is taken:
// - adopt(): the caller already owns it (a constructor's result, a "transfer full"
//   getter, a reference handed through a callback's data);
// - ref(): it is borrowed (a "transfer none" getter, a signal's argument), so a
//   reference of its own is taken;
// - refSink(): a new floating object (GInitiallyUnowned) that nothing else is to own.
// A widget handed to its container keeps its floating reference, which the container
// sinks: that one is the container's, not an owner's here.
template <typename T>
class GObjectPtr {
public:
    GObjectPtr() = default;
    static GObjectPtr adopt(T* object)
    {
        GObjectPtr owner;
        owner.object_ = object;
        return owner;
    }
    static GObjectPtr ref(T* object)
    {
        if (object) g_object_ref(object);
        return adopt(object);
    }
    static GObjectPtr refSink(T* object)
    {
        if (object) g_object_ref_sink(object);
        return adopt(object);
    }

    GObjectPtr(const GObjectPtr& other) : object_(other.object_)
    {
        if (object_) g_object_ref(object_);
    }
    GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectPtr& operator=(GObjectPtr other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }
    ~GObjectPtr()
    {
        if (object_) g_object_unref(object_);
    }

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the reference to whoever takes the pointer (GLib data, a callback's data).
    [[nodiscard]] T* release() { return std::exchange(object_, nullptr); }
    void reset() { GObjectPtr().swap(*this); }
    void swap(GObjectPtr& other) noexcept { std::swap(object_, other.object_); }

private:
    T* object_ = nullptr;
};

// Calls a GLib free function, the way std::unique_ptr wants its deleter.
template <auto Free>
struct GFreeWith {
    template <typename T>
    void operator()(T* memory) const
    {
        Free(memory);
    }
};

// Memory or a non-GObject value GLib handed over, freed with the function its API names.
template <typename T, auto Free>
using GOwned = std::unique_ptr<T, GFreeWith<Free>>;

inline void freeStringList(GSList* list)
{
    g_slist_free_full(list, g_free);
}

using GCharPtr = GOwned<gchar, g_free>;
using GStrvPtr = GOwned<gchar*, g_strfreev>;
using GErrorPtr = GOwned<GError, g_error_free>;
using GBytesPtr = GOwned<GBytes, g_bytes_unref>;
using GVariantPtr = GOwned<GVariant, g_variant_unref>;
// A list of strings, every one of them owned along with the list.
using GStringListPtr = GOwned<GSList, freeStringList>;

}  // namespace pw::gtk
