#include "simulation/support_delivery.h"

#include "common/support_history_store.h"

namespace standin {

void RecordFinishedSession(const Json::Value& support, const std::string& status, const Json::Value& deliveredTo,
                           int64_t endedMs)
{
    common::SupportSessionRecord record;
    record.id = support["sessionId"].asString();
    record.kind = support["kind"].asString();
    for (const auto& scenario : support["scenarios"]) {
        if (scenario.isString())
            record.scenarios.push_back(scenario.asString());
    }
    record.started = common::HistoryTimeText(support["startedMs"].asInt64());
    record.ended = common::HistoryTimeText(endedMs);
    record.status = status;
    for (const auto& delivery : deliveredTo) {
        if (delivery["path"].isString())
            record.deliveredTo.push_back(delivery["path"].asString());
    }
    common::AppendSupportSession(record);
}

}  // namespace standin
