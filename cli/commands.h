// tolven-cli's commands: each lives in a file of its own (cli/cmd_*.cpp) and is run through the
// table in cli/main.cpp. argv[0] is the command's name; the result is an exit status.
#ifndef TOLVEN_CLI_COMMANDS_H
#define TOLVEN_CLI_COMMANDS_H

struct CliCommand {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;  // "new IMAGE --type N [--label L] [--oem O] [--force]"
    const char* summary;
};

int runNew(int argc, char** argv);
int runConvert(int argc, char** argv);
int runInfo(int argc, char** argv);
int runMap(int argc, char** argv);
int runOwner(int argc, char** argv);
int runChain(int argc, char** argv);
int runDump(int argc, char** argv);
int runBootSector(int argc, char** argv);
int runBootCode(int argc, char** argv);
int runLs(int argc, char** argv);
int runExtract(int argc, char** argv);
int runRm(int argc, char** argv);
int runAdd(int argc, char** argv);
int runMkdir(int argc, char** argv);
int runRename(int argc, char** argv);
int runAttrib(int argc, char** argv);
int runLabel(int argc, char** argv);
int runDefrag(int argc, char** argv);
int runWipe(int argc, char** argv);
int runRead(int argc, char** argv);
int runWrite(int argc, char** argv);
int runCheck(int argc, char** argv);

#endif
