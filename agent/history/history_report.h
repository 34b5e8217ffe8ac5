#pragma once
// The session history as text (UTF-8, CR LF line ends).
//
// Table: one header line and one line per session, columns aligned and
// separated by two spaces; an empty value shows as "-". Without sessions:
// "No support sessions recorded." only.
//
// CSV: the header id,kind,scenarios,started,ended,status,deliveredTo and one
// line per session; lists are joined with ";"; fields are quoted when they
// hold a comma, a quote or a line break.
#include "history_options.h"

#include "common/support_history_store.h"

#include <string>
#include <vector>

namespace standin {
namespace history {

std::string HistoryTable(const std::vector<common::SupportSessionRecord>& sessions);
std::string HistoryCsv(const std::vector<common::SupportSessionRecord>& sessions);
std::string HistoryReport(const std::vector<common::SupportSessionRecord>& sessions, ReportFormat format);

}  // namespace history
}  // namespace standin
