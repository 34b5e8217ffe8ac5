#pragma once
// The guarded string of the agent's interface. Its memory layout is shared
// with the agent, so it is kept exactly:
//
//   block + 0   guard word 0xABCD (32 bits)
//   block + 4   pointer to the string's control block (unaligned)
//   block + 12  guard word 0xABCD
//   block + 16  the characters, capacity + 1 slots, NUL-terminated;
//               the string object is a single pointer to here
//   after the last character slot: guard word 0xABCD
//
// Every read, copy, resize or release checks the three guard words first and
// ends the process at once on a mismatch (overwritten memory is not a
// recoverable error). All block operations go through the memory manager
// recorded in the string's own control block, so a string handed over by the
// agent is freed by the agent's manager.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <utility>

namespace cv {

// Memory for string blocks. Slot order is part of the interface.
class IMemMgr {
public:
    virtual void* Allocate(size_t size) = 0;
    virtual void* Reallocate(void* block, size_t size) = 0;
    virtual void Free(void* block) = 0;
    // Called after a string has freed its block.
    virtual void Release() = 0;

protected:
    ~IMemMgr() = default;
};

// The C runtime heap; one static instance serves every string the console makes.
class StringMemMgr final : public IMemMgr {
public:
    void* Allocate(size_t size) override;
    void* Reallocate(void* block, size_t size) override;
    void Free(void* block) override;
    void Release() override;

    static IMemMgr* Instance();
};

struct StringControlBlock {
    IMemMgr* manager;
    uint64_t length;      // characters
    uint64_t capacity;    // characters, without the terminating NUL
    uint64_t growthStep;  // characters
    uint8_t blockOwned;          // a block not owned is copied on growth, never freed
    uint8_t controlBlockOwned;   // this control block came from malloc
    uint8_t reserved[6];
};
static_assert(sizeof(StringControlBlock) == 40, "control block layout is shared with the agent");

namespace string_block {

constexpr uint32_t GuardWord = 0xABCD;
constexpr size_t HeaderSize = 16;
constexpr size_t ControlOffset = 4;
constexpr size_t InnerGuardOffset = 12;
constexpr size_t TrailerSize = 4;
constexpr uint64_t GrowthStep = 64;

// Bytes of a block holding `capacity` characters of `charSize` bytes.
constexpr size_t BlockSize(size_t capacity, size_t charSize)
{
    return HeaderSize + (capacity + 1) * charSize + TrailerSize;
}

// Capacity after growing from `capacity` for `needed` characters: at least
// the growth step, doubling below 1024 characters and 1024 at a time above.
uint64_t GrownCapacity(uint64_t capacity, uint64_t needed, uint64_t growthStep);

// Ends the process when a guard word of the block around `characters` is
// overwritten (or its control block pointer is gone).
void Check(const void* characters, size_t charSize);

// The control block of a string that has storage; checks the guards first.
StringControlBlock* Control(const void* characters, size_t charSize);

// Gives the string room for `capacity` characters (creating its control block
// with `manager` on first use). When `keepContent` is false the length
// becomes 0. False when the memory manager refuses; the string is unchanged.
bool Reserve(void*& characters, size_t capacity, bool keepContent, size_t charSize, IMemMgr* manager);

// Replaces the content with `length` characters at `text` (which must not
// lie inside this string's own block), growing by the growth rule. A null
// `text` only sizes and terminates the string for the caller to fill in.
bool Assign(void*& characters, const void* text, size_t length, size_t charSize, IMemMgr* manager);

// Frees the block (when owned) through the string's manager, calls its
// Release, frees an owned control block and nulls the pointer.
void Release(void*& characters, size_t charSize);

}  // namespace string_block

// Character operations of the C runtime.
template <class Char>
struct ChTraitsCRT;

template <>
struct ChTraitsCRT<wchar_t> {
    static size_t Length(const wchar_t* text) { return std::wcslen(text); }
};

template <>
struct ChTraitsCRT<char> {
    static size_t Length(const char* text) { return std::strlen(text); }
};

// A string is one pointer to its first character, null until it first holds
// storage; a null string reads as empty. Copies are deep. An assignment the
// memory manager cannot serve leaves the string unchanged (Assign says so).
template <class Char, class MemMgr = StringMemMgr, class Traits = ChTraitsCRT<Char>, int Variant = 1>
class StringT {
public:
    using value_type = Char;
    using View = std::basic_string_view<Char>;

    StringT() noexcept = default;
    StringT(const Char* text) { Assign(text); }
    StringT(View text) { Assign(text.data(), text.size()); }
    StringT(const StringT& other)
    {
        if (other.characters_ != nullptr)
            Assign(other.data(), other.length());
    }
    StringT(StringT&& other) noexcept : characters_(std::exchange(other.characters_, nullptr)) {}
    ~StringT() { Release(); }

    StringT& operator=(const StringT& other)
    {
        if (this != &other) {
            if (other.characters_ == nullptr)
                Release();
            else
                Assign(other.data(), other.length());
        }
        return *this;
    }
    StringT& operator=(StringT&& other) noexcept
    {
        if (this != &other) {
            Release();
            characters_ = std::exchange(other.characters_, nullptr);
        }
        return *this;
    }
    StringT& operator=(const Char* text)
    {
        Assign(text);
        return *this;
    }
    StringT& operator=(View text)
    {
        Assign(text.data(), text.size());
        return *this;
    }

    // A null `text` releases the string.
    bool Assign(const Char* text)
    {
        if (text == nullptr) {
            Release();
            return true;
        }
        return Assign(text, Traits::Length(text));
    }
    bool Assign(const Char* text, size_t length)
    {
        if (length != 0 && text == nullptr)
            return false;
        if (Overlaps(text, length)) {
            const std::basic_string<Char> copy(text, length);
            return Assign(copy.data(), copy.size());
        }
        void* raw = characters_;
        const bool assigned = string_block::Assign(raw, text, length, sizeof(Char), MemMgr::Instance());
        characters_ = static_cast<Char*>(raw);
        return assigned;
    }

    // Sizes the string to `length` characters (terminated) for the caller
    // to fill in; null when the memory manager refuses.
    Char* PrepareBuffer(size_t length)
    {
        void* raw = characters_;
        const bool sized = string_block::Assign(raw, nullptr, length, sizeof(Char), MemMgr::Instance());
        characters_ = static_cast<Char*>(raw);
        return sized ? characters_ : nullptr;
    }

    void Release()
    {
        void* raw = characters_;
        string_block::Release(raw, sizeof(Char));
        characters_ = static_cast<Char*>(raw);
    }

    const Char* c_str() const { return characters_ == nullptr ? EmptyText() : Checked(); }
    const Char* data() const { return c_str(); }
    size_t length() const
    {
        if (characters_ == nullptr)
            return 0;
        const StringControlBlock* control = Control();
        // A length beyond the capacity would read past the block.
        return static_cast<size_t>(control->length < control->capacity ? control->length : control->capacity);
    }
    size_t size() const { return length(); }
    bool empty() const { return length() == 0; }
    size_t capacity() const { return characters_ == nullptr ? 0 : static_cast<size_t>(Control()->capacity); }

    View view() const { return View(c_str(), length()); }
    operator View() const { return view(); }

    int compare(View other) const { return view().compare(other); }

    // Boundary use: takes over characters whose block and control block
    // were made by another party, or hands ours over.
    static StringT Adopt(Char* characters) noexcept
    {
        StringT result;
        result.characters_ = characters;
        return result;
    }
    Char* Detach() noexcept { return std::exchange(characters_, nullptr); }
    // The pointer as stored, without a guard check (null for a fresh string).
    const Char* RawCharacters() const noexcept { return characters_; }

    friend bool operator==(const StringT& a, const StringT& b) { return a.view() == b.view(); }
    friend bool operator!=(const StringT& a, const StringT& b) { return !(a == b); }
    friend bool operator<(const StringT& a, const StringT& b) { return a.view() < b.view(); }
    friend bool operator==(const StringT& a, View b) { return a.view() == b; }
    friend bool operator!=(const StringT& a, View b) { return !(a == b); }
    friend bool operator==(View a, const StringT& b) { return a == b.view(); }
    friend bool operator!=(View a, const StringT& b) { return !(a == b); }
    friend bool operator==(const StringT& a, const Char* b) { return a.view() == View(b); }
    friend bool operator!=(const StringT& a, const Char* b) { return !(a == b); }
    friend bool operator==(const Char* a, const StringT& b) { return View(a) == b.view(); }
    friend bool operator!=(const Char* a, const StringT& b) { return !(a == b); }

private:
    static const Char* EmptyText()
    {
        static const Char empty = Char();
        return &empty;
    }
    const Char* Checked() const
    {
        string_block::Check(characters_, sizeof(Char));
        return characters_;
    }
    StringControlBlock* Control() const { return string_block::Control(characters_, sizeof(Char)); }
    bool Overlaps(const Char* text, size_t length) const
    {
        if (characters_ == nullptr || text == nullptr)
            return false;
        const auto* begin = reinterpret_cast<const unsigned char*>(characters_) - string_block::HeaderSize;
        const auto* end = reinterpret_cast<const unsigned char*>(characters_) + (capacity() + 1) * sizeof(Char);
        const auto* first = reinterpret_cast<const unsigned char*>(text);
        const auto* last = first + length * sizeof(Char);
        return first < end && last > begin;
    }

    Char* characters_ = nullptr;
};

using StringW = StringT<wchar_t>;
using StringA = StringT<char>;

static_assert(sizeof(StringW) == sizeof(void*), "a string is a single pointer");
static_assert(sizeof(StringA) == sizeof(void*), "a string is a single pointer");

}  // namespace cv
