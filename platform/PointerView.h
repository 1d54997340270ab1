#pragma once

#include <cstddef>
#include <iterator>
#include <type_traits>
#include <utility>

namespace tessaro {

// A read-through range over a container of owning pointers (std::unique_ptr): it hands out the
// pointees as T*, so a const owner can give out `const T*` and keep its elements unchangeable,
// while the container and the ownership stay private to it.
template <typename Container, typename T> class CPointerView {
public:
    using BaseIterator = decltype(std::begin(std::declval<Container&>()));

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T*;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = T*;

        Iterator() = default;
        explicit Iterator(BaseIterator at) : At_(at) {}
        T* operator*() const { return At_->get(); }
        Iterator& operator++()
        {
            ++At_;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator before = *this;
            ++At_;
            return before;
        }
        bool operator==(const Iterator& other) const = default;

    private:
        BaseIterator At_{};
    };

    explicit CPointerView(Container& container) : Container_(&container) {}
    // A changeable view gives a read-only one.
    template <typename Other, typename OtherT>
        requires std::is_convertible_v<Other*, Container*>
    CPointerView(const CPointerView<Other, OtherT>& other) : Container_(other.Underlying())
    {
    }

    Iterator begin() const { return Iterator(std::begin(*Container_)); }
    Iterator end() const { return Iterator(std::end(*Container_)); }
    std::size_t size() const { return Container_->size(); }
    bool empty() const { return Container_->empty(); }
    T* front() const { return Container_->front().get(); }
    T* back() const { return Container_->back().get(); }
    // Random-access containers only.
    T* operator[](std::size_t i) const { return (*Container_)[i].get(); }
    Container* Underlying() const { return Container_; }

private:
    Container* Container_;
};

} // namespace tessaro
