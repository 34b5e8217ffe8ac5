#include "json/json_path.h"

#include "base/text_conversion.h"

#include <climits>

namespace {

struct Segment {
    std::string_view name;
    int index = -1;  // negative: no index
};

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi without its overflow hazard: saturates instead.
int IndexValue(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > INT_MAX) {
            value = static_cast<long long>(INT_MAX) + 1;
            break;
        }
    }
    if (negative)
        return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Walks the segments of a path; Next gives false at the end or on an error.
class PathReader {
public:
    explicit PathReader(std::string_view path) : path_(path)
    {
        if (path_.empty())
            valid_ = false;
        else if (IsSeparator(path_[0]))
            pos_ = 1;
    }

    bool Valid() const { return valid_; }

    bool Next(Segment& segment)
    {
        if (!valid_ || pos_ >= path_.size())
            return false;
        if (++count_ > MaxPathSegments)
            return Fail();
        const size_t start = pos_;
        while (pos_ < path_.size() && !IsSeparator(path_[pos_]) && path_[pos_] != '[')
            ++pos_;
        segment.name = path_.substr(start, pos_ - start);
        segment.index = -1;
        if (pos_ < path_.size() && path_[pos_] == '[') {
            const size_t close = path_.find(']', pos_ + 1);
            if (close == std::string_view::npos)
                return Fail();
            segment.index = IndexValue(path_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
        }
        if (pos_ < path_.size() && IsSeparator(path_[pos_]))
            ++pos_;
        if (segment.name.empty() && segment.index < 0)
            return Fail();
        return true;
    }

private:
    bool Fail()
    {
        valid_ = false;
        return false;
    }

    std::string_view path_;
    size_t pos_ = 0;
    size_t count_ = 0;
    bool valid_ = true;
};

const Json::Value* ReadStep(const Json::Value* node, const Segment& segment)
{
    if (!segment.name.empty()) {
        if (!node->isObject())
            return nullptr;
        node = node->find(segment.name.data(), segment.name.data() + segment.name.size());
        if (node == nullptr)
            return nullptr;
    }
    if (segment.index >= 0) {
        const auto index = static_cast<Json::ArrayIndex>(segment.index);
        if (!node->isArray() || !node->isValidIndex(index))
            return nullptr;
        node = &(*node)[index];
    }
    return node;
}

Json::Value* CreateStep(Json::Value* node, const Segment& segment)
{
    if (!segment.name.empty()) {
        if (!node->isObject())
            *node = Json::Value(Json::objectValue);
        node = node->demand(segment.name.data(), segment.name.data() + segment.name.size());
    }
    if (segment.index >= 0) {
        if (!node->isArray() && !node->isNull())
            return nullptr;
        node = &(*node)[static_cast<Json::ArrayIndex>(segment.index)];
    }
    return node;
}

}  // namespace

bool IsValidPath(std::string_view path)
{
    PathReader reader(path);
    Segment segment;
    while (reader.Next(segment)) {
    }
    return reader.Valid();
}

const Json::Value* FindPath(const Json::Value* root, std::string_view path)
{
    if (root == nullptr || !IsValidPath(path))
        return nullptr;
    PathReader reader(path);
    Segment segment;
    const Json::Value* node = root;
    while (node != nullptr && reader.Next(segment))
        node = ReadStep(node, segment);
    return node == nullptr || node->isNull() ? nullptr : node;
}

Json::Value* FindPath(Json::Value* root, std::string_view path, PathMode mode)
{
    if (mode == PathMode::Read)
        return const_cast<Json::Value*>(FindPath(static_cast<const Json::Value*>(root), path));
    // Validated first so an invalid path changes nothing.
    if (root == nullptr || !IsValidPath(path))
        return nullptr;
    PathReader reader(path);
    Segment segment;
    Json::Value* node = root;
    while (node != nullptr && reader.Next(segment))
        node = CreateStep(node, segment);
    return node;
}

Json::Value* FindPath(Json::Value* root, std::wstring_view path)
{
    return FindPath(root, WideToUtf8(path), PathMode::Create);
}
