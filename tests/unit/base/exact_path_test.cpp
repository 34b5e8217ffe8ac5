#include "base/exact_path.h"
#include "file_links.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kPrecious = "bytes that must stay as they are";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A tree root\a\b\file.log, and elsewhere a copy of what a link could lead to.
class Tree {
public:
    Tree()
    {
        root = folder.MakeFolder(L"root");
        other = folder.MakeFolder(L"other");
        EXPECT_TRUE(WriteBytes(other + L"\\precious.bin", kPrecious));
    }

    ExactPath Path(std::wstring_view below = L"a\\b\\file.log") const { return ExactPath(root, below); }
    // What lies elsewhere: its names and contents, to compare before and after.
    std::vector<std::string> Elsewhere() const
    {
        std::vector<std::string> seen;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(other))
            seen.push_back(entry.path().string() + "=" + (entry.is_regular_file() ? ReadBytes(entry.path()) : "/"));
        return seen;
    }

    TempFolderWithLinks folder;
    std::wstring root;
    std::wstring other;
};

ExactOpen Making()
{
    ExactOpen how;
    how.createFolders = true;
    return how;
}

// The outcome a link gives: Wine follows a Unix link and shows its target as
// the final path; Windows opens the link itself, a reparse point.
bool RefusedAsLink(const ExactPathOutcome& outcome)
{
    return outcome.status == ExactPathStatus::Linked || outcome.status == ExactPathStatus::ReparsePoint;
}

TEST(ExactPathTest, MadeOrFoundTheFileIsTheOneThePathNames)
{
    Tree tree;
    UniqueFile file;
    ExactPathOutcome outcome = OpenExactFile(tree.Path(), Making(), file);
    ASSERT_TRUE(outcome) << ExactPathProblem(outcome.status) << " at " << outcome.level;
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "first", 5, &written, nullptr));
    file.reset();

    // Found again, with its content: opening never empties it.
    outcome = OpenExactFile(tree.Path(), ExactOpen(), file);
    ASSERT_TRUE(outcome) << ExactPathProblem(outcome.status);
    file.reset();
    EXPECT_EQ(ReadBytes(tree.root + L"\\a\\b\\file.log"), "first");

    // Without leave to make them, missing folders and files stay missing.
    ExactOpen openOnly;
    openOnly.createFile = false;
    struct Case {
        std::wstring_view below;
        ExactOpen how;
        size_t level;
    };
    const Case cases[] = {{L"c\\d\\file.log", ExactOpen(), 0}, {L"a\\b\\other.log", openOnly, 2}};
    for (const Case& c : cases) {
        outcome = OpenExactFile(tree.Path(c.below), c.how, file);
        EXPECT_EQ(outcome.status, ExactPathStatus::OpenFailed) << Narrow(std::wstring(c.below));
        EXPECT_EQ(outcome.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(outcome.level, c.level);
        EXPECT_FALSE(file);
    }
    EXPECT_FALSE(Exists(tree.root + L"\\c"));
    EXPECT_FALSE(Exists(tree.root + L"\\a\\b\\other.log"));
}

TEST(ExactPathTest, TheRootIsTakenAsItIsLinksAndAll)
{
    Tree tree;
    const std::wstring linkedRoot = tree.folder / L"linked_root";
    ASSERT_TRUE(MakeSymbolicLink(linkedRoot, tree.root));
    UniqueFile file;
    const ExactPathOutcome outcome = OpenExactFile(ExactPath(linkedRoot, L"a\\file.log"), Making(), file);
    EXPECT_TRUE(outcome) << ExactPathProblem(outcome.status) << " at " << outcome.level;
    EXPECT_TRUE(Exists(tree.root + L"\\a\\file.log"));
}

TEST(ExactPathTest, TheFileAsALinkIsRefusedAndWhatItNamesLeftAlone)
{
    using Status = ExactPathStatus;
    struct Case {
        const char* name;
        std::function<bool(const Tree&, const std::wstring&)> plant;
        std::vector<Status> refusals;  // Wine follows a Unix link; Windows opens a link itself
    };
    const Case cases[] = {
        {"symbolic link",
         [](const Tree& t, const std::wstring& at) { return MakeSymbolicLink(at, t.other + L"\\precious.bin"); },
         {Status::Linked, Status::ReparsePoint}},
        {"hard link", [](const Tree& t, const std::wstring& at) { return MakeHardLink(at, t.other + L"\\precious.bin"); },
         {Status::HardLinked}},
        // A folder cannot be opened as a file at all.
        {"symbolic link to a folder", [](const Tree& t, const std::wstring& at) { return MakeSymbolicLink(at, t.other); },
         {Status::Linked, Status::ReparsePoint, Status::OpenFailed}},
    };
    for (const Case& c : cases) {
        Tree tree;
        const std::wstring at = tree.folder.MakeFolder(L"root\\a\\b") + L"\\file.log";
        ASSERT_TRUE(c.plant(tree, at)) << c.name;
        const auto before = tree.Elsewhere();

        UniqueFile file;
        const ExactPathOutcome outcome = OpenExactFile(tree.Path(), Making(), file);
        EXPECT_FALSE(file) << c.name;
        EXPECT_EQ(outcome.level, 2u) << c.name;
        EXPECT_NE(std::find(c.refusals.begin(), c.refusals.end(), outcome.status), c.refusals.end())
            << c.name << ": " << ExactPathProblem(outcome.status);
        if (outcome.status == Status::HardLinked) {
            EXPECT_EQ(outcome.links, 2u);
        }
        EXPECT_EQ(tree.Elsewhere(), before) << c.name;
    }
}

TEST(ExactPathTest, ALinkThatNamesNothingMakesNothing)
{
    Tree tree;
    const std::wstring at = tree.folder.MakeFolder(L"root\\a\\b") + L"\\file.log";
    ASSERT_TRUE(MakeSymbolicLink(at, tree.other + L"\\precious.bin"));
    ASSERT_TRUE(DeleteFileW((tree.other + L"\\precious.bin").c_str()));  // the link now names nothing

    UniqueFile file;
    const ExactPathOutcome outcome = OpenExactFile(tree.Path(), Making(), file);
    EXPECT_FALSE(outcome);
    EXPECT_FALSE(file);
    EXPECT_FALSE(Exists(tree.other + L"\\precious.bin")) << "made through the link";
}

TEST(ExactPathTest, AFolderAsALinkAtEachLevelIsRefusedAndWhatItNamesLeftAlone)
{
    const std::wstring levels[] = {L"a", L"a\\b", L"a\\b\\c"};
    for (size_t level = 0; level < std::size(levels); ++level) {
        for (bool fileOnly : {true, false}) {
            Tree tree;
            // Elsewhere, the rest of the tree, so that following the link would succeed.
            tree.folder.MakeFolder(L"other\\b\\c");
            const std::wstring link = tree.root + L"\\" + levels[level];
            if (level > 0)
                tree.folder.MakeFolder(L"root\\" + levels[level - 1]);
            ASSERT_TRUE(MakeSymbolicLink(link, tree.other)) << level;
            const auto before = tree.Elsewhere();

            const ExactPath path = tree.Path(L"a\\b\\c\\file.log");
            ExactPathOutcome outcome;
            if (fileOnly) {
                UniqueFile file;
                outcome = OpenExactFile(path, Making(), file);
                EXPECT_FALSE(file);
            } else {
                outcome = MakeExactFolders(ExactPath(tree.root, L"a\\b\\c\\d"), Making());
            }
            EXPECT_TRUE(RefusedAsLink(outcome)) << level << ": " << ExactPathProblem(outcome.status);
            EXPECT_EQ(outcome.level, level);
            EXPECT_EQ(tree.Elsewhere(), before) << "at level " << level;
        }
    }
}

// The walk is told before every open; a test uses that moment to change the
// path under it, as another user could.
struct Swap {
    std::wstring when;  // the path about to be opened
    std::function<void()> change;
    bool done = false;

    static void BeforeOpen(void* context, const wchar_t* path)
    {
        auto* swap = static_cast<Swap*>(context);
        if (!swap->done && swap->when == path) {
            swap->done = true;
            swap->change();
        }
    }
};

TEST(ExactPathTest, APathChangedBetweenAnEarlierLookAndTheOpenIsRefused)
{
    struct Case {
        const char* name;
        std::wstring when;
        std::function<void(const Tree&)> change;
    };
    const Case cases[] = {
        {"file replaced by a hard link", L"a\\b\\file.log",
         [](const Tree& t) {
             MoveFileW((t.root + L"\\a\\b\\file.log").c_str(), (t.root + L"\\moved.log").c_str());
             MakeHardLink(t.root + L"\\a\\b\\file.log", t.other + L"\\precious.bin");
         }},
        {"file replaced by a symbolic link", L"a\\b\\file.log",
         [](const Tree& t) {
             MoveFileW((t.root + L"\\a\\b\\file.log").c_str(), (t.root + L"\\moved.log").c_str());
             MakeSymbolicLink(t.root + L"\\a\\b\\file.log", t.other + L"\\precious.bin");
         }},
        {"folder replaced by a symbolic link", L"a\\b",
         [](const Tree& t) {
             MoveFileW((t.root + L"\\a\\b").c_str(), (t.root + L"\\moved").c_str());
             MakeSymbolicLink(t.root + L"\\a\\b", t.other);
         }},
    };
    for (const Case& c : cases) {
        Tree tree;
        tree.folder.MakeFolder(L"root\\a\\b");
        ASSERT_TRUE(WriteBytes(tree.root + L"\\a\\b\\file.log", "ours"));
        tree.folder.MakeFolder(L"other");
        ASSERT_TRUE(WriteBytes(tree.other + L"\\file.log", kPrecious));  // where the folder link leads
        // The earlier look: the path is fine.
        UniqueFile file;
        ASSERT_TRUE(OpenExactFile(tree.Path(), ExactOpen(), file)) << c.name;
        file.reset();
        const auto before = tree.Elsewhere();

        Swap swap{tree.root + L"\\" + c.when, [&] { c.change(tree); }};
        ExactOpen how;
        how.beforeOpen = &Swap::BeforeOpen;
        how.context = &swap;
        const ExactPathOutcome outcome = OpenExactFile(tree.Path(), how, file);
        ASSERT_TRUE(swap.done) << c.name;
        EXPECT_FALSE(outcome) << c.name;
        EXPECT_FALSE(file) << c.name;
        EXPECT_EQ(tree.Elsewhere(), before) << c.name;
    }
}

TEST(ExactPathTest, FoldersOnTheWayCannotBeRenamedWhileTheNextIsOpened)
{
    Tree tree;
    tree.folder.MakeFolder(L"root\\a\\b");
    DWORD renameError = 0;
    Swap swap{tree.root + L"\\a\\b\\file.log", [&] {
                  if (!MoveFileW((tree.root + L"\\a").c_str(), (tree.root + L"\\renamed").c_str()))
                      renameError = GetLastError();
              }};
    ExactOpen how;
    how.beforeOpen = &Swap::BeforeOpen;
    how.context = &swap;
    UniqueFile file;
    EXPECT_TRUE(OpenExactFile(tree.Path(), how, file));
    EXPECT_EQ(renameError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    file.reset();
    EXPECT_TRUE(MoveFileW((tree.root + L"\\a").c_str(), (tree.root + L"\\renamed").c_str()))
        << "held only while the file is opened";
}

std::vector<std::vector<BYTE>> AllowedSids(const std::wstring& path, std::vector<ACCESS_MASK>& masks)
{
    std::vector<BYTE> descriptor(4096);
    DWORD needed = 0;
    std::vector<std::vector<BYTE>> sids;
    if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                          static_cast<DWORD>(descriptor.size()), &needed))
        return sids;
    BOOL present = FALSE, defaulted = FALSE;
    ACL* acl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) || !present || !acl)
        return sids;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = &allowed->SidStart;
        sids.emplace_back(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
        masks.push_back(allowed->Mask);
    }
    return sids;
}

std::vector<BYTE> WellKnown(WELL_KNOWN_SID_TYPE type)
{
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    CreateWellKnownSid(type, nullptr, sid.data(), &size);
    sid.resize(size);
    return sid;
}

std::vector<BYTE> ProcessUser()
{
    UniqueHandle token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size);
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

// What the folders made get: SYSTEM, the Administrators and this account,
// nobody else. (Wine keeps a descriptor as Unix modes: it drops the
// Administrators and shows the rest.)
TEST(ExactPathTest, FoldersMadeLetInOnlySystemAdministratorsAndTheirOwner)
{
    Tree tree;
    ExactOpen how = Making();
    ASSERT_TRUE(MakeExactFolders(ExactPath(tree.root, L"made\\inner"), how));
    const std::vector<std::vector<BYTE>> allowed = {WellKnown(WinLocalSystemSid),
                                                    WellKnown(WinBuiltinAdministratorsSid), ProcessUser()};
    for (const std::wstring& made : {tree.root + L"\\made", tree.root + L"\\made\\inner"}) {
        std::vector<ACCESS_MASK> masks;
        const auto sids = AllowedSids(made, masks);
        ASSERT_FALSE(sids.empty()) << Narrow(made);
        bool ownerHasAll = false;
        for (size_t i = 0; i < sids.size(); ++i) {
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), sids[i]), allowed.end())
                << Narrow(made) << ": entry " << i << " lets in someone else";
            ownerHasAll |= sids[i] == ProcessUser() && (masks[i] & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
        }
        EXPECT_TRUE(ownerHasAll) << Narrow(made);
    }
}

TEST(ExactPathTest, PathsThatCannotBeCheckedAreEmpty)
{
    struct Case {
        std::wstring root, below;
        bool empty;
    };
    const Case cases[] = {
        {L"C:\\ProgramData", L"x\\y.log", false},
        {L"", L"x.log", true},
        {L"C:\\ProgramData", L"", true},
        {L"C:\\ProgramData", L"x\\..\\y.log", true},
        {L"C:\\ProgramData", L".\\y.log", true},
        {L"C:\\ProgramData", L"1\\2\\3\\4\\5\\6\\7\\8\\9.log", true},
        {L"C:\\ProgramData", std::wstring(kExactPathMaxLength, L'x'), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExactPath(c.root, c.below).Empty(), c.empty) << Narrow(c.root + L"|" + c.below);

    const ExactPath drive(L"C:", L"a/b//c.log");
    EXPECT_EQ(drive.Root(), L"C:\\");
    ASSERT_EQ(drive.Depth(), 3u);
    EXPECT_EQ(drive.Level(0), L"C:\\a");
    EXPECT_EQ(drive.Full(), L"C:\\a\\b\\c.log");
    EXPECT_EQ(ExactPath(L"C:\\ProgramData\\", L"x.log").Full(), L"C:\\ProgramData\\x.log");

    UniqueFile file;
    EXPECT_EQ(OpenExactFile(ExactPath(), ExactOpen(), file).status, ExactPathStatus::NoPath);
}

}  // namespace
