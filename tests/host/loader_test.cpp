// Loading the plug-in the way a host does, and reading a PiPL the way a Windows host does.
#include <gtest/gtest.h>

#include <cstring>

#include "host/pipl.h"
#include "host/platform.h"
#include "tests/host/host_fixture.h"

namespace {

using varno::PiplProperty;

// The slots a host keeps for the plug-ins it loaded, for as long as it runs: the block the
// plug-in keeps in one is the plug-in's, never the host's to free.
intptr_t hostSlots[8];
intptr_t& NewSlot() {
    static size_t used = 0;
    intptr_t& slot = hostSlots[used++ % 8];
    slot = 0;
    return slot;
}

TEST(Loader, EntryPointAnswersAboutAndRefusesUnknownSelectors) {
    varno::PluginModule module;
    const std::string error = varno::OpenPluginModule(hosttest::PluginPath(), &module);
    ASSERT_EQ(error, "") << hosttest::PluginPath();
    ASSERT_NE(module.entry, nullptr);
    auto entry = reinterpret_cast<PluginEntryProc>(module.entry);

    // About: nothing happens, in particular the host's slot stays empty.
    AboutRecord about = {};
    intptr_t& data = NewSlot();
    int16_t result = 99;
    entry(kSelectorAbout, &about, &data, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(data, 0);

    // Any other selector makes the plug-in's block first, then is refused.
    SelectionRecord record = {};
    result = 99;
    entry(2, &record, &data, &result);
    EXPECT_EQ(result, -30700);
    EXPECT_NE(data, 0);

    // The block is kept: a second call reuses the slot as it stands.
    const intptr_t kept = data;
    entry(7, &record, &data, &result);
    EXPECT_EQ(result, -30700);
    EXPECT_EQ(data, kept);
    varno::ClosePluginModule(&module);
    EXPECT_EQ(module.module, nullptr);
}

TEST(Loader, MissingLibraryIsAClearFailure) {
    varno::PluginModule module;
    const std::string error = varno::OpenPluginModule(hosttest::PluginPath() + ".absent", &module);
    EXPECT_NE(error, "");
    EXPECT_EQ(module.entry, nullptr);
}

// ---- PiPL bytes --------------------------------------------------------------------------------

void Put16(std::vector<uint8_t>* out, uint16_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

struct Property {
    const char* key;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> Bytes(const char* text, size_t size) { return std::vector<uint8_t>(text, text + size); }
uint32_t CodeOf(const char* code) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 | uint32_t(uint8_t(code[2])) << 8 |
           uint32_t(uint8_t(code[3]));
}
std::vector<uint8_t> Code(const char* code) {
    std::vector<uint8_t> out;
    Put32(&out, CodeOf(code));
    return out;
}

// A PiPL as resource compilers lay it out; `padLast` false leaves the last property unpadded.
std::vector<uint8_t> Pipl(const std::vector<Property>& properties, bool padLast = true) {
    std::vector<uint8_t> out;
    Put16(&out, 1);
    Put32(&out, 0);
    Put32(&out, uint32_t(properties.size()));
    for (size_t i = 0; i < properties.size(); ++i) {
        const size_t start = out.size();
        Put32(&out, FourCC("8BIM"));
        Put32(&out, CodeOf(properties[i].key));
        Put32(&out, 0);
        Put32(&out, uint32_t(properties[i].data.size()));
        out.insert(out.end(), properties[i].data.begin(), properties[i].data.end());
        if (padLast || i + 1 < properties.size())
            while ((out.size() - start) % 4 != 0) out.push_back(0);
    }
    return out;
}

std::string EntryOf(const std::vector<uint8_t>& pipl, bool wide, std::string* name) {
    std::vector<PiplProperty> properties;
    std::string error = varno::ParsePipl(pipl.data(), pipl.size(), &properties);
    if (!error.empty()) return error;
    return varno::PiplEntryPoint(properties, wide, name);
}

TEST(Pipl, EntryPointNameByBitness) {
    // The name property has an odd length, so the properties after it sit off a 4-byte boundary
    // of the resource: padding counts from each property's own start.
    const std::vector<uint8_t> pipl = Pipl({{"kind", Code("8BSM")},
                                            {"name", Bytes("\x0fVarnocketile...", 16)},
                                            {"wx86", Bytes("ENTRYPOINT\0\0", 12)},
                                            {"8664", Bytes("Entry64\0", 8)}});
    std::string name;
    EXPECT_EQ(EntryOf(pipl, false, &name), "");
    EXPECT_EQ(name, "ENTRYPOINT");
    EXPECT_EQ(EntryOf(pipl, true, &name), "");
    EXPECT_EQ(name, "Entry64");
}

TEST(Pipl, PropertiesAreReadWithTheirPadding) {
    const std::vector<uint8_t> pipl = Pipl({{"name", Bytes("\x03" "abc", 4)},
                                            {"catg", Bytes("\x01x", 2)},
                                            {"kind", Code("8BSM")}},
                                           false);
    std::vector<PiplProperty> properties;
    ASSERT_EQ(varno::ParsePipl(pipl.data(), pipl.size(), &properties), "");
    ASSERT_EQ(properties.size(), 3u);
    EXPECT_EQ(properties[1].key, FourCC("catg"));
    EXPECT_EQ(properties[1].data, Bytes("\x01x", 2));
    EXPECT_EQ(properties[2].key, FourCC("kind"));
    EXPECT_EQ(properties[2].vendor, FourCC("8BIM"));
}

TEST(Pipl, RefusedLists) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool wide;
        const char* expected;  // a part of the reason
    };
    std::vector<uint8_t> badPrelude = Pipl({{"kind", Code("8BSM")}});
    badPrelude[0] = 2;
    std::vector<uint8_t> badVersion = Pipl({{"kind", Code("8BSM")}});
    badVersion[2] = 1;
    std::vector<uint8_t> overlong = Pipl({{"kind", Code("8BSM")}, {"wx86", Bytes("E\0\0\0", 4)}});
    overlong[10 + 16 + 4 + 12] = 200;  // the second property's length runs past the end
    std::vector<uint8_t> tooMany = Pipl({{"kind", Code("8BSM")}});
    tooMany[6] = 2;
    const Case cases[] = {
        {"empty", {}, false, "too short"},
        {"prelude", badPrelude, false, "does not start with 1"},
        {"version", badVersion, false, "version"},
        {"length past the end", overlong, false, "runs past the end"},
        {"count past the end", tooMany, false, "runs past the end"},
        {"a filter", Pipl({{"kind", Code("8BFM")}, {"wx86", Bytes("E\0\0\0", 4)}}), false, "not a selection module"},
        {"no kind", Pipl({{"wx86", Bytes("E\0\0\0", 4)}}), false, "no 'kind'"},
        {"only 32-bit code", Pipl({{"kind", Code("8BSM")}, {"wx86", Bytes("E\0\0\0", 4)}}), true, "'8664'"},
        {"only 64-bit code", Pipl({{"kind", Code("8BSM")}, {"8664", Bytes("E\0\0\0", 4)}}), false, "'wx86'"},
        {"empty name", Pipl({{"kind", Code("8BSM")}, {"wx86", Bytes("\0\0\0\0", 4)}}), false, "empty"},
    };
    for (const Case& c : cases) {
        std::string name;
        const std::string error = EntryOf(c.bytes, c.wide, &name);
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
    }
}

TEST(Pipl, EveryTruncationIsRefusedWithoutReadingPastTheEnd) {
    const std::vector<uint8_t> pipl = Pipl({{"kind", Code("8BSM")}, {"wx86", Bytes("ENTRYPOINT\0\0", 12)}});
    for (size_t size = 0; size < pipl.size(); ++size) {
        std::vector<uint8_t> cut(pipl.begin(), pipl.begin() + std::ptrdiff_t(size));
        std::vector<PiplProperty> properties;
        std::string name;
        const std::string parsed = varno::ParsePipl(cut.data(), cut.size(), &properties);
        // A cut inside the last property's data is malformed; nothing may come out as a name.
        EXPECT_FALSE(parsed.empty() && varno::PiplEntryPoint(properties, false, &name).empty()) << size;
    }
}

}  // namespace
