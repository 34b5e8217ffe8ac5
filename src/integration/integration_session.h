#pragma once
// Requests to agent modules and their responses: building a request, sending
// it (synchronously, or posted with its answer arriving later), reading the
// response document and finding one method's result in it.
#include "integration/integration.h"
#include "boundary/integration_types.h"

#include <string>
#include <string_view>

// A request of type "tesdk" for one method of one module, with empty
// parameters for the caller to fill in.
IntegrationRequest BuildRequest(const std::string& module, const std::string& method);

// The request document, as the library receives it.
std::string WriteRequestDocument(const IntegrationRequest& request);

// Sends under the connection's lock (held for the whole wait). On 0 the
// caller's response is replaced by the parsed answer (no modules when the
// answer is not a response document); otherwise it is left untouched and the
// library's result is returned. Without a connection: 2250, library untouched.
ResultCode Send(cv::tesdk::Integration& connection, const IntegrationRequest& request, IntegrationResponse& response,
                uint32_t timeoutMs);

// Posts; the answer comes later to every connection's OnResponse.
ResultCode PostRequest(cv::tesdk::Integration& connection, const IntegrationRequest& request,
                       const std::string& requestId);

// Any module list that breaks the document's rules empties the whole response.
IntegrationResponse ParseResponse(const std::string& text);

// The first result of that method in the first module of that name, or null.
const ResponseMethod* FindMethod(const IntegrationResponse& response, std::wstring_view module,
                                 std::wstring_view method);

// Asks "Product.Support" "GetState" (5000 ms) whether the support state is `expected`.
[[nodiscard]] bool IsSupportState(cv::tesdk::Integration& connection, std::wstring_view expected);
