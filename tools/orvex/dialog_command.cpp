// orvex dialog: one of the library's property dialogs on the camera, opened as an application
// opens it. The analog and image dialogs open over the running preview, so that what is changed
// in them shows in the picture at once.
#include <OrvexSdk_QX218.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/orvex/capture_options.h"
#include "tools/orvex/commands.h"
#include "tools/orvex/property_dialogs.h"

namespace orvex::tool {
namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: orvex dialog camera|analog|image [--lang en|ja]\n"
               "Opens one of the library's property dialogs on the camera: camera (format, size\n"
               "table, wait time), analog (exposure, automatic exposure) or image (filters, white\n"
               "balance, gray correction), the last two over the running preview. Changes are\n"
               "kept as an application's would be. --lang shows the dialog in English or\n"
               "Japanese (default: the system's language).\n");
  return 2;
}

}  // namespace

int RunDialog(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const PropertyDialog* kind = nullptr;
  for (const PropertyDialog& candidate : kPropertyDialogs) {
    if (args[0] == candidate.name) kind = &candidate;
  }
  if (kind == nullptr) return Usage();
  std::int32_t language = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (ParseLanguageOption(args, &i, &language) != 1) return Usage();
  }

  if (!DialogsCanBeShown()) {
    std::fprintf(stderr,
                 "orvex dialog: nothing can be shown: the dialogs have no screen here "
                 "(they are headless without an X display)\n");
    return 1;
  }
  if (language != 0 && !ChooseLanguage(language)) {
    std::fprintf(stderr, "orvex dialog: --lang: the dialogs follow the system's language here\n");
    return 2;
  }

  const CameraHandle handle = Orvex_Initialize(0);
  if (handle == 0) {
    std::fprintf(stderr, "orvex: no memory for a camera handle\n");
    return 1;
  }
  int status = 0;
  if (kind->overPreview && !Orvex_Preview(handle)) {
    PrintErrors(handle, "starting the preview");
    status = 1;
  } else if (kind->open(handle, 0) != 1) {
    PrintErrors(handle, "opening the dialog");
    status = 1;
  }
  Orvex_Close(handle);
  Orvex_Release(handle);
  return status;
}

}  // namespace orvex::tool
