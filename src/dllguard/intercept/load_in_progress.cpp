#include "dllguard/intercept/load_in_progress.h"

#include <windows.h>

#include <algorithm>

namespace dllguard {
namespace {

thread_local LoadInProgress* t_innermost = nullptr;
thread_local bool t_writingRecursionRecord = false;

}  // namespace

LoadInProgress::LoadInProgress(const wchar_t* name) : name_(name), outer_(t_innermost) { t_innermost = this; }

LoadInProgress::~LoadInProgress() { t_innermost = outer_; }

bool LoadInProgress::Contains(const wchar_t* name)
{
    for (const LoadInProgress* load = t_innermost; load != nullptr; load = load->outer_) {
        if (CompareStringOrdinal(load->name_, -1, name, -1, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

std::vector<std::wstring> LoadInProgress::Names()
{
    std::vector<std::wstring> names;
    for (const LoadInProgress* load = t_innermost; load != nullptr; load = load->outer_)
        names.emplace_back(load->name_);
    std::reverse(names.begin(), names.end());
    return names;
}

WritingRecursionRecord::WritingRecursionRecord() { t_writingRecursionRecord = true; }

WritingRecursionRecord::~WritingRecursionRecord() { t_writingRecursionRecord = false; }

bool WritingRecursionRecord::IsSet() { return t_writingRecursionRecord; }

}  // namespace dllguard
