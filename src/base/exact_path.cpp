#include "base/exact_path.h"

#include "base/module_path.h"
#include "base/owner_only_security.h"

#include <utility>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A folder on the way is held for traversal only; others may still read and
// write in it, but not rename or remove it while it is held.
constexpr DWORD kFolderAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Room for a final path: a checked path, "\\?\UNC\" and the null.
constexpr DWORD kFinalRoom = kExactPathMaxLength + 16;

ExactPathOutcome Failure(ExactPathStatus status, size_t level, DWORD error = 0, DWORD links = 0)
{
    ExactPathOutcome outcome;
    outcome.status = status;
    outcome.level = level;
    outcome.error = error;
    outcome.links = links;
    return outcome;
}

bool SameText(const wchar_t* a, const wchar_t* b, size_t length)
{
    return length == 0 || CompareStringOrdinal(a, static_cast<int>(length), b, static_cast<int>(length), TRUE) ==
                              CSTR_EQUAL;
}

// What a handle says of itself. GetFileInformationByHandle would also ask
// the volume for its serial number, which under Wine is a round trip to the
// mount manager of about 2 ms.
struct HandleFacts {
    DWORD attributes = 0;
    DWORD links = 0;
};

bool FactsOf(HANDLE handle, HandleFacts& facts)
{
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)) ||
        !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof(standard)))
        return false;
    facts.attributes = basic.FileAttributes;
    facts.links = standard.NumberOfLinks;
    return true;
}

// Adds attributes to a folder this walk made, through its handle.
void AddAttributes(HANDLE folder, DWORD attributes)
{
    FILE_BASIC_INFO basic{};  // zero times: left as they are
    if (!GetFileInformationByHandleEx(folder, FileBasicInfo, &basic, sizeof(basic)))
        return;
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
    basic.FileAttributes |= attributes;
    SetFileInformationByHandle(folder, FileBasicInfo, &basic, sizeof(basic));
}

class Walk {
public:
    Walk(const ExactPath& path, const ExactOpen& how) : path_(path), how_(how) {}

    ExactPathOutcome OpenRoot();
    ExactPathOutcome OpenFolder(size_t level);
    ExactPathOutcome OpenFile(size_t level, UniqueFile& file);

private:
    ExactPathOutcome Check(HANDLE handle, size_t level, bool folder) const;
    void Announce(const std::wstring& name) const
    {
        if (how_.beforeOpen)
            how_.beforeOpen(how_.context, name.c_str());
    }
    HANDLE OpenFolderHandle(const std::wstring& name, DWORD extraAccess) const
    {
        Announce(name);
        return CreateFileW(name.c_str(), kFolderAccess | extraAccess, kFolderShare, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }
    HANDLE OpenFileHandle(const std::wstring& name, DWORD disposition) const
    {
        Announce(name);
        return CreateFileW(name.c_str(), how_.access | FILE_READ_ATTRIBUTES, how_.share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }

    const ExactPath& path_;
    const ExactOpen& how_;
    wchar_t rootFinal_[kFinalRoom];
    size_t rootFinalLength_ = 0;
    UniqueFile held_[kExactPathMaxDepth];
};

// The root is taken as it is, links and all: its final path is what every
// level below must extend.
ExactPathOutcome Walk::OpenRoot()
{
    const size_t level = path_.Depth();
    Announce(path_.Root());
    const UniqueFile root(CreateFileW(path_.Root().c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root)
        return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
    HandleFacts facts;
    if (!FactsOf(root.get(), facts))
        return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
    if (!(facts.attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Failure(ExactPathStatus::WrongKind, level);
    const DWORD length = GetFinalPathNameByHandleW(root.get(), rootFinal_, kFinalRoom, FILE_NAME_NORMALIZED);
    if (length == 0)
        return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
    if (length >= kFinalRoom)
        return Failure(ExactPathStatus::OpenFailed, level, ERROR_FILENAME_EXCED_RANGE);
    rootFinalLength_ = length;
    while (rootFinalLength_ > 0 && rootFinal_[rootFinalLength_ - 1] == L'\\')  // "\\?\C:\" of a drive's root
        --rootFinalLength_;
    return {};
}

ExactPathOutcome Walk::Check(HANDLE handle, size_t level, bool folder) const
{
    HandleFacts facts;
    if (!FactsOf(handle, facts))
        return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
    if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Failure(ExactPathStatus::ReparsePoint, level);
    if (((facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder)
        return Failure(ExactPathStatus::WrongKind, level);

    wchar_t final[kFinalRoom];
    const DWORD length = GetFinalPathNameByHandleW(handle, final, kFinalRoom, FILE_NAME_NORMALIZED);
    if (length == 0)
        return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
    const std::wstring& intended = path_.Level(level);
    const size_t below = intended.size() - path_.BelowRoot();
    if (length >= kFinalRoom || length != rootFinalLength_ + below || !SameText(final, rootFinal_, rootFinalLength_) ||
        !SameText(final + rootFinalLength_, intended.c_str() + path_.BelowRoot(), below))
        return Failure(ExactPathStatus::Linked, level);

    if (!folder && facts.links != 1)
        return Failure(ExactPathStatus::HardLinked, level, 0, facts.links);
    return {};
}

ExactPathOutcome Walk::OpenFolder(size_t level)
{
    const std::wstring& name = path_.Level(level);
    UniqueFile folder(OpenFolderHandle(name, 0));
    bool made = false;
    if (!folder && GetLastError() == ERROR_FILE_NOT_FOUND && how_.createFolders) {
        // Made inside the folder held just before; a name that appeared
        // meanwhile is opened and checked like any other.
        OwnerOnlySecurity security;
        if (!security.Attributes())
            return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
        Announce(name);
        made = CreateDirectoryW(name.c_str(), security.Attributes()) != FALSE;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
            return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
        folder.reset(OpenFolderHandle(name, made && how_.newFolderAttributes ? FILE_WRITE_ATTRIBUTES : 0));
    }
    if (!folder)
        return Failure(ExactPathStatus::OpenFailed, level, GetLastError());
    const ExactPathOutcome checked = Check(folder.get(), level, true);
    if (!checked)
        return checked;
    if (made && how_.newFolderAttributes)
        AddAttributes(folder.get(), how_.newFolderAttributes);
    held_[level] = std::move(folder);
    return {};
}

ExactPathOutcome Walk::OpenFile(size_t level, UniqueFile& file)
{
    const std::wstring& name = path_.Level(level);
    UniqueFile opened;
    for (int retry = 0;; ++retry) {
        opened.reset(OpenFileHandle(name, OPEN_EXISTING));
        // Made only where nothing is, not even a link that names nothing.
        if (!opened && GetLastError() == ERROR_FILE_NOT_FOUND && how_.createFile) {
            opened.reset(OpenFileHandle(name, CREATE_NEW));
            if (!opened && GetLastError() == ERROR_FILE_EXISTS)  // made meanwhile by another writer
                opened.reset(OpenFileHandle(name, OPEN_EXISTING));
        }
        if (opened)
            break;
        const DWORD error = GetLastError();
        if (!how_.retryOpen || !how_.retryOpen(how_.context, error, retry))
            return Failure(ExactPathStatus::OpenFailed, level, error);
    }
    const ExactPathOutcome checked = Check(opened.get(), level, false);
    if (checked)
        file = std::move(opened);
    return checked;
}

}  // namespace

ExactPath::ExactPath(std::wstring_view root, std::wstring_view below)
{
    std::wstring prefix(root);
    for (wchar_t& c : prefix) {
        if (c == L'/')
            c = L'\\';
    }
    while (!prefix.empty() && prefix.back() == L'\\')
        prefix.pop_back();
    if (prefix.empty())
        return;
    std::vector<std::wstring> levels;
    std::wstring current = prefix;
    for (size_t i = 0; i < below.size();) {
        while (i < below.size() && IsSeparator(below[i]))
            ++i;
        const size_t start = i;
        while (i < below.size() && !IsSeparator(below[i]))
            ++i;
        if (i == start)
            break;
        const std::wstring_view step = below.substr(start, i - start);
        if (step == L"." || step == L"..")
            return;
        current.append(1, L'\\').append(step);
        levels.push_back(current);
    }
    if (levels.empty() || levels.size() > kExactPathMaxDepth || current.size() >= kExactPathMaxLength)
        return;
    // "C:" alone would name the drive's current folder.
    root_ = prefix.size() == 2 && prefix[1] == L':' ? prefix + L"\\" : prefix;
    belowRoot_ = prefix.size();
    levels_ = std::move(levels);
}

ExactPath ExactPathUnder(std::wstring_view root, std::wstring_view full)
{
    while (!root.empty() && IsSeparator(root.back()))
        root.remove_suffix(1);
    if (root.empty() || full.size() <= root.size() + 1 || !IsSeparator(full[root.size()]) ||
        CompareStringOrdinal(root.data(), static_cast<int>(root.size()), full.data(), static_cast<int>(root.size()),
                             TRUE) != CSTR_EQUAL)
        return {};
    return ExactPath(root, full.substr(root.size() + 1));
}

ExactPath ExactPathInItsFolder(const std::wstring& file) { return ExactPathUnder(FolderOf(file), file); }

const std::wstring& ExactPath::Full() const
{
    static const std::wstring none;
    return levels_.empty() ? none : levels_.back();
}

const wchar_t* ExactPathProblem(ExactPathStatus status)
{
    switch (status) {
    case ExactPathStatus::Exact:
        return L"none";
    case ExactPathStatus::NoPath:
        return L"no path";
    case ExactPathStatus::OpenFailed:
        return L"cannot be opened";
    case ExactPathStatus::Linked:
        return L"a link on the way (the final path is another)";
    case ExactPathStatus::ReparsePoint:
        return L"a reparse point";
    case ExactPathStatus::HardLinked:
        return L"a file with more than one name";
    case ExactPathStatus::WrongKind:
        return L"a file where a folder belongs, or a folder where the file does";
    }
    return L"unknown";
}

ExactPathOutcome OpenExactFile(const ExactPath& path, const ExactOpen& how, UniqueFile& file)
{
    file.reset();
    if (path.Empty())
        return Failure(ExactPathStatus::NoPath, 0);
    Walk walk(path, how);
    ExactPathOutcome outcome = walk.OpenRoot();
    for (size_t level = 0; outcome && level + 1 < path.Depth(); ++level)
        outcome = walk.OpenFolder(level);
    return outcome ? walk.OpenFile(path.Depth() - 1, file) : outcome;
}

ExactPathOutcome MakeExactFolders(const ExactPath& path, const ExactOpen& how)
{
    if (path.Empty())
        return Failure(ExactPathStatus::NoPath, 0);
    Walk walk(path, how);
    ExactPathOutcome outcome = walk.OpenRoot();
    for (size_t level = 0; outcome && level < path.Depth(); ++level)
        outcome = walk.OpenFolder(level);
    return outcome;
}
