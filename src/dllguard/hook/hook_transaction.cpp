#include "dllguard/hook/hook_transaction.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "base/unique_resource.h"
#include "dllguard/hook/code_memory.h"
#include "dllguard/hook/code_relocation.h"
#include "dllguard/hook/jump_thunks.h"
#include "dllguard/hook/mapped_image.h"
#include "dllguard/hook/thread_suspension.h"
#include "dllguard/hook/trampoline_allocator.h"

namespace hooking {
namespace {

// One patched (or once patched) function body and its trampoline. Records
// outlive their hooks: when the same body is hooked again its trampoline is
// taken up again, so a function hooked and unhooked over and over uses one
// slot, and a thread still running through an old trampoline stays safe.
struct HookRecord {
    uint8_t* body = nullptr;
    uint8_t* slot = nullptr;
    size_t movedLength = 0;
    uint8_t original[kMaxMovedBytes] = {};  // the body's bytes before patching
    RelocatedCode relocated;
    size_t patchLength = kPatchSize;
    uint8_t patch[kPatchSize] = {};  // the jump written over the body while hooked
    // A short entry's patch is a jmp rel8 to int3 padding nearby, where a jmp
    // rel32 goes on; null for every other function.
    uint8_t* landing = nullptr;
    uint8_t landingPatch[kJumpRel32Size] = {};
    void* detour = nullptr;
    void* originalTarget = nullptr;  // what the caller's pointer held before the attach
    bool installed = false;
};

struct Operation {
    bool attach = true;
    HookRecord* record = nullptr;
    void** target = nullptr;
    void* detour = nullptr;
    void* originalTarget = nullptr;
    bool newRecord = false;  // created by this transaction: dropped on abort
    uint8_t patch[kPatchSize] = {};
    uint8_t landingPatch[kJumpRel32Size] = {};
};

constexpr uint8_t kInt3 = 0xCC;
constexpr uint8_t kLandingPadding[kJumpRel32Size] = {kInt3, kInt3, kInt3, kInt3, kInt3};
constexpr ptrdiff_t kRel8Reach = 127;

struct Transaction {
    DWORD owner = 0;  // thread id; 0 when no transaction is open
    LONG error = ERROR_SUCCESS;
    std::vector<Operation> operations;
    std::vector<UniqueHandle> threads;  // enlisted, other than the owner
};

struct Engine {
    std::mutex lock;
    Transaction transaction;
    std::vector<std::unique_ptr<HookRecord>> records;
    TrampolineAllocator trampolines;
};

// Never destroyed: hooks may still be in place while the process exits.
Engine& TheEngine()
{
    static Engine* engine = new Engine;
    return *engine;
}

bool OwnsTransaction(const Engine& engine)
{
    return engine.transaction.owner != 0 && engine.transaction.owner == ::GetCurrentThreadId();
}

LONG Fail(Engine& engine, LONG error)
{
    if (engine.transaction.error == ERROR_SUCCESS)
        engine.transaction.error = error;
    return error;
}

HookRecord* InstalledAt(const Engine& engine, const uint8_t* body)
{
    for (const auto& record : engine.records) {
        if (record->installed && record->body == body)
            return record.get();
    }
    return nullptr;
}

bool IsInstalledBody(const uint8_t* address, const void* engine)
{
    return InstalledAt(*static_cast<const Engine*>(engine), address) != nullptr;
}

bool PendingFor(const Engine& engine, const HookRecord* record, const uint8_t* body)
{
    return std::any_of(engine.transaction.operations.begin(), engine.transaction.operations.end(),
                       [&](const Operation& op) { return op.record == record || op.record->body == body; });
}

bool IsPadding(const uint8_t* at)
{
    return ReadableBytes(at, sizeof kLandingPadding) == sizeof kLandingPadding &&
           std::memcmp(at, kLandingPadding, sizeof kLandingPadding) == 0;
}

// A record of an earlier hook on `body` whose trampoline still matches it.
HookRecord* ReusableRecord(const Engine& engine, const uint8_t* body)
{
    for (auto it = engine.records.rbegin(); it != engine.records.rend(); ++it) {
        HookRecord& record = **it;
        if (record.body == body && !record.installed &&
            ReadableBytes(body, record.movedLength) == record.movedLength &&
            std::memcmp(body, record.original, record.movedLength) == 0 &&
            (record.landing == nullptr || IsPadding(record.landing)))
            return &record;
    }
    return nullptr;
}

bool Overlaps(const uint8_t* a, size_t aSize, const uint8_t* b, size_t bSize) { return a < b + bSize && b < a + aSize; }

// Five int3 bytes within rel8 reach of a short entry, in its own image, that
// no patch of ours covers: padding that nothing runs through.
uint8_t* FindLanding(const Engine& engine, uint8_t* body, size_t entryLength)
{
    MappedImage image;
    if (!image.Open(body))
        return nullptr;
    const AddressRange extent = image.Extent();
    uint8_t* const next = body + entryLength;
    uint8_t* best = nullptr;
    for (ptrdiff_t distance = -kRel8Reach - 1; distance <= kRel8Reach; ++distance) {
        uint8_t* at = next + distance;
        const auto address = reinterpret_cast<uintptr_t>(at);
        if (!extent.Contains(address, sizeof kLandingPadding) || Overlaps(at, sizeof kLandingPadding, body, entryLength) ||
            !IsPadding(at))
            continue;
        const bool taken = std::any_of(engine.records.begin(), engine.records.end(), [&](const auto& record) {
            return Overlaps(at, sizeof kLandingPadding, record->body, record->patchLength) ||
                   (record->landing && Overlaps(at, sizeof kLandingPadding, record->landing, sizeof kLandingPadding));
        });
        if (!taken && (best == nullptr || std::abs(at - body) < std::abs(best - body)))
            best = at;
    }
    return best;
}

// Plans the move, takes a slot within reach and writes the trampoline there.
// Nothing jumps to it until the commit.
LONG CreateRecord(Engine& engine, uint8_t* body, std::unique_ptr<HookRecord>* out)
{
    MovedCode plan;
    if (DWORD error = PlanMove(body, &plan))
        return static_cast<LONG>(error);
    auto record = std::make_unique<HookRecord>();
    record->body = body;
    record->movedLength = plan.length;
    std::memcpy(record->original, body, plan.length);
    if (plan.shortEntry) {
        record->patchLength = plan.length;
        record->landing = FindLanding(engine, body, plan.length);
        if (record->landing == nullptr)
            return ERROR_INVALID_BLOCK;  // no padding nearby to lead the short jump to
    }

    DWORD error = engine.trampolines.Allocate(plan.reachLow, plan.reachHigh, reinterpret_cast<uintptr_t>(body),
                                              &record->slot);
    if (error != ERROR_SUCCESS)
        return static_cast<LONG>(error);
    error = RelocateCode(plan, reinterpret_cast<uintptr_t>(record->slot), &record->relocated);
    if (error == ERROR_SUCCESS) {
        uint8_t image[kRelayTargetOffset];
        std::memset(image, 0xCC, sizeof image);
        std::memcpy(image, record->relocated.bytes, record->relocated.length);
        const uint8_t relay[kJumpIndirectSize] = {0xFF, 0x25, 0, 0, 0, 0};  // jmp [rip+0]
        std::memcpy(image + kRelayOffset, relay, sizeof relay);
        error = WriteCode(record->slot, image, sizeof image);
    }
    if (error != ERROR_SUCCESS) {
        engine.trampolines.Release(record->slot);
        return static_cast<LONG>(error);
    }
    *out = std::move(record);
    return ERROR_SUCCESS;
}

// Where a thread stopped at `ip` has to go on once the operation is applied:
// from the displaced bytes to the same instruction in the trampoline when
// hooking, back again when unhooking. `ip` itself when it is elsewhere.
DWORD64 MovedInstructionPointer(const Operation& op, DWORD64 ip)
{
    const HookRecord& record = *op.record;
    const RelocatedCode& code = record.relocated;
    const auto body = reinterpret_cast<DWORD64>(record.body);
    const auto slot = reinterpret_cast<DWORD64>(record.slot);
    // Between a short entry's two jumps: on where the landing led.
    if (!op.attach && record.landing && ip == reinterpret_cast<DWORD64>(record.landing)) {
        int32_t rel;
        std::memcpy(&rel, record.landingPatch + 1, sizeof rel);
        return ip + kJumpRel32Size + rel;
    }
    for (size_t i = 0; i < code.boundaries; ++i) {
        if (op.attach && i + 1 < code.boundaries && ip == body + code.original[i])
            return slot + code.relocated[i];
        if (!op.attach && ip == slot + code.relocated[i])
            return body + code.original[i];
    }
    return ip;
}

void Publish(void** target, void* value) { ::InterlockedExchangePointer(target, value); }

// Attach: the caller's pointer moves to the trampoline before the patch goes
// in, and detach restores the bytes before the pointer moves back, so that a
// replacement calling through the pointer never lands on itself.
// A short entry's landing is written before the jump to it goes in, and
// cleared only after that jump is gone.
DWORD Apply(const Operation& op)
{
    HookRecord& record = *op.record;
    if (op.attach) {
        if (DWORD error = WriteCode(record.slot + kRelayTargetOffset, &op.detour, sizeof op.detour))
            return error;
        if (record.landing) {
            if (DWORD error = WriteCode(record.landing, op.landingPatch, sizeof op.landingPatch))
                return error;
        }
        Publish(op.target, record.slot);
        if (DWORD error = WriteCode(record.body, op.patch, record.patchLength)) {
            Publish(op.target, op.originalTarget);
            if (record.landing)
                WriteCode(record.landing, kLandingPadding, sizeof kLandingPadding);
            return error;
        }
        return ERROR_SUCCESS;
    }
    if (DWORD error = WriteCode(record.body, record.original, record.patchLength))
        return error;
    if (record.landing)
        WriteCode(record.landing, kLandingPadding, sizeof kLandingPadding);
    Publish(op.target, op.originalTarget);
    return ERROR_SUCCESS;
}

void Revert(const Operation& op)
{
    HookRecord& record = *op.record;
    if (op.attach) {
        WriteCode(record.body, record.original, record.patchLength);
        if (record.landing)
            WriteCode(record.landing, kLandingPadding, sizeof kLandingPadding);
        Publish(op.target, op.originalTarget);
    } else {
        Publish(op.target, record.slot);
        if (record.landing)
            WriteCode(record.landing, record.landingPatch, sizeof record.landingPatch);
        WriteCode(record.body, record.patch, record.patchLength);
    }
}

// Writes every operation with the enlisted threads stopped, and moves the
// threads found inside rewritten bytes. Undoes everything on any failure.
LONG ApplyAll(Transaction& transaction)
{
    std::vector<HANDLE> enlisted;
    for (const UniqueHandle& thread : transaction.threads)
        enlisted.push_back(thread.get());
    std::vector<CONTEXT> saved(enlisted.size());
    std::vector<DWORD64> moved(enlisted.size());
    ThreadSuspension suspension(enlisted);
    if (DWORD error = suspension.SuspendAll())
        return static_cast<LONG>(error);
    const std::vector<HANDLE>& threads = suspension.Suspended();

    for (size_t i = 0; i < threads.size(); ++i) {
        saved[i].ContextFlags = CONTEXT_CONTROL;
        if (!::GetThreadContext(threads[i], &saved[i]))
            return static_cast<LONG>(::GetLastError());
        moved[i] = saved[i].Rip;
        for (const Operation& op : transaction.operations)
            moved[i] = MovedInstructionPointer(op, moved[i]);
    }

    const auto& ops = transaction.operations;
    for (size_t applied = 0; applied < ops.size(); ++applied) {
        if (DWORD error = Apply(ops[applied])) {
            while (applied > 0)
                Revert(ops[--applied]);
            return static_cast<LONG>(error);
        }
    }

    for (size_t i = 0; i < threads.size(); ++i) {
        if (moved[i] == saved[i].Rip)
            continue;
        CONTEXT context = saved[i];
        context.Rip = moved[i];
        if (!::SetThreadContext(threads[i], &context)) {
            const LONG error = static_cast<LONG>(::GetLastError());
            while (i > 0) {
                --i;
                ::SetThreadContext(threads[i], &saved[i]);
            }
            for (size_t applied = ops.size(); applied > 0;)
                Revert(ops[--applied]);
            return error;
        }
    }
    return ERROR_SUCCESS;
}

// Ends the transaction; when it was not committed, gives back what its
// attaches took.
void CloseTransaction(Engine& engine, bool committed)
{
    Transaction& transaction = engine.transaction;
    for (const Operation& op : transaction.operations) {
        HookRecord& record = *op.record;
        if (committed) {
            record.installed = op.attach;
            if (op.attach) {
                record.detour = op.detour;
                record.originalTarget = op.originalTarget;
                std::memcpy(record.patch, op.patch, kPatchSize);
                std::memcpy(record.landingPatch, op.landingPatch, sizeof record.landingPatch);
            }
        } else if (op.newRecord) {
            engine.trampolines.Release(record.slot);
            auto& records = engine.records;
            records.erase(std::remove_if(records.begin(), records.end(),
                                         [&](const auto& r) { return r.get() == &record; }),
                          records.end());
        }
    }
    transaction = Transaction{};
}

}  // namespace

LONG TransactionBegin()
{
    Engine& engine = TheEngine();
    std::lock_guard<std::mutex> guard(engine.lock);
    if (engine.transaction.owner != 0)
        return ERROR_INVALID_OPERATION;
    engine.transaction = Transaction{};
    engine.transaction.owner = ::GetCurrentThreadId();
    return ERROR_SUCCESS;
}

LONG UpdateThread(HANDLE thread)
{
    Engine& engine = TheEngine();
    std::lock_guard<std::mutex> guard(engine.lock);
    if (!OwnsTransaction(engine))
        return ERROR_INVALID_OPERATION;
    Transaction& transaction = engine.transaction;
    if (transaction.error != ERROR_SUCCESS)
        return transaction.error;
    const DWORD id = ::GetThreadId(thread);
    if (id == 0)
        return Fail(engine, ERROR_INVALID_HANDLE);
    if (id == ::GetCurrentThreadId())
        return ERROR_SUCCESS;  // the committing thread runs the engine, not the targets
    for (const UniqueHandle& enlisted : transaction.threads) {
        if (::GetThreadId(enlisted.get()) == id)
            return ERROR_SUCCESS;
    }
    UniqueHandle own;
    if (!::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), own.put(),
                           THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT |
                               THREAD_QUERY_LIMITED_INFORMATION | SYNCHRONIZE,
                           FALSE, 0))
        return Fail(engine, static_cast<LONG>(::GetLastError()));
    transaction.threads.push_back(std::move(own));
    return ERROR_SUCCESS;
}

// Why an attach or detach cannot join the open transaction; 0 when it can.
static LONG RefuseOperation(Engine& engine, void** target, void* detour)
{
    if (!OwnsTransaction(engine))
        return ERROR_INVALID_OPERATION;
    if (engine.transaction.error != ERROR_SUCCESS)
        return engine.transaction.error;
    if (!target || !*target || !detour)
        return Fail(engine, ERROR_INVALID_PARAMETER);
    return ERROR_SUCCESS;
}

LONG Attach(void** target, void* detour)
{
    Engine& engine = TheEngine();
    std::lock_guard<std::mutex> guard(engine.lock);
    if (const LONG refused = RefuseOperation(engine, target, detour))
        return refused;

    uint8_t* body = FollowJumpThunks(static_cast<uint8_t*>(*target), &IsInstalledBody, &engine);
    if (InstalledAt(engine, body) || PendingFor(engine, nullptr, body))
        return Fail(engine, ERROR_ALREADY_EXISTS);

    Operation op;
    op.target = target;
    op.detour = detour;
    op.originalTarget = *target;
    op.record = ReusableRecord(engine, body);
    if (!op.record) {
        std::unique_ptr<HookRecord> record;
        if (LONG error = CreateRecord(engine, body, &record))
            return Fail(engine, error);
        op.record = record.get();
        op.newRecord = true;
        engine.records.push_back(std::move(record));
    }

    // Straight to the replacement when it is within reach, else through the
    // relay; a short entry first jumps to its landing, where that jump is.
    uint8_t* const landing = op.record->landing;
    const auto jumpAt = reinterpret_cast<uintptr_t>(landing ? landing : body);
    const auto destination = Reachable(jumpAt + kJumpRel32Size, reinterpret_cast<uintptr_t>(detour))
                                 ? reinterpret_cast<uintptr_t>(detour)
                                 : reinterpret_cast<uintptr_t>(op.record->slot) + kRelayOffset;
    if (landing) {
        EncodeJumpRel32(op.landingPatch, jumpAt, destination);
        op.patch[0] = 0xEB;
        op.patch[1] = static_cast<uint8_t>(static_cast<int8_t>(landing - (body + op.record->patchLength)));
    } else {
        EncodeJumpRel32(op.patch, jumpAt, destination);
    }
    engine.transaction.operations.push_back(op);
    return ERROR_SUCCESS;
}

LONG Detach(void** target, void* detour)
{
    Engine& engine = TheEngine();
    std::lock_guard<std::mutex> guard(engine.lock);
    if (const LONG refused = RefuseOperation(engine, target, detour))
        return refused;

    HookRecord* record = nullptr;
    for (const auto& candidate : engine.records) {
        if (candidate->installed && candidate->slot == *target)
            record = candidate.get();
    }
    if (!record)
        return Fail(engine, ERROR_NOT_FOUND);
    if (record->detour != detour)
        return Fail(engine, ERROR_INVALID_PARAMETER);
    if (PendingFor(engine, record, record->body))
        return Fail(engine, ERROR_INVALID_OPERATION);

    Operation op;
    op.attach = false;
    op.record = record;
    op.target = target;
    op.detour = detour;
    op.originalTarget = record->originalTarget;
    engine.transaction.operations.push_back(op);
    return ERROR_SUCCESS;
}

LONG TransactionCommit()
{
    Engine& engine = TheEngine();
    std::lock_guard<std::mutex> guard(engine.lock);
    if (!OwnsTransaction(engine))
        return ERROR_INVALID_OPERATION;
    LONG error = engine.transaction.error;
    if (error == ERROR_SUCCESS)
        error = ApplyAll(engine.transaction);
    CloseTransaction(engine, error == ERROR_SUCCESS);
    return error;
}

LONG TransactionAbort()
{
    Engine& engine = TheEngine();
    std::lock_guard<std::mutex> guard(engine.lock);
    if (!OwnsTransaction(engine))
        return ERROR_INVALID_OPERATION;
    CloseTransaction(engine, false);
    return ERROR_SUCCESS;
}

}  // namespace hooking
