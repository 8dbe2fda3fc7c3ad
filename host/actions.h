// Recorded actions as small text files: what `varno select --record` saves and `--play` loads.
//
// Format: the first line is "varno action 1"; every further line is one descriptor item, in order:
//     KEY long INTEGER              KEY doub REAL              KEY UntF UNIT REAL
//     KEY bool true|false           KEY enum ENUMTYPE VALUE     KEY TEXT "text"
//     KEY type CLASS                KEY GlbC CLASS              KEY 'cnt ' COUNT
//     KEY alis HEX                  KEY Objc CLASS HEX          KEY GlbO CLASS HEX
//     KEY 'obj ' HEX
// Four-character codes stand bare when they are four printable characters without spaces or
// quotes, else in single quotes ('obj '), else as 0xXXXXXXXX. HEX is the bytes in hexadecimal, or
// "-" for none; text escapes \" \\ and \xNN. Blank lines and lines starting with # are ignored.
// Reals are written with 17 significant digits, so they read back to the same double.
#pragma once

#include <string>

#include "host/descriptor.h"

namespace varno {

std::string FormatAction(const Descriptor& descriptor);
// Empty on success, else the reason with its line number.
std::string ParseAction(const std::string& text, Descriptor* descriptor);

// The played-back descriptor that -m and -r stand for ('EdgM' as enumeration 'rB45', 'edgR' as
// integer); a value of 0 leaves that key out, any other is put as it is (the host library knows
// the plug-in's keys, not its methods: what a value means is the plug-in's to decide). Existing
// items keep their places.
void PutEdgeChoice(Descriptor* descriptor, int32_t method, int32_t radius);

}  // namespace varno
