#pragma once

// Owners of what GLib hands over; the extension links none of the view's code.

#include <memory>

#include <webkit2/webkit-web-extension.h>

namespace pw::gtk {

template <typename T>
using Owned = std::unique_ptr<T, decltype([](T* object) { g_object_unref(object); })>;
using OwnedVariant = std::unique_ptr<GVariant, decltype([](GVariant* variant) { g_variant_unref(variant); })>;
using OwnedBytes = std::unique_ptr<GBytes, decltype([](GBytes* bytes) { g_bytes_unref(bytes); })>;

}  // namespace pw::gtk
