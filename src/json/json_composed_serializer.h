#pragma once
// Maps the agent's JSON documents onto typed records, and writes the
// method-call list of a request.
//
// A record type is described once by specializing JsonRecord with its fields
// in load order:
//
//   template <>
//   struct JsonRecord<Scenario> {
//       static constexpr RecordField<Scenario> fields[] = {
//           JsonField<&Scenario::id>("id"),
//           JsonOptionalField<&Scenario::reason>("reason"),
//       };
//   };
//
// The kind of a field follows from its member's type: int32_t, ResultCode, bool,
// uint64_t, int64_t, wide (cv::StringW, std::wstring) and UTF-8 (cv::StringA,
// std::string) strings, Json::Value (any non-null value, deep copy), an
// enumeration whose names come from a JsonEnumNames specialization, a record
// with its own JsonRecord, and std::vector or cv::List of any of these.
//
// Declare a record's JsonRecord (and an enumeration's JsonEnumNames) before
// the first load that involves the type.
//
// A failed field writes "Failed to load subnode <key>" at level 8 to the
// diagnostics log while the log is active. Loaders return false for bad data
// and never throw.
#include "base/result_codes.h"
#include "boundary/cv_list.h"
#include "boundary/cv_string.h"
#include "boundary/integration_types.h"
#include "json/json_path.h"
#include "json/json_values.h"

#include <json/value.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

template <class Record>
struct RecordField {
    const char* key;  // path relative to the record's node
    bool optional;    // loaded only when the presence test passes
    bool (*load)(const Json::Value* context, const char* key, Record& record);
};

// Specialize per record type with `static constexpr RecordField<R> fields[]`.
template <class Record>
struct JsonRecord;

template <class Enum>
struct EnumName {
    const wchar_t* name;  // compared exactly
    Enum value;
};

// Specialize per enumeration with `static constexpr EnumName<E> names[]`.
template <class Enum>
struct JsonEnumNames;

class JsonComposedSerializer {
public:
    // Field loader: reads `key` below `context` into `out`. False without a
    // context (silently), or when the value is missing or of a kind not
    // accepted (traced; `out` then holds the reset value: 0, false, empty,
    // null, the enumeration's zero).
    template <class T>
    [[nodiscard]] static bool LoadField(const Json::Value* context, std::string_view key, T& out);

    // True when `context` is an object whose member `member` is not null.
    static bool IsPresent(const Json::Value* context, std::string_view member);

    // Loads a record whose node is at `key` below `parent` (an empty key
    // means the parent itself). A missing node loads as a null node, so its
    // required fields fail. Fields load in declared order and the first
    // failure stops the load; later fields keep their previous values.
    template <class Record>
    [[nodiscard]] static bool LoadRecord(const Json::Value* parent, std::string_view key, Record& out);

    // Loads the array at `key` below `parent` element by element ("key[i]").
    // Any failing element leaves the list empty. An empty array succeeds.
    template <class T>
    [[nodiscard]] static bool LoadList(const Json::Value* parent, std::string_view key, std::vector<T>& out);
    template <class T>
    [[nodiscard]] static bool LoadList(const Json::Value* parent, std::string_view key, cv::List<T>& out);

    // Writes an array at `key` below `parent`, one element per call:
    // {"@name": name as UTF-8, "input": a copy of params}.
    static bool WriteMethodCalls(Json::Value* parent, std::string_view key, const std::vector<RequestMethod>& calls);

    // Where the "Failed to load subnode" lines go; the default writes to
    // the diagnostics log. Returns the previous sink.
    using TraceSink = void (*)(std::string_view key);
    static TraceSink SetTraceSink(TraceSink sink);

private:
    template <class T>
    struct IsVector : std::false_type {};
    template <class T>
    struct IsVector<std::vector<T>> : std::true_type {};
    template <class T>
    struct IsCvList : std::false_type {};
    template <class T>
    struct IsCvList<cv::List<T>> : std::true_type {};
    template <class T, class = void>
    struct IsRecord : std::false_type {};
    template <class T>
    struct IsRecord<T, std::void_t<decltype(JsonRecord<T>::fields)>> : std::true_type {};

    static void TraceFailedSubnode(std::string_view key);
    static std::string ElementPath(std::string_view key, Json::ArrayIndex index);
    // The node a record at `key` reads from: null for an invalid path, a
    // null value for a missing node.
    static const Json::Value* RecordContext(const Json::Value* parent, std::string_view key);

    static bool ReadScalar(const Json::Value& context, std::string_view key, int32_t& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, ResultCode& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, bool& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, uint64_t& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, int64_t& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, std::string& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, cv::StringA& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, std::wstring& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, cv::StringW& out);
    static bool ReadScalar(const Json::Value& context, std::string_view key, Json::Value& out);

    template <class Enum>
    static bool ReadEnum(const Json::Value& context, std::string_view key, Enum& out)
    {
        out = Enum{};
        std::wstring text;
        if (!GetWideString(text, context, key))
            return false;
        for (const EnumName<Enum>& entry : JsonEnumNames<Enum>::names) {
            if (text == entry.name) {
                out = entry.value;
                return true;
            }
        }
        return false;
    }

    // Reads without tracing: the kind's getter, a list or a record.
    template <class T>
    static bool Read(const Json::Value& context, std::string_view key, T& out)
    {
        if constexpr (std::is_enum_v<T>)
            return ReadEnum(context, key, out);
        else if constexpr (IsVector<T>::value || IsCvList<T>::value)
            return LoadList(&context, key, out);
        else if constexpr (IsRecord<T>::value)
            return LoadRecord(&context, key, out);
        else
            return ReadScalar(context, key, out);
    }

    template <class Record>
    static bool LoadFields(const Json::Value* context, Record& out)
    {
        for (const RecordField<Record>& field : JsonRecord<Record>::fields) {
            if (field.optional && !IsPresent(context, field.key))
                continue;
            if (!field.load(context, field.key, out))
                return false;
        }
        return true;
    }

    template <class T>
    static bool LoadElement(const Json::Value& parent, const std::string& path, T& out)
    {
        if constexpr (IsRecord<T>::value) {
            const Json::Value* element = FindPath(&parent, path);
            return element != nullptr && LoadFields(element, out);
        } else {
            return Read(parent, path, out);
        }
    }

    // Calls `append` for each loaded element; false at the first failure.
    template <class T, class Append>
    static bool LoadElements(const Json::Value& parent, std::string_view key, const Json::Value& list, Append append)
    {
        const Json::ArrayIndex size = list.size();
        for (Json::ArrayIndex index = 0; index < size; ++index) {
            if (index > static_cast<Json::ArrayIndex>(INT_MAX))
                return false;
            T element{};
            if (!LoadElement(parent, ElementPath(key, index), element) || !append(std::move(element)))
                return false;
        }
        return true;
    }

    // Room reserved up front is capped: a sparse array reports a size far
    // beyond the elements it holds.
    static constexpr size_t MaxReserve = 4096;
};

template <class T>
bool JsonComposedSerializer::LoadField(const Json::Value* context, std::string_view key, T& out)
{
    if (context == nullptr)
        return false;
    if (Read(*context, key, out))
        return true;
    TraceFailedSubnode(key);
    return false;
}

template <class Record>
bool JsonComposedSerializer::LoadRecord(const Json::Value* parent, std::string_view key, Record& out)
{
    if (parent == nullptr)
        return false;
    return LoadFields(RecordContext(parent, key), out);
}

template <class T>
bool JsonComposedSerializer::LoadList(const Json::Value* parent, std::string_view key, std::vector<T>& out)
{
    if (parent == nullptr || key.empty())
        return false;
    out.clear();
    const Json::Value* list = FindPath(parent, key);
    if (list == nullptr || !list->isArray())
        return false;
    out.reserve(std::min<size_t>(list->size(), MaxReserve));
    const bool loaded = LoadElements<T>(*parent, key, *list, [&out](T&& element) {
        out.push_back(std::move(element));
        return true;
    });
    if (!loaded)
        out.clear();
    return loaded;
}

template <class T>
bool JsonComposedSerializer::LoadList(const Json::Value* parent, std::string_view key, cv::List<T>& out)
{
    if (parent == nullptr || key.empty())
        return false;
    out.Clear();
    const Json::Value* list = FindPath(parent, key);
    if (list == nullptr || !list->isArray())
        return false;
    const bool loaded = LoadElements<T>(*parent, key, *list, [&out](T&& element) { return out.PushBack(element) == 0; });
    if (!loaded)
        out.Clear();
    return loaded;
}

namespace json_record_detail {

template <class MemberPointer>
struct MemberOf;
template <class Class, class Member>
struct MemberOf<Member Class::*> {
    using Record = Class;
};

template <auto Member>
using RecordOf = typename MemberOf<decltype(Member)>::Record;

template <auto Member>
bool LoadMember(const Json::Value* context, const char* key, RecordOf<Member>& record)
{
    return JsonComposedSerializer::LoadField(context, key, record.*Member);
}

}  // namespace json_record_detail

// A required field of a record: `key` read into the member.
template <auto Member>
constexpr RecordField<json_record_detail::RecordOf<Member>> JsonField(const char* key)
{
    return {key, false, &json_record_detail::LoadMember<Member>};
}

// An optional field: loaded only when IsPresent(context, key), so its key is
// a plain member name, not a path; once present, its failure fails the record.
template <auto Member>
constexpr RecordField<json_record_detail::RecordOf<Member>> JsonOptionalField(const char* key)
{
    return {key, true, &json_record_detail::LoadMember<Member>};
}

// A method's result in a response: "@name" (a string or an integer), "error"
// and, when present and not null, "output".
template <>
struct JsonRecord<ResponseMethod> {
    static constexpr RecordField<ResponseMethod> fields[] = {
        JsonField<&ResponseMethod::name>("@name"),
        JsonField<&ResponseMethod::error>("error"),
        JsonOptionalField<&ResponseMethod::output>("output"),
    };
};
