#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace pw {

// Bytes that whoever holds them may read but not change, kept alive by an owner that
// need not be a vector: a file decoded where the page's message arrived is written from
// there, instead of being copied out first. Copies share the bytes.
class SharedBytes {
public:
    SharedBytes() = default;

    // Takes the vector's bytes over.
    SharedBytes(std::vector<std::uint8_t> bytes)  // NOLINT: a vector is bytes as they are
    {
        auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        data_ = owned->data();
        size_ = owned->size();
        owner_ = std::move(owned);
    }

    // `data` stays valid for as long as `owner` lives.
    SharedBytes(std::shared_ptr<const void> owner, const std::uint8_t* data, std::size_t size)
        : owner_(std::move(owner)), data_(size ? data : nullptr), size_(data ? size : 0)
    {
    }

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }

    std::vector<std::uint8_t> copy() const { return std::vector<std::uint8_t>(begin(), end()); }

    friend bool operator==(const SharedBytes& bytes, const std::vector<std::uint8_t>& other)
    {
        return std::equal(bytes.begin(), bytes.end(), other.begin(), other.end());
    }

private:
    std::shared_ptr<const void> owner_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace pw
