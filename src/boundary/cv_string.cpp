#include "boundary/cv_string.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace cv {

void* StringMemMgr::Allocate(size_t size) { return std::malloc(size); }

void* StringMemMgr::Reallocate(void* block, size_t size) { return std::realloc(block, size); }

void StringMemMgr::Free(void* block) { std::free(block); }

void StringMemMgr::Release() {}

IMemMgr* StringMemMgr::Instance()
{
    static StringMemMgr manager;
    return &manager;
}

namespace string_block {
namespace {

// Exit status of a process ended for overwritten string memory.
constexpr UINT CorruptedStringExitCode = 0xC0000409;

[[noreturn]] void FailFast()
{
    TerminateProcess(GetCurrentProcess(), CorruptedStringExitCode);
    __builtin_trap();
}

unsigned char* BlockOf(const void* characters)
{
    return static_cast<unsigned char*>(const_cast<void*>(characters)) - HeaderSize;
}

uint32_t ReadWord(const unsigned char* at)
{
    uint32_t word;
    std::memcpy(&word, at, sizeof(word));
    return word;
}

void WriteWord(unsigned char* at, uint32_t word) { std::memcpy(at, &word, sizeof(word)); }

StringControlBlock* ReadControl(const unsigned char* block)
{
    StringControlBlock* control;
    std::memcpy(&control, block + ControlOffset, sizeof(control));
    return control;
}

// Largest capacity whose block size still fits in a size_t.
size_t MaxCapacity(size_t charSize) { return (SIZE_MAX - HeaderSize - TrailerSize) / charSize - 1; }

}  // namespace

uint64_t GrownCapacity(uint64_t capacity, uint64_t needed, uint64_t growthStep)
{
    const uint64_t shortfall = needed > capacity ? needed - capacity : 0;
    const uint64_t wanted = std::max(shortfall, growthStep);
    const uint64_t increase = capacity < 1024 ? std::max(wanted, capacity) : std::max<uint64_t>(wanted, 1024);
    return increase > UINT64_MAX - capacity ? UINT64_MAX : capacity + increase;
}

void Check(const void* characters, size_t charSize)
{
    const unsigned char* block = BlockOf(characters);
    if (ReadWord(block) != GuardWord || ReadWord(block + InnerGuardOffset) != GuardWord)
        FailFast();
    const StringControlBlock* control = ReadControl(block);
    if (control == nullptr || control->capacity > MaxCapacity(charSize))
        FailFast();
    const size_t slots = static_cast<size_t>(control->capacity) + 1;
    if (ReadWord(block + HeaderSize + slots * charSize) != GuardWord)
        FailFast();
}

StringControlBlock* Control(const void* characters, size_t charSize)
{
    Check(characters, charSize);
    return ReadControl(BlockOf(characters));
}

bool Reserve(void*& characters, size_t capacity, bool keepContent, size_t charSize, IMemMgr* manager)
{
    if (capacity > MaxCapacity(charSize))
        return false;
    StringControlBlock* control = characters != nullptr ? Control(characters, charSize) : nullptr;
    StringControlBlock* created = nullptr;
    if (control == nullptr) {
        created = static_cast<StringControlBlock*>(std::malloc(sizeof(StringControlBlock)));
        if (created == nullptr)
            return false;
        *created = StringControlBlock{manager, 0, 0, GrowthStep, 0, 1, {}};
        control = created;
    }
    IMemMgr* owner = control->manager;
    const size_t newSize = BlockSize(capacity, charSize);
    unsigned char* oldBlock = characters != nullptr ? BlockOf(characters) : nullptr;
    const size_t oldSize = oldBlock != nullptr ? BlockSize(static_cast<size_t>(control->capacity), charSize) : 0;

    unsigned char* block = nullptr;
    if (oldBlock != nullptr && control->blockOwned) {
        block = static_cast<unsigned char*>(owner->Reallocate(oldBlock, newSize));
        if (block == nullptr) {
            block = static_cast<unsigned char*>(owner->Allocate(newSize));
            if (block == nullptr)
                return false;
            std::memcpy(block, oldBlock, std::min(oldSize, newSize));
            owner->Free(oldBlock);
        }
    } else {
        block = static_cast<unsigned char*>(owner->Allocate(newSize));
        if (block == nullptr) {
            std::free(created);
            return false;
        }
        // A block that is not ours is copied and left to its owner.
        if (oldBlock != nullptr)
            std::memcpy(block, oldBlock, std::min(oldSize, newSize));
    }

    WriteWord(block, GuardWord);
    std::memcpy(block + ControlOffset, &control, sizeof(control));
    WriteWord(block + InnerGuardOffset, GuardWord);
    WriteWord(block + HeaderSize + (capacity + 1) * charSize, GuardWord);
    unsigned char* text = block + HeaderSize;
    std::memset(text + capacity * charSize, 0, charSize);
    control->capacity = capacity;
    control->blockOwned = 1;
    if (!keepContent || oldBlock == nullptr) {
        control->length = 0;
        std::memset(text, 0, charSize);
    } else if (control->length > capacity) {
        control->length = capacity;
    }
    characters = text;
    return true;
}

bool Assign(void*& characters, const void* text, size_t length, size_t charSize, IMemMgr* manager)
{
    uint64_t capacity = 0;
    uint64_t growthStep = GrowthStep;
    if (characters != nullptr) {
        const StringControlBlock* control = Control(characters, charSize);
        capacity = control->capacity;
        growthStep = control->growthStep;
    }
    if (capacity == 0 || capacity < length) {
        const uint64_t grown = GrownCapacity(capacity, length, growthStep);
        if (grown > MaxCapacity(charSize) || !Reserve(characters, static_cast<size_t>(grown), false, charSize, manager))
            return false;
    }
    StringControlBlock* control = Control(characters, charSize);
    unsigned char* target = static_cast<unsigned char*>(characters);
    if (text != nullptr && length != 0)
        std::memmove(target, text, length * charSize);
    std::memset(target + length * charSize, 0, charSize);
    control->length = length;
    return true;
}

void Release(void*& characters, size_t charSize)
{
    if (characters == nullptr)
        return;
    StringControlBlock* control = Control(characters, charSize);
    IMemMgr* manager = control->manager;
    if (control->blockOwned)
        manager->Free(BlockOf(characters));
    manager->Release();
    if (control->controlBlockOwned)
        std::free(control);
    characters = nullptr;
}

}  // namespace string_block
}  // namespace cv
