#include "framework/ui/ReportedErrors.h"

#include <vector>

namespace {

struct TReportedError {
    TObject* sender;
    std::exception_ptr error;
};

TReportedErrors::THandler handler = nullptr;
std::vector<TReportedError> reported;

} // namespace

void TReportedErrors::SetHandler(THandler newHandler)
{
    handler = newHandler;
}

void TReportedErrors::Report(TObject* sender, std::exception_ptr error) noexcept
{
    if (!handler)
        std::terminate();
    try {
        reported.push_back({sender, error});
    } catch (...) {
        // No room to keep it: handled at once rather than lost.
        handler(sender, error);
    }
}

void TReportedErrors::HandleAll() noexcept
{
    // Taken one at a time from the front: a handler that runs a loop of its
    // own may take the next ones itself, and a sender that goes meanwhile is
    // forgotten in the list.
    for (std::size_t count = reported.size(); count > 0 && !reported.empty() && handler; --count) {
        const TReportedError next = reported.front();
        reported.erase(reported.begin());
        handler(next.sender, next.error);
    }
}

void TReportedErrors::ForgetSender(const TObject* sender) noexcept
{
    for (TReportedError& error : reported) {
        if (error.sender == sender)
            error.sender = nullptr;
    }
}
