// The plug-in's PiPL property list and AETE scripting terminology (both resource ID 16000), as
// the bytes that the Windows resource script embeds.
//
// Contract: both are built from one declarative table in plugin_resources.cpp. Layout is the
// Windows one: multi-byte numbers little-endian, four-character codes stored as little-endian
// 32-bit values ('8BIM' is the bytes "MIB8"), strings length-prefixed unless stated otherwise.
// The only difference between the x86, the x64 and the ARM64 plug-in is the key of the code
// property ('wx86', '8664' or 'wa64'). This is build-time code (the generator and the tests), not part of the
// plug-in.
#pragma once

#include <cstdint>
#include <vector>

constexpr int32_t kPluginResourceId = 16000;

// Which Windows code property names the entry point.
enum class PluginArchitecture { X86, X64, Arm64 };

std::vector<uint8_t> BuildPiplResource(PluginArchitecture architecture);
std::vector<uint8_t> BuildAeteResource();

// The vendor name carried by the 'hstm' property and the AETE suite.
extern const char* const kPluginVendorName;
