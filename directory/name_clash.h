// What an extraction or an insertion does with a name the target folder holds already, and the
// one rule that numbers a copy kept beside it.
#ifndef TOLVEN_DIRECTORY_NAME_CLASH_H
#define TOLVEN_DIRECTORY_NAME_CLASH_H

#include <functional>
#include <string>

// Refuse the entry (reported), replace what is there, skip the entry, keep both (insertion only:
// the new entry takes a numbered name), or ask.
enum ClashPolicy { kClashRefuse, kClashReplace, kClashSkip, kClashAsk, kClashKeepBoth };
enum ClashAnswer { kClashAnswerReplace, kClashAnswerSkip, kClashAnswerCancel, kClashAnswerKeepBoth };

// `name` numbered as a copy is in Explorer: "a.txt" -> "a (2).txt"; folders, names without a
// dot and names whose only dot leads (".profile") are numbered at the end.
std::string numberedName(const char* name, bool isFolder, int number);

// Numbered names tried for one entry before giving up.
const int kMaxNameNumber = 9999;

// The clash handling of one insertion operation (every entry of one command).
struct InsertClash {
    ClashPolicy policy = kClashRefuse;
    // Asked under kClashAsk with the name as the folder holds it, whether that entry is a folder
    // and whether the new one is. Setting *forAll makes the answer the policy for the rest of the
    // operation; Cancel ends it (200: what went in before stays).
    std::function<ClashAnswer(const std::string& name, bool oldIsFolder, bool newIsFolder,
                              bool* forAll)>
        ask;
    int replaced = 0;  // files replaced (also counted as inserted)
    int skipped = 0;   // files and folders left out
    bool cancelled = false;
};

#endif
