#pragma once
// The list of the agent's interface and its enumerators. The slot orders of
// the interfaces are part of the contract with the agent and must not change.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <list>
#include <memory>

namespace cv {

// Result of GetBack / GetFront on an empty list (element not found).
constexpr uint32_t ListEmptyResult = 1168;
// Result of an append to a list already holding the largest possible count.
constexpr uint32_t ListTooLongResult = 8;

template <class T>
class IListEnum {
public:
    virtual bool HasCurrent() const = 0;  // false once past the last element
    virtual void MoveNext() = 0;
    virtual T* Current() const = 0;        // null when past the last element
    virtual void Release() = 0;            // destroys the enumerator
    virtual void Reset() = 0;              // back to the first element
    // The deleting destructor of the agent's interface headers: destroys the
    // enumerator, frees it too when bit 0 of `flags` is set; returns it.
    virtual void* Destroy(unsigned int flags) = 0;

protected:
    ~IListEnum() = default;
};

template <class T>
class IConstListEnum {
public:
    virtual bool HasCurrent() const = 0;
    virtual void MoveNext() = 0;
    virtual const T* Current() const = 0;
    virtual void Release() = 0;
    virtual void Reset() = 0;
    virtual void* Destroy(unsigned int flags) = 0;  // as IListEnum's

protected:
    ~IConstListEnum() = default;
};

template <class T>
class IList {
public:
    virtual uint32_t PushBack(const T& item) = 0;
    virtual uint32_t PushFront(const T& item) = 0;
    virtual T* Back() = 0;
    virtual const T* Back() const = 0;
    virtual uint32_t GetBack(T& item) const = 0;  // item untouched on an empty list
    virtual T* Front() = 0;
    virtual const T* Front() const = 0;
    virtual uint32_t GetFront(T& item) const = 0;
    // Removes the element the enumerator stands on; the enumerator moves to
    // the following one.
    virtual void Erase(IListEnum<T>* position) = 0;
    // New enumerators standing on the first element; free them with Release.
    virtual IConstListEnum<T>* GetConstEnum() const = 0;
    virtual IListEnum<T>* GetEnum() = 0;
    virtual void Clear() = 0;

protected:
    ~IList() = default;
};

template <class T>
class List;

constexpr unsigned int DestroyFrees = 1;

template <class Enum>
void* DestroyEnumerator(Enum* enumerator, unsigned int flags)
{
    if ((flags & DestroyFrees) != 0)
        delete enumerator;
    else
        enumerator->~Enum();
    return enumerator;
}

template <class T>
class ListEnum final : public IListEnum<T> {
public:
    bool HasCurrent() const override { return current_ != items_->end(); }
    void MoveNext() override
    {
        if (HasCurrent())
            ++current_;
    }
    T* Current() const override { return HasCurrent() ? &*current_ : nullptr; }
    void Release() override { delete this; }
    void Reset() override { current_ = items_->begin(); }
    void* Destroy(unsigned int flags) override { return DestroyEnumerator(this, flags); }

private:
    friend class List<T>;
    explicit ListEnum(std::list<T>& items) : items_(&items), current_(items.begin()) {}

    std::list<T>* items_;
    typename std::list<T>::iterator current_;
};

template <class T>
class ConstListEnum final : public IConstListEnum<T> {
public:
    bool HasCurrent() const override { return current_ != items_->end(); }
    void MoveNext() override
    {
        if (HasCurrent())
            ++current_;
    }
    const T* Current() const override { return HasCurrent() ? &*current_ : nullptr; }
    void Release() override { delete this; }
    void Reset() override { current_ = items_->begin(); }
    void* Destroy(unsigned int flags) override { return DestroyEnumerator(this, flags); }

private:
    friend class List<T>;
    explicit ConstListEnum(const std::list<T>& items) : items_(&items), current_(items.begin()) {}

    const std::list<T>* items_;
    typename std::list<T>::const_iterator current_;
};

// Elements are stored by value; copies of the list are deep. Enumerators must
// not outlive the list they came from.
template <class T>
class List final : public IList<T> {
public:
    List() = default;
    List(std::initializer_list<T> items) : items_(items) {}
    List(const List&) = default;
    List(List&&) noexcept = default;
    List& operator=(const List&) = default;
    List& operator=(List&&) noexcept = default;
    ~List() = default;

    uint32_t PushBack(const T& item) override
    {
        if (items_.size() >= items_.max_size())
            return ListTooLongResult;
        items_.push_back(item);
        return 0;
    }
    uint32_t PushFront(const T& item) override
    {
        if (items_.size() >= items_.max_size())
            return ListTooLongResult;
        items_.push_front(item);
        return 0;
    }
    T* Back() override { return items_.empty() ? nullptr : &items_.back(); }
    const T* Back() const override { return items_.empty() ? nullptr : &items_.back(); }
    uint32_t GetBack(T& item) const override
    {
        if (items_.empty())
            return ListEmptyResult;
        item = items_.back();
        return 0;
    }
    T* Front() override { return items_.empty() ? nullptr : &items_.front(); }
    const T* Front() const override { return items_.empty() ? nullptr : &items_.front(); }
    uint32_t GetFront(T& item) const override
    {
        if (items_.empty())
            return ListEmptyResult;
        item = items_.front();
        return 0;
    }
    void Erase(IListEnum<T>* position) override
    {
        // Only an enumerator of this list standing on an element can erase.
        auto* own = dynamic_cast<ListEnum<T>*>(position);
        if (own == nullptr || own->items_ != &items_ || !own->HasCurrent())
            return;
        own->current_ = items_.erase(own->current_);
    }
    IConstListEnum<T>* GetConstEnum() const override { return new ConstListEnum<T>(items_); }
    IListEnum<T>* GetEnum() override { return new ListEnum<T>(items_); }
    void Clear() override { items_.clear(); }

    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    friend bool operator==(const List& a, const List& b) { return a.items_ == b.items_; }
    friend bool operator!=(const List& a, const List& b) { return !(a == b); }

private:
    std::list<T> items_;
};

// Owner of an enumerator: releases it through its own Release.
struct EnumRelease {
    template <class Enum>
    void operator()(Enum* enumerator) const
    {
        enumerator->Release();
    }
};
template <class Enum>
using EnumPtr = std::unique_ptr<Enum, EnumRelease>;

}  // namespace cv
