// Reporting of an output file that cannot be written.
#include "vsq/OutputFailure.h"

#include "diag/Messages.h"
#include "diag/Reporter.h"

void reportOutputFailure(const std::string& path, const std::string& reason) {
    std::string detail = path;
    detail.append(" : ").append(reason);
    getReporter().error(msg::kCannotOpenFile, detail);
}
