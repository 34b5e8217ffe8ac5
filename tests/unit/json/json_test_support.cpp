#include "json_test_support.h"

#include "json/json_document.h"

#include <gtest/gtest.h>
#include <json/writer.h>

Json::Value Document(const std::string& text)
{
    Json::Value document;
    EXPECT_TRUE(ParseJsonDocument(text, document)) << text;
    return document;
}

std::string Text(const Json::Value& value)
{
    Json::FastWriter writer;
    std::string text = writer.write(value);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}
