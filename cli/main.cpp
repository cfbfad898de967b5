// elvarin-host: loads the Elvarin plug-in and imports DED files exactly as
// the host application does, for people and for the tests.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/commands/errors.h"
#include "cli/formats/image_output.h"
#include "cli/host/host_session.h"
#include "ded/header.h"
#include "ded/records.h"

namespace {

using namespace elvhost;

// CLI11's help, with the usage line people know: the command, its
// arguments, then its options ("usage: elvarin-host info FILE.ded [OPTIONS]").
class HelpFormat : public CLI::Formatter {
public:
  std::string make_usage(const CLI::App *app, std::string name) const override {
    std::string usage = "usage: " + name + (app->get_subcommands({}).empty() ? "" : " COMMAND");
    for (const CLI::Option *option :
         app->get_options([](const CLI::Option *o) { return o->get_positional(); })) {
      usage += " " + option->get_name(true);
    }
    return usage + " [OPTIONS]\n";
  }
};

// A CLI11 check whose refusal reads complaint(value) instead of CLI11's words.
CLI::Validator saying(const CLI::Validator &check,
                      const std::function<std::string(const std::string &)> &complaint) {
  const std::string description = check.get_description();
  return {[check, complaint](std::string &value) {
            const std::string original = value;
            return check(value).empty() ? std::string() : complaint(original);
          },
          description};
}

// CLI11 reads integers in any base C knows ("010" is eight); a size is decimal.
const CLI::Validator kDecimal(
    [](std::string &text) {
      if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::string("not a decimal number");
      }
      text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
      return std::string();
    },
    "");

// The tool's version and that of the plug-in it would load.
std::string versionText(const char *argv0) {
  const std::string tool = "elvarin-host " ELVARIN_HOST_VERSION "\n";
  const std::string path = pluginPath("", argv0);
  HostSession session;
  std::string error;
  if (!session.load(path, &error)) {
    return tool + "plug-in not found (" + shownName(error) + ")";
  }
  const qvstandin::LoadedPlugin &plugin = session.plugin();
  return tool + "plug-in " + plugin.idString + " " + plugin.version + " (" + plugin.vendor + "), " +
         shownName(path);
}

// CLI11's refusal of a command line in this tool's words: an unknown
// command or option by name, arguments missing or too many as the command's
// own rule, our checks as they say it; returns kExitUsage.
int usageError(const CLI::App &app, const CLI::ParseError &error,
               const std::map<const CLI::App *, std::string> &takes) {
  const std::vector<CLI::App *> chosen = app.get_subcommands();
  const CLI::App *command = chosen.empty() ? nullptr : chosen.back();
  const std::vector<std::string> extras = app.remaining(true);
  std::string message = error.what();
  if (dynamic_cast<const CLI::ValidationError *>(&error) != nullptr) {
    message.erase(0, message.find(": ") + 2); // CLI11's "--name: "; our checks name it
  } else if (error.get_name() == "ArgumentMismatch") {
    // Every option here takes one value: it was either left out or given twice.
    const std::string option = message.substr(0, message.find(':'));
    message =
        "option " + option + (message.ends_with("missing") ? " needs a value" : " given twice");
  } else if (!extras.empty() && extras[0].size() > 1 && extras[0][0] == '-') {
    message = "unknown option " + extras[0];
  } else if (command == nullptr && !extras.empty()) {
    message = "unknown command " + extras[0];
  } else if (command != nullptr && (!extras.empty() || error.get_name() == "RequiredError")) {
    message = takes.at(command);
  }
  return usageFailure(command != nullptr ? command->get_name() : "", message);
}

const char *const kPluginHelp =
    "the plug-in library (default: the one beside elvarin-host, or in ../lib)";

CLI::App *addInfoCommand(CLI::App *app, InfoOptions *info) {
  CLI::App *command =
      app->add_subcommand("info", "a DED file as GIS tools see it, and what the host learns");
  command->footer(
      "From the file's headers: size, coordinate system, geotransform, corners, WGS 84\n"
      "extent, elevations and their grey levels, spacing, cells. Then what the plug-in\n"
      "tells the host: texture, geo-reference, control points, each callback's status.");
  command->add_option("FILE.ded", info->file, "the DED file")->required();
  command->add_flag("--json", info->json,
                    "print the same as JSON, keys as gdalinfo -json names them\n"
                    "(schema: docs/info.schema.json)");
  command->add_option("--plugin", info->plugin, kPluginHelp)->type_name("PATH");
  return command;
}

// convert's three choices of what to write: --georef, --type and --frame.
void addConvertChoices(CLI::App *command, ConvertOptions *convert) {
  command
      ->add_option_function<std::string>(
          "--georef",
          [convert](const std::string &how) {
            convert->hostGeoref = how == "host";
            convert->choices |= kChoiceGeoref;
          },
          "samples (default): each pixel centred on its sample, the sample\n"
          "spacing apart; host: the host's reading of the three control points")
      ->type_name("samples|host")
      ->check(saying(CLI::IsMember({"samples", "host"}), [](const std::string &how) {
        return "--georef must be samples or host, not " + how;
      }));
  command
      ->add_option_function<std::string>(
          "--type",
          [convert](const std::string &type) {
            convert->int16 = type == "int16";
            convert->choices |= kChoiceType;
          },
          "grey (default): the host's 8-bit picture; int16: the elevations as\n"
          "stored, in metres, NoData " +
              std::to_string(DED_VOID) + " where the file gives none (GeoTIFF only)")
      ->type_name("grey|int16")
      ->check(saying(CLI::IsMember({"grey", "int16"}), [](const std::string &type) {
        return "--type must be grey or int16, not " + type;
      }));
  command
      ->add_option_function<std::string>(
          "--frame",
          [convert](const std::string &frame) {
            convert->hostFrameOnly = frame == "host";
            convert->choices |= kChoiceFrame;
          },
          "with --type int16: data (default) shows every sample the file holds\n"
          "at its place; host: the plug-in's image only")
      ->type_name("data|host")
      ->check(saying(CLI::IsMember({"data", "host"}), [](const std::string &frame) {
        return "--frame must be data or host, not " + frame;
      }));
}

// paths receives the DED files and, for a single conversion, the image.
CLI::App *addConvertCommand(CLI::App *app, ConvertOptions *convert,
                            std::vector<std::string> *paths) {
  CLI::App *command =
      app->add_subcommand("convert", "the grey image, with world file, .prj and .aux.xml");
  command->footer(
      "Imports FILE.ded as the host does and writes the 8-bit grey image (PNG, or\n"
      "binary PGM, or tiled GeoTIFF), a world file (.pgw for PNG, .wld otherwise), the\n"
      "coordinate system (.prj) and a GDAL auxiliary file (.aux.xml). All are written\n"
      "under temporary names and renamed at the end, so a failed run leaves nothing.\n"
      "With --output-dir, each file's outputs are written so, several files at once;\n"
      "the exit status is 1 when any file failed, the others being written all the same.\n"
      "OUT.ded (or --format ded) writes any raster GDAL reads, WGS 84 geographic or UTM,\n"
      "as a DED file the plug-in imports.");
  command
      ->add_option("FILE.ded", *paths,
                   "the DED file and the image to write (OUT.png, OUT.pgm or OUT.tif);\n"
                   "for OUT.ded, the input may be any raster GDAL reads (a GeoTIFF, say);\n"
                   "with --output-dir, any number of DED files")
      ->required();
  command
      ->add_option("--output-dir", convert->outputDir,
                   "convert every FILE.ded into DIR/<its stem>.<format>, created if\n"
                   "missing; two inputs of one stem, or an output that would\n"
                   "overwrite an input, are refused")
      ->type_name("DIR");
  command
      ->add_option("--format", convert->format,
                   "the image format, whatever the output's extension\n"
                   "(with --output-dir, png unless given)")
      ->type_name("FORMAT")
      ->check(saying(CLI::IsMember(outputFormatNames()), [](const std::string &format) {
        return "--format must be " + formatNamesText() + ", not " + format;
      }));
  command
      ->add_option("-j,--jobs", convert->jobs,
                   "with --output-dir: files converted at once, each in a process of its own "
                   "(default: one a core)")
      ->type_name("N")
      ->transform(saying(kDecimal & CLI::Range(1, 256), [](const std::string &) {
        return std::string("--jobs must be a whole number from 1 to 256");
      }));
  command->add_flag("--progress", convert->progress,
                    "show the progress line even when standard error is not a\n"
                    "terminal (on a terminal it shows for work over a second)");
  command->add_flag("-q,--quiet", convert->quiet,
                    "no progress line, warning or batch summary; errors, and\n"
                    "--stats when asked for, still print");
  command->add_flag("--as-host", convert->asHost,
                    "keep the host's row order (first row at the southern edge);\n"
                    "by default the image is written north-up");
  addConvertChoices(command, convert);
  command->add_flag("--stats", convert->stats,
                    "print the time of each phase and the peak memory on stderr");
  command->add_option("--plugin", convert->plugin, kPluginHelp)->type_name("PATH");
  return command;
}

CLI::App *addSampleCommand(CLI::App *app, SampleOptions *sample) {
  CLI::App *command = app->add_subcommand("sample", "synthetic terrain as a DED file");
  command->footer("Hills, valleys and ridges, the same bytes on every machine, written as a\n"
                  "stream so that even a very large file needs little memory.");
  command->add_option("OUT.ded", sample->output, "the DED file to write")->required();
  command->add_flag("--progress", sample->progress,
                    "show the progress line even when standard error is not a terminal");
  command->add_flag("-q,--quiet", sample->quiet, "no progress line");
  command
      ->add_option("--kind", sample->kind,
                   "geographic: one cell of N x N samples over 7..8 E, 46..47 N\n"
                   "utm: one cell of N x N samples 30 m apart, from 500000 E,\n"
                   "5000000 N in --zone and --hemisphere\n"
                   "mosaic: (N - 1) / 1024 x (N - 1) / 1024 abutting one-degree\n"
                   "geographic cells of 1025 x 1025 samples")
      ->type_name("KIND")
      ->capture_default_str()
      ->check(saying(CLI::IsMember({"geographic", "utm", "mosaic"}), [](const std::string &kind) {
        return "--kind must be geographic, utm or mosaic, not " + kind;
      }));
  command
      ->add_option("--size", sample->side,
                   "samples per side, 2.." + std::to_string(kMaxSampleSide) +
                       "; for a mosaic 1 + 1024 x cells per side")
      ->type_name("N")
      ->capture_default_str()
      ->transform(saying(kDecimal & CLI::Range(2, kMaxSampleSide), [](const std::string &) {
        return "--size must be a whole number from 2 to " + std::to_string(kMaxSampleSide);
      }));
  const std::string zones = std::to_string(DED_MAX_UTM_ZONE);
  command->add_option("--zone", sample->zone, "UTM zone, 1.." + zones)
      ->type_name("Z")
      ->capture_default_str()
      ->transform(
          saying(kDecimal & CLI::Range(1, DED_MAX_UTM_ZONE), [zones](const std::string &zone) {
            return "--zone must be a whole number from 1 to " + zones + ", not " + zone;
          }));
  command->add_option("--hemisphere", sample->hemisphere, "UTM hemisphere, N or S")
      ->type_name("N|S")
      ->capture_default_str()
      ->check(saying(CLI::IsMember({"N", "S"}), [](const std::string &letter) {
        return "--hemisphere must be N or S, not " + letter;
      }));
  return command;
}

// convert with its paths: a batch with --output-dir, else one DED file and
// its image.
int runConvertCommand(ConvertOptions convert, const std::vector<std::string> &paths,
                      const std::string &takes) {
  if (!convert.outputDir.empty()) {
    convert.inputs = paths;
    return runBatch(convert);
  }
  if (paths.size() != 2) {
    return usageFailure("convert", paths.size() > 2
                                       ? "convert takes a DED file and an output image, or "
                                         "DED files and --output-dir"
                                       : takes);
  }
  convert.input = paths[0];
  convert.output = paths[1];
  return runConvert(convert);
}

int run(int argc, char **argv) {
  CLI::App app("Drives the Elvarin importer plug-in as the host application does.", "elvarin-host");
  app.formatter(std::make_shared<HelpFormat>());
  app.set_help_flag("-h,--help", "this text");
  app.footer("Every command takes --help. Exit status 0 on success; on failure non-zero,\n"
             "with one line on standard error saying what went wrong.");
  app.set_version_flag(
      "--version", [argv] { return versionText(argv[0]); },
      "print the versions of elvarin-host and of the plug-in it loads");
  InfoOptions info;
  ConvertOptions convert;
  std::vector<std::string> convertPaths;
  SampleOptions sample;
  CLI::App *infoCommand = addInfoCommand(&app, &info);
  CLI::App *convertCommand = addConvertCommand(&app, &convert, &convertPaths);
  CLI::App *sampleCommand = addSampleCommand(&app, &sample);
  const std::map<const CLI::App *, std::string> takes = {
      {infoCommand, "info takes one DED file"},
      {convertCommand, "convert takes a DED file and an output image"},
      {sampleCommand, "sample takes one output file"}};
  if (argc == 2 && std::string(argv[1]) == "help") {
    std::cout << app.help();
    return kExitOk;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    // Help and version are "errors" that succeed; CLI11 prints them itself.
    return e.get_exit_code() == 0 ? app.exit(e) : usageError(app, e, takes);
  }
  if (infoCommand->parsed()) {
    info.plugin = pluginPath(info.plugin, argv[0]);
    return runInfo(info);
  }
  if (convertCommand->parsed()) {
    convert.plugin = pluginPath(convert.plugin, argv[0]);
    return runConvertCommand(convert, convertPaths, takes.at(convertCommand));
  }
  if (sampleCommand->parsed()) {
    return runSample(sample);
  }
  std::cerr << app.help();
  return kExitUsage;
}

// Descriptors 0, 1 and 2 open, on /dev/null where they were closed, before
// anything else is opened: a file opened later would otherwise take one of
// them, and messages or the progress line would be written into it. False
// when one cannot be opened.
bool standardStreamsOpen() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) {
      continue;
    }
    // The lowest free descriptor, which is fd: those below it are open.
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened != fd) {
      return false;
    }
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  if (!standardStreamsOpen()) {
    return kExitFailure; // nowhere to say so
  }
  try {
    return flushedOutput(run(argc, argv));
  } catch (const std::bad_alloc &) {
    reportFailure("out of memory");
  } catch (const std::exception &e) {
    reportFailure(std::string("unexpected failure: ") + e.what());
  } catch (...) {
    reportFailure("unexpected failure");
  }
  return kExitFailure;
}
