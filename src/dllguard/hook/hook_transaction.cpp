#include "dllguard/hook/hook_transaction.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "base/unique_resource.h"
#include "dllguard/hook/code_memory.h"
#include "dllguard/hook/code_relocation.h"
#include "dllguard/hook/jump_thunks.h"
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
    uint8_t patch[kPatchSize] = {};  // the jump written over the body while hooked
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
};

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

// A record of an earlier hook on `body` whose trampoline still matches it.
HookRecord* ReusableRecord(const Engine& engine, const uint8_t* body)
{
    for (auto it = engine.records.rbegin(); it != engine.records.rend(); ++it) {
        HookRecord& record = **it;
        if (record.body == body && !record.installed &&
            ReadableBytes(body, record.movedLength) == record.movedLength &&
            std::memcmp(body, record.original, record.movedLength) == 0)
            return &record;
    }
    return nullptr;
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
DWORD Apply(const Operation& op)
{
    HookRecord& record = *op.record;
    if (op.attach) {
        if (DWORD error = WriteCode(record.slot + kRelayTargetOffset, &op.detour, sizeof op.detour))
            return error;
        Publish(op.target, record.slot);
        if (DWORD error = WriteCode(record.body, op.patch, kPatchSize)) {
            Publish(op.target, op.originalTarget);
            return error;
        }
        return ERROR_SUCCESS;
    }
    if (DWORD error = WriteCode(record.body, record.original, kPatchSize))
        return error;
    Publish(op.target, op.originalTarget);
    return ERROR_SUCCESS;
}

void Revert(const Operation& op)
{
    HookRecord& record = *op.record;
    if (op.attach) {
        WriteCode(record.body, record.original, kPatchSize);
        Publish(op.target, op.originalTarget);
    } else {
        Publish(op.target, record.slot);
        WriteCode(record.body, record.patch, kPatchSize);
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

    // Straight to the replacement when it is within reach, else through the relay.
    const auto next = reinterpret_cast<uintptr_t>(body) + kPatchSize;
    const auto destination = Reachable(next, reinterpret_cast<uintptr_t>(detour))
                                 ? reinterpret_cast<uintptr_t>(detour)
                                 : reinterpret_cast<uintptr_t>(op.record->slot) + kRelayOffset;
    EncodeJumpRel32(op.patch, reinterpret_cast<uintptr_t>(body), destination);
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
