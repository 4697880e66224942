// Writes the resource script of the library's dialogs from the template table, for windres.
// Built for the build machine and run by the build; usage: generate_dialog_resources OUTPUT.rc
#include <cstdio>
#include <fstream>
#include <string>

#include "dialogs/dialog_templates.h"
#include "dialogs/resource_script.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.rc\n", argv[0]);
    return 2;
  }
  const std::string script = orvex::dialogs::WriteResourceScript(orvex::dialogs::DialogTemplates());
  // Written beside the target and renamed over it, so that a failed run never leaves half a file.
  const std::string partial = std::string(argv[1]) + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << script;
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", partial.c_str());
      return 1;
    }
  }
  if (std::rename(partial.c_str(), argv[1]) != 0) {
    std::fprintf(stderr, "cannot replace %s\n", argv[1]);
    return 1;
  }
  return 0;
}
