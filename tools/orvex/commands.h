#pragma once

#include <string>
#include <vector>

namespace orvex::tool {

int RunInfo(const std::vector<std::string>& args);
int RunDevices(const std::vector<std::string>& args);
int RunSettings(const std::vector<std::string>& args);
int RunSnap(const std::vector<std::string>& args);
int RunStream(const std::vector<std::string>& args);
int RunPreview(const std::vector<std::string>& args);
int RunBench(const std::vector<std::string>& args);
int RunDialog(const std::vector<std::string>& args);

}  // namespace orvex::tool
