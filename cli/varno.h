// What varno's commands share: the usage text, the one-line failures and the option readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varno {

// "varno: MESSAGE; try varno COMMAND --help" on stderr; returns 2, the exit code of a wrong
// command line.
int UsageError(const std::string& message);
// "a, b or c" of the texts.
std::string Alternatives(const std::vector<std::string>& texts);
// The word of `words` nearest to `word` by edit distance (letters in any case), when it is near
// enough to be what was meant; else empty.
std::string NearestWord(const std::string& word, const std::vector<std::string>& words);
// "unknown WHAT 'WORD' (did you mean NEAREST?)" as a UsageError; returns 2.
int UnknownWord(const std::string& what, const std::string& word, const std::vector<std::string>& words);
// Checks VARNOCKETILE_THREADS, or sets it from --threads (`threads` non-empty) for the plug-in's
// methods, before anything runs. Empty when it holds a thread count the methods take, else the
// line refusing it.
std::string SetThreadCount(const std::string& threads);
// The warning that -r `radius` does nothing for `method`, which takes no radius; empty when it does.
std::string RadiusWarning(int32_t method, int32_t radius);
// "varno: MESSAGE" on stderr; returns 1.
int Failure(const std::string& message);
// A result code's line, "varno: user cancelled (-128)"; returns 1.
int ResultFailure(int16_t code, const std::string& reported = {});

// Pulls the value of an option that takes one.
bool TakeValue(const std::vector<std::string>& args, size_t* i, std::string* value);
// The -m and -r options that select and edges share. Returns 1 when args[*i] was one of them and
// its value was taken, 0 when it is some other argument, and 2 (the exit code) after reporting a
// bad value.
int TakeMethodOrRadius(const std::vector<std::string>& args, size_t* i, int32_t* method, int32_t* radius);

// A file a command names: one it reads or one it writes, and what it is to the command ("the
// input picture", "the output"), for the refusals that name it.
struct NamedFile {
    std::string path;
    bool output = false;
    std::string role;
    bool picture = false;  // an output whose picture type follows its extension
};
// For each file of `files`, the first earlier file that is the same file (links, hard links and
// other spellings included) where at least one of the two is written, or -1: no output may
// replace an input or another output of the command.
std::vector<ptrdiff_t> SameFiles(const std::vector<NamedFile>& files);
// The line refusing the first output that is the same file as an earlier file ("cannot write 'A':
// it is the same file as ROLE 'B'"), else empty. Every command checks this before anything runs.
std::string SameFileRefusal(const std::vector<NamedFile>& files);
// The line refusing the first output that cannot be written (its picture type, CheckOutputPath),
// else empty.
std::string OutputRefusal(const std::vector<NamedFile>& files);

int Select(const std::vector<std::string>& args);
int Edges(const std::vector<std::string>& args);
int Sample(const std::vector<std::string>& args);

}  // namespace varno
