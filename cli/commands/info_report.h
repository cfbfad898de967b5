// The text elvarin-host info prints: its document read out line by line,
// a label and its value, in the order gdalinfo shows them.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace elvhost {

std::string infoTextReport(const nlohmann::ordered_json &doc);

} // namespace elvhost
