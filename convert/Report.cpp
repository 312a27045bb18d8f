#include "convert/Report.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QUtil.hh>
#include <tiffio.h>
#include <xxhash.h>
#include <zlib.h>

#include <nlohmann/json.hpp>

#include "convert/Formats.h"

namespace convert {

namespace {

using json = nlohmann::ordered_json;

bool isUtf8(const std::string& s) {
  try {
    (void)json(s).dump();  // the strict handler refuses overlong forms and surrogates too
    return true;
  } catch (const json::type_error&) {
    return false;
  }
}

// A path under `key`. A name that is not UTF-8 is shown with U+FFFD for what is not, and given
// exactly as its bytes in hexadecimal under `key` + "Hex", which names one file only.
void putPath(json& object, const std::string& key, const std::string& path) {
  if (isUtf8(path)) {
    object[key] = path;
    return;
  }
  object[key] = json::parse(json(path).dump(-1, ' ', false, json::error_handler_t::replace));
  object[key + "Hex"] = QUtil::hex_encode(path);
}

json pathList(const std::vector<std::string>& paths) {
  json list = json::array();
  for (const std::string& p : paths) {
    json item;
    putPath(item, "path", p);
    list.push_back(item);
  }
  return list;
}

json outputs(const std::vector<OutputInfo>& files) {
  json list = json::array();
  for (const OutputInfo& f : files) {
    json item;
    putPath(item, "path", f.path);
    item["format"] = formatRow(f.format).name;
    item["size"] = f.size;
    item["sha256"] = f.sha256;
    list.push_back(item);
  }
  return list;
}

// Sentences from the reader and the system may quote bytes of a file: made UTF-8 whatever.
std::string text(const std::string& s) {
  return json::parse(json(s).dump(-1, ' ', false, json::error_handler_t::replace));
}

json fileEntry(const FileResult& r) {
  json entry;
  putPath(entry, "input", r.input);
  entry["status"] = statusName(r.status);
  entry["inputSize"] = r.inputSha256.empty() ? json() : json(r.inputSize);
  entry["inputSha256"] = r.inputSha256.empty() ? json() : json(r.inputSha256);
  entry["pagesRead"] = r.pages;
  entry["pagesWithText"] = r.pagesWithText;
  entry["endedEarly"] = r.endedEarly.empty() ? json()
                                             : json{{"afterPage", r.pages},
                                                    {"directoryOffset", r.endedEarlyAt},
                                                    {"reason", text(r.endedEarly)}};
  json lost = json::array();
  for (const PageIssue& p : r.lostImages)
    lost.push_back({{"page", p.page}, {"reason", text(p.reason)}});
  entry["lostImages"] = lost;
  json warnings = json::array();
  for (const std::string& w : r.warnings) warnings.push_back(text(w));
  entry["warnings"] = warnings;
  entry["outputs"] = outputs(r.outputs);
  entry["skipped"] = outputs(r.skipped);
  entry["error"] = r.error.empty() ? json() : json(text(r.error));
  return entry;
}

std::string firstLine(const char* s) {
  std::string line = s;
  return line.substr(0, line.find('\n'));
}

json libraries() {
  return {{"libtiff", firstLine(TIFFGetVersion())},
          {"qpdf", QPDF::QPDFVersion()},
          {"qpdfCrypto", QPDFCryptoProvider::getDefaultProvider()},
          {"zlib", zlibVersion()},
          {"xxhash", std::to_string(XXH_VERSION_MAJOR) + "." + std::to_string(XXH_VERSION_MINOR) +
                         "." + std::to_string(XXH_VERSION_RELEASE)},
          {"nlohmann-json", std::to_string(NLOHMANN_JSON_VERSION_MAJOR) + "." +
                                std::to_string(NLOHMANN_JSON_VERSION_MINOR) + "." +
                                std::to_string(NLOHMANN_JSON_VERSION_PATCH)}};
}

}  // namespace

std::string reportJson(const RunInfo& run, const Batch& batch,
                       const std::vector<FileResult>& results) {
  size_t counts[3] = {0, 0, 0};
  size_t withLosses = 0;
  json files = json::array();
  for (const FileResult& r : results) {
    ++counts[int(r.status)];
    withLosses += r.lostPages();
    files.push_back(fileEntry(r));
  }
  json warnings = json::array();
  for (const std::string& w : batch.warnings) warnings.push_back(text(w));
  json report = {{"tool", {{"name", "folirex-convert"}, {"version", run.version}}},
                 {"libraries", libraries()},
                 {"started", run.started},
                 {"ended", run.ended},
                 {"converted", counts[0]},
                 {"skipped", counts[1]},
                 {"failed", counts[2]},
                 {"filesWithLostPages", withLosses},
                 {"warnings", warnings},
                 {"earlierOutputs", pathList(batch.earlierOutputs)},
                 {"files", files}};
  return report.dump(2) + "\n";
}

}  // namespace convert
