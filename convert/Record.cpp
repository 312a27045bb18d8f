#include "convert/Record.h"

#include <nlohmann/json.hpp>

#include "convert/FileSystem.h"

namespace convert {

namespace {

// A record is a few hundred bytes; anything much larger is not one.
constexpr uint64_t kMaxRecordSize = 64 * 1024;

}  // namespace

std::string recordPathFor(const std::string& outputPath) {
  size_t start = nameStart(outputPath);
  return outputPath.substr(0, start) + "." + outputPath.substr(start) + ".folirex.json";
}

std::optional<Record> readRecord(const std::string& outputPath) {
  std::string path = recordPathFor(outputPath);
  if (fileInfo(path).kind != FileKind::Regular) return std::nullopt;
  try {
    std::unique_ptr<mdi::ByteSource> file = openInput(path);
    if (file->size() > kMaxRecordSize) return std::nullopt;
    std::string text(size_t(file->size()), '\0');
    file->read(0, text.data(), text.size());
    nlohmann::json j = nlohmann::json::parse(text);
    Record r;
    r.inputSize = j.at("input").at("size").get<uint64_t>();
    r.inputSha256 = j.at("input").at("sha256").get<std::string>();
    r.outputSize = j.at("output").at("size").get<uint64_t>();
    r.outputSha256 = j.at("output").at("sha256").get<std::string>();
    r.pagesRead = j.at("pagesRead").get<size_t>();
    if (!j.at("endedEarly").is_null()) {
      r.endedEarly = j["endedEarly"].at("reason").get<std::string>();
      r.endedEarlyAt = j["endedEarly"].at("directoryOffset").get<uint64_t>();
    }
    for (const nlohmann::json& lost : j.at("lostImages"))
      r.lostImages.push_back({lost.at("page").get<size_t>(), lost.at("reason").get<std::string>()});
    return r;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void writeRecord(const std::string& outputPath, const Record& record) {
  nlohmann::json lost = nlohmann::json::array();
  for (const PageIssue& p : record.lostImages)
    lost.push_back({{"page", p.page}, {"reason", p.reason}});
  nlohmann::json ended;
  if (!record.endedEarly.empty())
    ended = {{"reason", record.endedEarly}, {"directoryOffset", record.endedEarlyAt}};
  nlohmann::json j = {{"madeBy", "folirex-convert"},
                      {"input", {{"size", record.inputSize}, {"sha256", record.inputSha256}}},
                      {"output", {{"size", record.outputSize}, {"sha256", record.outputSha256}}},
                      {"pagesRead", record.pagesRead},
                      {"endedEarly", ended},
                      {"lostImages", lost}};
  // Sentences quoting bytes of a damaged file are kept readable, never refused.
  std::string text = j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  OutputFile file(recordPathFor(outputPath));
  file.writeAt(0, text.data(), text.size());
  // The output's name follows in the same folder, and that folder's sync puts both on the disk,
  // in the order they were made on a journalling file system.
  file.commit(true, false);
}

}  // namespace convert
