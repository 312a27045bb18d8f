// The report: an archival record of a run, as strictly valid UTF-8 JSON.
#pragma once

#include <string>
#include <vector>

#include "convert/Batch.h"

namespace convert {

struct RunInfo {
  std::string version;
  std::string started, ended;  // UTC, ISO 8601
};

std::string reportJson(const RunInfo& run, const Batch& batch,
                       const std::vector<FileResult>& results);

}  // namespace convert
