// orvex: the command line of the camera library.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/orvex/commands.h"
#include "tools/orvex/output_file.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>& args);
  const char* help;
  bool takesOptions = true;
};

const Command kCommands[] = {
    {"info", orvex::tool::RunInfo,
     "library version, processor features, and for each camera registers 0x40, 0x52 and the "
     "serial ROM ID bytes",
     false},
    {"devices", orvex::tool::RunDevices, "the names of the cameras present", false},
    {"settings", orvex::tool::RunSettings, "the settings stored for this user", false},
    {"snap", orvex::tool::RunSnap,
     "one frame to a PNG, BMP or CSV file (--out FILE, --color-mode, --geometry, --wait-time, "
     "--device, --camera-image, --set NAME=VALUE, --auto-exposure)"},
    {"preview", orvex::tool::RunPreview,
     "a live window on the camera on the X display; the keys c, a and i (or its buttons) open "
     "the camera, analog and image dialogs over the picture; ends on its close button, Ctrl-C "
     "or --seconds N (--size W,H, --lang en|ja, --color-mode, --geometry, --wait-time, "
     "--device, --set NAME=VALUE, --auto-exposure)"},
    {"stream", orvex::tool::RunStream,
     "runs the preview (--seconds N or --frames N) and prints the frame rate as it goes"},
    {"bench", orvex::tool::RunBench,
     "snapshots as fast as the camera gives them, each colour mode in turn (--frames N), and "
     "prints frames a second"},
    {"dialog", orvex::tool::RunDialog,
     "one of the library's property dialogs on the camera: camera, analog or image (--lang "
     "en|ja); analog and image over the running preview"},
};

int Usage() {
  std::fprintf(stderr, "usage: orvex <command> [options]\n\ncommands:\n");
  for (const Command& command : kCommands) {
    std::fprintf(stderr, "  %-10s %s\n", command.name, command.help);
  }
  return 2;
}

// What a command printed must have reached its standard output (a file, a full disk, a pipe):
// the status of the command, or 1 with the error reported.
int CheckStandardOutput(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !std::ferror(stdout)) return status;
  const int error = !flushed && errno != 0 ? errno : orvex::tool::kIncompleteFile;
  std::fprintf(stderr, "orvex: cannot write the standard output: %s\n",
               orvex::tool::DescribeWriteError(error).c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) != 0) continue;
    // An option the command does not know may be a typing error: doing the command anyway
    // would hide it.
    if (!command.takesOptions && !args.empty()) {
      std::fprintf(stderr, "usage: orvex %s\n%s; it takes no options\n", command.name,
                   command.help);
      return 2;
    }
    return CheckStandardOutput(command.run(args));
  }
  return Usage();
}
