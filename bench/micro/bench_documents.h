#pragma once
// Documents of a chosen size, shaped as the agent sends them.
#include <json/value.h>

#include <cstddef>
#include <string>

namespace bench {

// The sizes a size-dependent benchmark runs at: 10 to 100,000 elements.
constexpr long SmallestDocument = 10;
constexpr long LargestDocument = 100000;

// A response document whose module "Product" answers with `methods`
// results, each with an error code and a small output object.
Json::Value ResponseDocument(size_t methods);
// The same, as the text the agent hands over.
std::string ResponseText(size_t methods);

// An answer of "Product" "GetStatus" (the output of the method).
Json::Value ProductStatus();

}  // namespace bench
