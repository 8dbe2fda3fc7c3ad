// The PiPL and AETE bytes, checked against the Windows layout by an independent reader: offsets,
// lengths, padding, little-endian codes, Pascal strings, and the terminology's event, parameters
// and enumerations. Also checks the files the build generated.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "resources/plugin_resources.h"
#include "tests/resources/resource_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes PaddedPascal(const std::string& s, size_t size) {
    Bytes b = Concat({{uint8_t(s.size())}, Text(s)});
    b.resize(size, ' ');
    return b;
}

// A code as the resources store it: the characters in reverse (a little-endian 32-bit value).
std::string Stored(const std::string& code) { return std::string(code.rbegin(), code.rend()); }

struct ExpectedProperty {
    std::string key;
    size_t offset;
    Bytes data;
};

const std::string kEnable =
    "in (PSHOP_ImageMode, GrayScaleMode, RGBMode, CMYKMode, LabMode, Gray16Mode, RGB48Mode, CMYK64Mode, Lab48Mode) "
    "&& (PSHOP_ImageDepth == 8 || PSHOP_ImageDepth == 16)";

std::vector<ExpectedProperty> ExpectedPipl(const std::string& codeKey) {
    Bytes terminology = Concat({{0, 0, 0, 0}, Text("aEXv"), Text("Sgde"), {0x80, 0x3E}, Text("VEXAedgS"), {0},
                                Text("Varnocketile Team"), {0}});
    terminology.resize(48, 0);
    Bytes menu = PaddedPascal("Varnocketile...", 32);
    return {
        {"kind", 10, Text("MSB8")},
        {"name", 30, menu},
        {"catg", 78, PaddedPascal("QUENLIX", 32)},
        {"vers", 126, {0x00, 0x00, 0x01, 0x00}},
        {codeKey, 146, Concat({Text("ENTRYPOINT"), {0, 0}})},
        {"hstm", 174, terminology},
        {"mode", 238, {0x58, 0x40, 0x00, 0x00}},
        {"prog", 258, menu},
        {"enbl", 306, Concat({Text(kEnable), {0, 0}})},
        {"pmsa", 486, {1, 0, 0, 0}},
    };
}

void CheckPipl(const Bytes& pipl, const std::string& codeKey) {
    ResourceReader in(pipl);
    EXPECT_EQ(in.U16(), 1);
    EXPECT_EQ(in.U32(), 0u);  // PiPL version
    EXPECT_EQ(in.U32(), 10u);  // property count
    for (const ExpectedProperty& p : ExpectedPipl(codeKey)) {
        SCOPED_TRACE(p.key);
        size_t start = in.Offset();
        EXPECT_EQ(start, p.offset);
        EXPECT_EQ(in.Raw(4), Text("MIB8"));
        EXPECT_EQ(in.Raw(4), Text(Stored(p.key)));
        EXPECT_EQ(in.U32(), 0u);  // property ID
        uint32_t length = in.U32();
        EXPECT_EQ(length, p.data.size());
        EXPECT_EQ(in.Raw(length), p.data);
        while ((in.Offset() - start) % 4 != 0) EXPECT_EQ(in.U8(), 0);
    }
    EXPECT_TRUE(in.AtEnd());
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(pipl.size(), 506u);
}

TEST(PiplResource, MatchesTheWindowsLayoutFor32BitHosts) {
    Bytes pipl = BuildPiplResource(PluginArchitecture::X86);
    CheckPipl(pipl, "wx86");
    // The prelude and the first property, byte for byte.
    Bytes head(pipl.begin(), pipl.begin() + 30);
    EXPECT_EQ(head, Concat({{1, 0, 0, 0, 0, 0, 10, 0, 0, 0}, Text("MIB8dnik"), {0, 0, 0, 0, 4, 0, 0, 0},
                            Text("MSB8")}));
}

TEST(PiplResource, SixtyFourBitPluginsDifferOnlyInTheCodeKey) {
    const struct {
        PluginArchitecture architecture;
        std::string codeKey;
    } kCases[] = {{PluginArchitecture::X64, "8664"}, {PluginArchitecture::Arm64, "wa64"}};
    Bytes x86 = BuildPiplResource(PluginArchitecture::X86);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.codeKey);
        Bytes wide = BuildPiplResource(c.architecture);
        CheckPipl(wide, c.codeKey);
        ASSERT_EQ(x86.size(), wide.size());
        for (size_t i = 0; i < x86.size(); ++i) {
            if (i < 150 || i >= 154) {
                EXPECT_EQ(x86[i], wide[i]) << "byte " << i;
            }
        }
        EXPECT_EQ(Bytes(wide.begin() + 150, wide.begin() + 154), Text(Stored(c.codeKey)));
    }
}

TEST(PiplResource, ModeFlagsAreOnlyTheOnesHostsDefine) {
    // Byte 0 from its most significant bit, then byte 1; the rest of the flag set is fill.
    const char* const names[] = {"Bitmap", "GrayScale", "Indexed", "RGB", "CMYK", "HSL", "HSB", "Multichannel",
                                 "Duotone", "Lab"};
    const Bytes pipl = BuildPiplResource(PluginArchitecture::X86);
    const Bytes flags(pipl.begin() + 238 + 16, pipl.begin() + 238 + 20);
    std::vector<std::string> set;
    for (int bit = 0; bit < 32; ++bit) {
        if (!(flags[size_t(bit / 8)] & (0x80 >> (bit % 8)))) continue;
        set.push_back(bit < 10 ? names[bit] : "undefined flag " + std::to_string(bit));
    }
    EXPECT_EQ(set, (std::vector<std::string>{"GrayScale", "RGB", "CMYK", "Lab"}));
}

TEST(PiplResource, VendorNameIsOursAndFitsTheTerminologyProperty) {
    std::string vendor = kPluginVendorName;
    EXPECT_EQ(vendor, "Varnocketile Team");
    // version, class, event, ID (14 bytes), scope with its zero, vendor with its zero.
    EXPECT_LE(14 + 9 + vendor.size() + 1, 48u);
}

struct AeteParameterSeen {
    std::string name;
    std::string key;
    std::string type;
    uint16_t flags;
};

struct AeteItemSeen {
    std::string name;
    uint32_t value;
};

struct AeteEnumerationSeen {
    std::string id;
    std::vector<AeteItemSeen> items;
};

struct AeteSeen {
    std::vector<AeteParameterSeen> parameters;
    std::vector<AeteEnumerationSeen> enumerations;
};

// Reads the terminology, checking the fixed parts on the way.
AeteSeen ReadAete(const Bytes& aete) {
    AeteSeen seen;
    ResourceReader in(aete);
    EXPECT_EQ(in.U16(), 1);
    EXPECT_EQ(in.U8(), 1);  // version 1.0
    EXPECT_EQ(in.U8(), 0);
    EXPECT_EQ(in.U16(), 0);  // language
    EXPECT_EQ(in.U16(), 0);  // script
    EXPECT_EQ(in.U16(), 1);  // suites

    EXPECT_EQ(in.Pascal(), "Varnocketile Team");
    EXPECT_EQ(in.Pascal(), "QUENLIX 3.0");
    EXPECT_EQ(in.Code(), "vXEa");
    EXPECT_EQ(in.U16(), 1);  // level
    EXPECT_EQ(in.U16(), 1);  // version
    EXPECT_EQ(in.U16(), 1);  // events

    EXPECT_EQ(in.Pascal(), "Varnocketile");
    EXPECT_EQ(in.Pascal(), "abcd");
    EXPECT_EQ(in.Code(), "vXEa");
    EXPECT_EQ(in.Code(), "edgS");
    EXPECT_EQ(in.Code(), "null");
    EXPECT_EQ(in.Pascal(), "");
    EXPECT_EQ(in.U16(), 0);
    EXPECT_EQ(in.Code(), "#ImR");
    EXPECT_EQ(in.Pascal(), "");
    EXPECT_EQ(in.U16(), 0xB000);
    uint16_t parameters = in.U16();
    EXPECT_EQ(parameters, 35);
    for (uint16_t i = 0; i < parameters && !in.Failed(); ++i) {
        AeteParameterSeen p;
        p.name = in.Pascal();
        p.key = in.Code();
        p.type = in.Code();
        EXPECT_EQ(in.Pascal(), "") << p.name;
        p.flags = in.U16();
        seen.parameters.push_back(p);
    }
    EXPECT_EQ(in.U16(), 0);  // classes
    EXPECT_EQ(in.U16(), 0);  // comparison operators
    uint16_t enumerations = in.U16();
    EXPECT_EQ(enumerations, 8);
    for (uint16_t i = 0; i < enumerations && !in.Failed(); ++i) {
        AeteEnumerationSeen e;
        e.id = in.Code();
        uint16_t items = in.U16();
        for (uint16_t j = 0; j < items && !in.Failed(); ++j) {
            AeteItemSeen item;
            item.name = in.Pascal();
            item.value = in.U32();
            EXPECT_EQ(in.Pascal(), "") << item.name;
            e.items.push_back(item);
        }
        seen.enumerations.push_back(e);
    }
    EXPECT_TRUE(in.AtEnd());
    EXPECT_FALSE(in.Failed());
    return seen;
}

TEST(AeteResource, StartsWithThePreludeAndTheSuite) {
    Bytes aete = BuildAeteResource();
    Bytes head(aete.begin(), aete.begin() + 28);
    EXPECT_EQ(head, Concat({{1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 17}, Text("Varnocketile Team")}));
}

TEST(AeteResource, DeclaresTheEdgeEventWithMethodAndRadius) {
    AeteSeen aete = ReadAete(BuildAeteResource());
    ASSERT_EQ(aete.parameters.size(), 35u);
    ASSERT_EQ(aete.enumerations.size(), 8u);

    const AeteParameterSeen& radius = aete.parameters[30];
    EXPECT_EQ(radius.name, "Edge Radius");
    EXPECT_EQ(radius.key, "edgR");
    EXPECT_EQ(radius.type, "doub");
    EXPECT_EQ(radius.flags, 0);
    const AeteParameterSeen& method = aete.parameters[34];
    EXPECT_EQ(method.name, "Edge Finding Method");
    EXPECT_EQ(method.key, "EdgM");
    EXPECT_EQ(method.type, "rB45");
    EXPECT_EQ(method.flags, 0x2000);

    const AeteEnumerationSeen& methods = aete.enumerations[6];
    EXPECT_EQ(methods.id, "rB45");
    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"Traditional", 3}, {"Skinny lines", 4}, {"Smoother", 5}, {"Fine detail", 6}, {"Variable width", 7}};
    ASSERT_EQ(methods.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(methods.items[i].name, expected[i].first);
        EXPECT_EQ(methods.items[i].value, expected[i].second);
    }
}

TEST(AeteResource, SiblingEntriesAreConsistent) {
    AeteSeen aete = ReadAete(BuildAeteResource());
    std::set<std::string> keys;
    std::set<std::string> enumeratedTypes;
    for (const AeteParameterSeen& p : aete.parameters) {
        SCOPED_TRACE(p.name);
        EXPECT_FALSE(p.name.empty());
        EXPECT_TRUE(keys.insert(p.key).second) << "duplicate key " << p.key;
        bool enumerated = p.type.rfind("rB", 0) == 0;
        EXPECT_EQ(p.flags, enumerated ? 0x2000 : 0);
        if (enumerated) {
            EXPECT_TRUE(enumeratedTypes.insert(p.type).second) << "enumeration used twice " << p.type;
        } else {
            EXPECT_TRUE(p.type == "doub" || p.type == "bool" || p.type == "TEXT") << p.type;
        }
    }
    EXPECT_EQ(enumeratedTypes,
              (std::set<std::string>{"rB37", "rB39", "rB40", "rB41", "rB42", "rB45", "rB47", "rB48"}));
    std::set<std::string> ids;
    for (const AeteEnumerationSeen& e : aete.enumerations) {
        SCOPED_TRACE(e.id);
        ids.insert(e.id);
        EXPECT_FALSE(e.items.empty());
        std::set<uint32_t> values;
        for (const AeteItemSeen& item : e.items) {
            EXPECT_FALSE(item.name.empty());
            EXPECT_TRUE(values.insert(item.value).second);
        }
    }
    EXPECT_EQ(ids, enumeratedTypes);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(HostPath(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(GeneratedResources, FilesHoldTheTableOfThisBuild) {
    PluginArchitecture architecture = sizeof(void*) == 8 ? PluginArchitecture::X64 : PluginArchitecture::X86;
    EXPECT_EQ(ReadFile(std::string(VARNO_GENERATED_DIR) + "/pipl.bin"), BuildPiplResource(architecture));
    EXPECT_EQ(ReadFile(std::string(VARNO_GENERATED_DIR) + "/aete.bin"), BuildAeteResource());
}

}  // namespace
