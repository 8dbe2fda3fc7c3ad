// Build-time tool of the clang cross builds: Fine detail's tables, folded by GCC on the build
// machine (edges/fine_detail_tables.cpp, included below), written out as a C++ source of plain
// data that any compiler takes, with the same bytes. Usage: fine_detail_tables_source OUT.cpp
#include <cinttypes>
#include <cstdio>

#include "edges/fine_detail_tables.cpp"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 1;
    std::fprintf(out, "// Fine detail's tables as GCC folds them (cmake/fine_detail_tables_source.cpp).\n");
    std::fprintf(out, "#include <bit>\n#include <cstdint>\n\n#include \"edges/fine_detail.h\"\n\n");
    std::fprintf(out, "extern constexpr EdgeShareStepTable kEdgeShareSteps = {{");
    for (uint32_t bits : kEdgeShareSteps.bits) std::fprintf(out, "0x%08" PRIx32 "u,\n", bits);
    std::fprintf(out, "}};\nextern constexpr EdgeRatioTable kEdgeRatioSteps = {{");
    for (double step : kEdgeRatioSteps.step) std::fprintf(out, "%a,\n", step);
    std::fprintf(out, "}, {");
    for (uint8_t base : kEdgeRatioSteps.base) std::fprintf(out, "%u,\n", unsigned(base));
    std::fprintf(out, "}};\nextern constexpr EdgeRatioEstimateTable kEdgeRatioEstimateSteps = {{");
    for (uint32_t entry : kEdgeRatioEstimateSteps.entry) std::fprintf(out, "0x%08" PRIx32 "u,\n", entry);
    // The largest j whose step lies beyond y (ValueOfShare in edges/fine_detail_tables.cpp).
    std::fprintf(out, "}};\n\nint32_t EdgeShareValue(float y) {\n"
                      "    const uint32_t bits = std::bit_cast<uint32_t>(y);\n    int32_t v = 0;\n"
                      "    for (int32_t step = 128; step > 0; step >>= 1) {\n"
                      "        if (bits < kEdgeShareSteps.bits[v + step]) v += step;\n    }\n    return v;\n}\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
