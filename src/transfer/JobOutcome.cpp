#include "transfer/JobOutcome.h"

#include "resources/Strings.h"

std::string ReasonLine(const JobFailure& failure) {
    return failure.reason.empty() ? std::string() : FormatStr(Sid::LogReason, {failure.reason});
}
