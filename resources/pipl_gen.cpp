// Build-time generator of the plug-in's PiPL and AETE bytes.
//
// Usage: pipl_gen wx86|8664 OUTDIR
// Writes OUTDIR/pipl.bin and OUTDIR/aete.bin, which resources/plugin.rc embeds. The first
// argument selects the code property: wx86 for the 32-bit plug-in, 8664 for the 64-bit one.
// Exits non-zero (and leaves no half-written file) when an argument or a write is wrong.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "resources/plugin_resources.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "pipl_gen: cannot write %s\n", temporary.string().c_str());
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::fprintf(stderr, "pipl_gen: cannot write %s: %s\n", path.string().c_str(), error.message().c_str());
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pipl_gen wx86|8664 OUTDIR\n");
        return 2;
    }
    std::string_view code = argv[1];
    PluginArchitecture architecture;
    if (code == "wx86") {
        architecture = PluginArchitecture::X86;
    } else if (code == "8664") {
        architecture = PluginArchitecture::X64;
    } else {
        std::fprintf(stderr, "pipl_gen: unknown code property '%s' (wx86 or 8664)\n", argv[1]);
        return 2;
    }
    std::filesystem::path directory = argv[2];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        std::fprintf(stderr, "pipl_gen: cannot create %s: %s\n", argv[2], error.message().c_str());
        return 1;
    }
    if (!WriteFile(directory / "pipl.bin", BuildPiplResource(architecture))) return 1;
    if (!WriteFile(directory / "aete.bin", BuildAeteResource())) return 1;
    return 0;
}
