#pragma once
// The request log: every instance event, request, post and delivery of this
// process, as JSON lines in arrival order, so tests can assert on exactly what
// the console sent. Enabled by PRODUCT_TESDK_LOG naming the file.
#include <json/value.h>

#include <mutex>
#include <string>

namespace standin {

class RequestLog {
public:
    RequestLog();
    bool Enabled() const { return !path_.empty(); }
    // Adds "event", "pid", "seq" and "time_ms" to the entry and appends it.
    void Write(const char* event, Json::Value entry);

private:
    std::wstring path_;
    std::mutex lock_;
    uint64_t sequence_ = 0;
};

// The parsed document of a request text, or the raw text when it is not JSON.
Json::Value DocumentOrText(const std::string& text);

}  // namespace standin
