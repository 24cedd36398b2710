// tolven-cli: the window's operations on the command line, for scripts and for comparing the core
// with other FAT tools.
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/oem_text.h"
#include "platform/console_text.h"
#include "platform/host_text.h"
#include "version.h"

namespace {
const CliCommand kCommands[] = {
    {"new", runNew, "new IMAGE --type N [--label L] [--oem O] [--from DIR] [--force] [--container K]",
     "Creates an image of disk type N (0-13, a size such as 1440KB, or DMF, DMF1024, DMF82), "
     "empty or holding the tree of the folder DIR; nothing is written when DIR does not fit."},
    {"convert", runConvert, "convert IN OUT [--type N] [--container K]",
     "Writes OUT, a new image of disk type N (default: IN's own) holding IN's tree, label and "
     "boot code; refused when the tree does not fit."},
    {"info", runInfo, "info IMAGE", "Prints the disk, boot sector and FAT count lines."},
    {"map", runMap, "map IMAGE [--owners]",
     "Prints the cluster map: '.' free, '#' used, 'R' reserved, 'B' bad, 64 to a line; with "
     "--owners a letter per file or folder (legend below), '?' lost, '*' shared."},
    {"owner", runOwner, "owner IMAGE CLUSTER...",
     "Prints each cluster's owner: a path, free, reserved, bad, lost, or shared with every owner."},
    {"chain", runChain, "chain IMAGE PATH",
     "Prints a file's or folder's clusters as runs (2-17, 40-41) and its fragment count."},
    {"dump", runDump,
     "dump IMAGE (--sector N | --cluster N | --boot | --fat [COPY] | --root) [--count K] "
     "[--decode]",
     "Hex dump of sectors, each headed by its area and owner; --decode adds the boot sector's "
     "fields and directory slots."},
    {"check", runCheck, "check IMAGE... [--repair]",
     "Checks each image: a line per finding (path: what) and a summary; --repair mends them\n"
     "(docs/check.md) and saves. Exit 0 all clean or mended, 1 findings remain."},
    {"ls", runLs, "ls IMAGE [PATH] [-r]",
     "Lists a folder of the image (recursively with -r): attributes, size, date, path."},
    {"extract", runExtract, "extract IMAGE [PATH...] -d DIR [--replace|--skip]",
     "Extracts files and folder trees (default: the whole root) into the existing folder DIR,\n"
     "merging into folders there. A file there of an entry's name is refused (reported, exit 1)\n"
     "unless --replace or --skip says otherwise; entries of the same name get \"name (2).ext\"."},
    {"rm", runRm, "rm IMAGE PATH...", "Deletes files and folder trees, then saves the image."},
    {"add", runAdd, "add IMAGE HOSTPATH... [-d FOLDER]",
     "Inserts host files and folder trees into FOLDER of the image (the root by default)."},
    {"mkdir", runMkdir, "mkdir IMAGE PATH", "Creates a folder; its parent must exist."},
    {"rename", runRename, "rename IMAGE PATH NEWNAME",
     "Gives a file or folder a new long name and a fresh 8.3 name in the same folder."},
    {"attrib", runAttrib, "attrib IMAGE PATH [+r|-r|+h|-h|+s|-s|+a|-a]...",
     "Sets or clears read-only, hidden, system and archive; without flags prints them."},
    {"label", runLabel, "label IMAGE [LABEL]",
     "Prints the volume label, or writes LABEL (an empty one removes the label)."},
    {"defrag", runDefrag, "defrag IMAGE",
     "Puts every folder, then every file, in one run of clusters, free space last; refused on "
     "a damaged image (cross-links, loops, lost clusters)."},
    {"wipe", runWipe, "wipe IMAGE",
     "Zeroes free clusters and the slack after each file's end, and clears deleted entries: "
     "nothing can be undeleted afterwards."},
    {"read", runRead, "read DRIVE IMAGE [--container K]",
     "Windows only: reads the floppy in DRIVE (A:) into IMAGE; Ctrl+C cancels."},
    {"write", runWrite, "write IMAGE DRIVE [--no-format]",
     "Windows only: formats the floppy in DRIVE, writes IMAGE and verifies; --no-format writes a "
     "disk already formatted like IMAGE as it is (for drives that cannot format); Ctrl+C cancels."},
    {"bootsector", runBootSector, "bootsector export|import IMAGE FILE",
     "Exports the boot sector to FILE, or imports it from FILE into IMAGE."},
    {"bootcode", runBootCode, "bootcode export|import IMAGE FILE",
     "Exports the boot code to FILE, or imports it from FILE into IMAGE."},
};

const char kCodePages[] = "437, 850, 852 or 866";

int printHelp(FILE* out) {
    std::fprintf(out, "usage: tolven-cli [--codepage N] COMMAND IMAGE [ARGS...] [--in-place]\n\n");
    std::fprintf(out,
                 "--codepage N: the OEM code page of 8.3 names and labels, %s (default 437)\n"
                 "\ncommands:\n",
                 kCodePages);
    for (const CliCommand& c : kCommands) std::fprintf(out, "  %s\n      %s\n", c.usage, c.summary);
    std::fprintf(out,
                 "\nEvery command locks IMAGE while it runs. --in-place: where the image's folder "
                 "refuses\nthe safe replacement, a save writes over the image (not atomic).\n"
                 "--member NAME: the image of a ZIP archive of several\n"
                 "--container raw|imz|gz|imd: the container of a new image (new, convert, read); by "
                 "default\nthe one its name suggests, else raw\n");
    return out == stdout ? kExitOk : kExitUsage;
}

int runCli(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file size limit then fails the write, which removes the partial image, instead of
    // killing the process and leaving the partial file behind.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // --member and --container anywhere; --codepage before the command.
    if (!takeGlobalOptions(&argc, argv)) return printHelp(stderr);
    while (argc >= 3 && std::strcmp(argv[1], "--codepage") == 0) {
        char* end = nullptr;
        long number = std::strtol(argv[2], &end, 10);
        if (*end != '\0' || number > 9999 || !setOemCodePage(static_cast<int>(number))) {
            std::fprintf(stderr, "tolven-cli: code page '%s' is not supported (%s)\n",
                         escapeControls(argv[2]).c_str(), kCodePages);
            return kExitUsage;
        }
        argc -= 2;
        argv += 2;
    }
    if (argc < 2) return printHelp(stderr);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return printHelp(stdout);
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("tolven-cli %s\n", TOLVEN_VERSION);
        return kExitOk;
    }
    // --in-place may stand anywhere after the command's name.
    std::vector<char*> args(argv, argv + argc);
    for (size_t i = 2; i < args.size();) {
        if (std::strcmp(args[i], "--in-place") != 0) {
            ++i;
            continue;
        }
        allowInPlaceSaves();
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    }
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    for (const CliCommand& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        if (wantsHelp(argc - 1, argv + 1)) return printUsage(c.usage, c.summary);
        return commandExitStatus(c.run(argc - 1, argv + 1));
    }
    std::fprintf(stderr, "tolven-cli: unknown command '%s'\n", argv[1]);
    return printHelp(stderr);
}

}  // namespace

#ifdef _WIN32
// Windows hands the arguments over in UTF-16 (the program is linked with -municode); the
// commands take them in UTF-8, the core's encoding of host paths and image names.
int wmain(int argc, wchar_t** wideArgv) {
    useUtf8Console();
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        static_assert(sizeof(wchar_t) == sizeof(uint16_t), "UTF-16 arguments");
        size_t units = std::wcslen(wideArgv[i]);
        std::vector<char> text(units * 3 + 1);
        utf16ToUtf8(reinterpret_cast<const uint16_t*>(wideArgv[i]), static_cast<int>(units),
                    text.data(), text.size());
        args.push_back(text.data());
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return runCli(argc, argv.data());
}
#else
int main(int argc, char** argv) { return runCli(argc, argv); }
#endif
