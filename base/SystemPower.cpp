#include "base/SystemPower.h"

#include <array>
#include <string_view>

namespace tessaro::power {

namespace {

struct Refusal {
    std::string_view errorName;
    const char* text;
};

// The errors a user can act on, each with what it means for them.
constexpr std::array kRefusals{
    Refusal{"org.freedesktop.DBus.Error.AccessDenied", "没有权限"},
    Refusal{"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", "没有权限"},
    Refusal{"org.freedesktop.PolicyKit1.Error.NotAuthorized", "没有权限"},
    Refusal{"org.freedesktop.PolicyKit1.Error.Cancelled", "授权被取消"},
    Refusal{"org.freedesktop.DBus.Error.ServiceUnknown", "系统没有提供电源管理服务（logind）"},
    Refusal{"org.freedesktop.DBus.Error.NameHasNoOwner", "系统没有提供电源管理服务（logind）"},
    Refusal{"org.freedesktop.DBus.Error.NoReply", "系统没有回应"},
    Refusal{"org.freedesktop.DBus.Error.Timeout", "系统没有回应"},
    Refusal{"org.freedesktop.DBus.Error.TimedOut", "系统没有回应"},
};

}  // namespace

std::string refusalText(const std::string& errorName, const std::string& message) {
    std::string text = "系统拒绝了请求";
    for (const Refusal& r : kRefusals)
        if (r.errorName == errorName) {
            text += "：";
            text += r.text;
            break;
        }
    // logind's own words say which inhibitor or which policy stood in the way.
    if (!message.empty())
        text += "（" + message + "）";
    else if (!errorName.empty())
        text += "（" + errorName + "）";
    return text;
}

}  // namespace tessaro::power
