#pragma once
// Requests to agent modules and their responses: building a request, sending
// it (synchronously, or posted with its answer arriving later), reading the
// response document and finding one method's result in it.
#include "integration/integration.h"
#include "boundary/integration_types.h"

#include <string>
#include <string_view>
#include <vector>

// A request of type "tesdk" to one module: its methods in call order, each
// with its parameters complete (an empty object for a method that takes
// none). A request is whole once built; nothing patches it afterwards.
IntegrationRequest BuildRequest(std::string_view module, std::vector<RequestMethod> methods);
// The same for a request of one method.
IntegrationRequest BuildRequest(std::string_view module, std::string_view method,
                                Json::Value params = Json::Value(Json::objectValue));

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
const ResponseMethod* FindMethod(const IntegrationResponse& response, std::string_view module,
                                 std::string_view method);
