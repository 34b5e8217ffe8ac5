#pragma once
// Records of the support module's interface: where a session delivers its
// data (the "deliverTo" targets of a session request), what the module
// reports back per destination (the "deliveredTo" results of the
// session-ended event), and the entries of its scenario catalogue.
#include "boundary/cv_list.h"
#include "boundary/cv_string.h"

#include <json/value.h>

#include <cstdint>

namespace cv {
namespace tesdk {
namespace Product {

// The records the support module's interface exchanges; no operations here.
struct ISupport {
    enum DeliveryType : int32_t {
        Local = 0,
        NetworkShare = 1,
        HttpPost = 2,
        Unknown = 3,  // the type text travels in customType
    };

    // One extra form field of an HTTP post.
    struct PostItem {
        StringW name;
        StringW value;
        bool useDeliveryAsValue = false;
    };

    // One destination of the collected data.
    struct DeliveryTarget {
        DeliveryType type = Local;
        StringW customType;  // Unknown only
        StringW folder;      // Local, NetworkShare
        StringW fileName;    // Local, NetworkShare; left out when empty
        StringW domain;      // NetworkShare
        StringW user;
        StringW password;    // the user's own, passed through
        StringW id;          // any type; left out when empty
        StringW url;         // HttpPost
        int64_t sizeLimit = 0;
        List<PostItem> postItems;
    };

    // An entry of the session catalogue.
    struct Scenario {
        StringW id;
        StringW name;
        StringW description;
    };

    struct IStateEvent {
        // One delivery result; error 0 means delivered.
        struct SubmittedItemInfo {
            DeliveryType type = Local;
            StringW customType;  // the type text when it is none of the known ones
            StringW path;        // Local, NetworkShare
            StringW id;
            int32_t httpCode = -1;  // the HTTP members: HttpPost only
            StringA httpContentType;
            int64_t httpContentLength = -1;
            StringA httpBody;
            StringA httpBody64;
            int32_t error = 0;
            StringW reason;
        };
    };
};

}  // namespace Product
}  // namespace tesdk
}  // namespace cv

using DeliveryType = cv::tesdk::Product::ISupport::DeliveryType;
using DeliveryTarget = cv::tesdk::Product::ISupport::DeliveryTarget;
using PostItem = cv::tesdk::Product::ISupport::PostItem;
using SubmittedItemInfo = cv::tesdk::Product::ISupport::IStateEvent::SubmittedItemInfo;
using SupportScenario = cv::tesdk::Product::ISupport::Scenario;

// The result an HTTP delivery reports when it was cancelled; its response
// members are then not read.
constexpr int32_t DeliveryCancelledError = -1223;

// The text form of a delivery type in documents; null for a value without one.
const wchar_t* DeliveryTypeText(DeliveryType type);

// Writes the target's members into `node` (an object) in their order for its
// type. False for a type without a text form or a member that cannot be written.
bool WriteDeliveryTarget(Json::Value& node, const DeliveryTarget& target);

// Writes the array `key` below `parent`, one object per target ("key[i]"),
// stopping at the first target that fails.
bool WriteDeliveryTargets(Json::Value& parent, const char* key, const cv::List<DeliveryTarget>& targets);

// Reads the array `key` below `payload`; false (and an empty list) when any
// element fails to decode.
bool LoadSubmittedItems(const Json::Value& payload, const char* key, cv::List<SubmittedItemInfo>& items);

// Reads the array `key` below `output` as scenario catalogue entries; every
// entry needs "id", "displayName" and "description".
bool LoadScenarios(const Json::Value& output, const char* key, cv::List<SupportScenario>& scenarios);
