#include "commands/support/support_state.h"

#include "commands/support/support_replies.h"
#include "integration/agent_request.h"
#include "boundary/cv_string.h"
#include "json/json_composed_serializer.h"

bool IsSupportState(cv::tesdk::Integration& connection, std::wstring_view expected)
{
    const AgentReply state = AskAgent(connection, BuildRequest(SupportModule, "GetState"), QueryLimitMs);
    if (state.MethodCode() != result::Success)
        return false;
    cv::StringW text;
    if (!JsonComposedSerializer::LoadField(&state.Answer().output, "state", text))
        return false;
    return text.view() == expected;
}
