#include "RunSummary.h"

namespace tandrel {

std::string SummaryText(const RunSummary& summary) {
    return std::to_string(summary.copied) + " copied, " + std::to_string(summary.deleted) +
           " deleted, " + std::to_string(summary.moved) + " moved, " +
           std::to_string(summary.failed) + " failed, " + std::to_string(summary.refused) +
           (summary.refused == 1 ? " job refused" : " jobs refused");
}

}  // namespace tandrel
