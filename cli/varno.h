// What varno's commands share: the usage text, the one-line failures and the option readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varno {

// "varno: MESSAGE" and the usage on stderr; returns 2, the exit code of a wrong command line.
int UsageError(const std::string& message);
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

int Select(const std::vector<std::string>& args);
int Edges(const std::vector<std::string>& args);
int Sample(const std::vector<std::string>& args);

}  // namespace varno
