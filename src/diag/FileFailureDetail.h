// The detail of the reports about a file that cannot be read or written: the
// path as it was given, " : " and the system's reason.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kFileFailureSeparator = " : ";

inline std::string fileFailureDetail(std::string_view path, std::string_view reason) {
    std::string detail(path);
    detail.append(kFileFailureSeparator).append(reason);
    return detail;
}
