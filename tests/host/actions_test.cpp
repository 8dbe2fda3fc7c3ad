// Action files, result messages.
#include <gtest/gtest.h>

#include <cstring>

#include "host/actions.h"
#include "host/messages.h"

namespace {

using varno::Descriptor;
using varno::DescriptorItem;

TEST(ActionFile, TheEdgeChoiceReadsAsItWasRecorded) {
    Descriptor d;
    varno::PutEdgeChoice(&d, 3, 3);
    EXPECT_EQ(varno::FormatAction(d), "varno action 1\nEdgM enum rB45 3\nedgR long 3\n");
    // -m alone leaves the radius to the stored settings, and a second choice keeps the places.
    Descriptor methodOnly;
    varno::PutEdgeChoice(&methodOnly, 6, 0);
    EXPECT_EQ(varno::FormatAction(methodOnly), "varno action 1\nEdgM enum rB45 6\n");
    varno::PutEdgeChoice(&methodOnly, 4, 1);
    EXPECT_EQ(varno::FormatAction(methodOnly), "varno action 1\nEdgM enum rB45 4\nedgR long 1\n");
}

DescriptorItem Item(uint32_t key, uint32_t type) {
    DescriptorItem item;
    item.key = key;
    item.type = type;
    return item;
}

TEST(ActionFile, EveryKindOfItemSurvivesTheText) {
    Descriptor d;
    DescriptorItem i = Item(FourCC("int "), varno::kDescInteger);
    i.integer = -2147483647 - 1;
    d.Put(i);
    i = Item(FourCC("real"), varno::kDescFloat);
    i.real = 0.1;
    d.Put(i);
    i = Item(0x00FF0A27, varno::kDescUnitFloat);  // a key that needs the hexadecimal form
    i.detail = FourCC("#Pxl");
    i.real = -1e-310;
    d.Put(i);
    i = Item(FourCC("bool"), varno::kDescBoolean);
    i.integer = 1;
    d.Put(i);
    d.PutEnumerated(FourCC("EdgM"), FourCC("rB45"), 4294967295u);
    i = Item(FourCC("text"), varno::kDescText);
    i.bytes = {'s', 'a', 'y', ' ', '"', 'h', 'i', '"', '\\', 0, 0xE9, '\n'};
    d.Put(i);
    i = Item(FourCC("clss"), varno::kDescClass);
    i.detail = FourCC("obj ");
    d.Put(i);
    i = Item(FourCC("glbc"), varno::kDescScopedClass);
    i.detail = FourCC("Dcmn");
    d.Put(i);
    i = Item(FourCC("cnt "), varno::kDescCount);
    i.integer = 4294967295;
    d.Put(i);
    i = Item(FourCC("alis"), varno::kDescAlias);
    d.Put(i);
    i = Item(FourCC("objc"), varno::kDescObject);
    i.detail = FourCC("Dcmn");
    i.bytes = {1, 2, 0xAB};
    d.Put(i);
    i = Item(FourCC("glbo"), varno::kDescScopedObject);
    i.detail = FourCC("Dcmn");
    d.Put(i);
    i = Item(FourCC("refr"), varno::kDescReference);
    i.bytes.assign(varno::kSimpleReferenceSize, 0x5A);
    d.Put(i);

    const std::string text = varno::FormatAction(d);
    Descriptor back;
    ASSERT_EQ(varno::ParseAction(text, &back), "") << text;
    ASSERT_EQ(back.items.size(), d.items.size());
    for (size_t k = 0; k < d.items.size(); ++k) {
        const DescriptorItem &x = d.items[k], &y = back.items[k];
        EXPECT_EQ(x.key, y.key) << k;
        EXPECT_EQ(x.type, y.type) << k;
        EXPECT_EQ(x.detail, y.detail) << k;
        EXPECT_EQ(x.integer, y.integer) << k;
        EXPECT_EQ(std::memcmp(&x.real, &y.real, sizeof x.real), 0) << k;
        EXPECT_EQ(x.bytes, y.bytes) << k;
    }
    // A code that could start a comment or holds a space is quoted; one that is not text, in hex.
    EXPECT_NE(text.find("0x00FF0A27 UntF '#Pxl'"), std::string::npos) << text;
    EXPECT_NE(text.find("clss type 'obj '"), std::string::npos) << text;
}

TEST(ActionFile, CommentsBlankLinesAndLineEndsAreAccepted) {
    Descriptor d;
    ASSERT_EQ(varno::ParseAction("# saved by hand\r\n\r\nvarno action 1\r\n  # the method\r\n'EdgM' enum rB45 5\r\n", &d), "");
    ASSERT_EQ(d.items.size(), 1u);
    EXPECT_EQ(d.items[0].key, FourCC("EdgM"));
    EXPECT_EQ(d.items[0].integer, 5);
}

TEST(ActionFile, MalformedLinesAreRefusedWithTheirNumber) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"", "not a varno action file"},
        {"EdgM enum rB45 5\n", "line 1: expected \"varno action 1\""},
        {"varno action 2\n", "line 1"},
        {"varno action 1\nEdgM enum rB45\n", "line 2: bad value for type enum"},
        {"varno action 1\nEdgM long 2147483648\n", "line 2: bad value"},
        {"varno action 1\nEdgM long 3x\n", "line 2: bad value"},
        {"varno action 1\nEdgM bool yes\n", "line 2: bad value"},
        {"varno action 1\nEdgM TEXT \"open\n", "line 2: expected KEY TYPE VALUE"},
        {"varno action 1\nEdgM TEXT \"bad \\q\"\n", "line 2: bad value"},
        {"varno action 1\nEdgMX long 3\n", "line 2: expected KEY TYPE VALUE"},
        {"varno action 1\nEdgM what 3\n", "line 2: bad value for type what"},
        {"varno action 1\nrefr 'obj ' 00ff\n", "line 2: bad value"},
        {"varno action 1\nalis alis 0g\n", "line 2: bad value"},
        {"varno action 1\nEdgM long\n", "line 2: expected KEY TYPE VALUE"},
    };
    for (const Case& c : cases) {
        Descriptor d;
        d.PutInteger(1, 1);
        const std::string error = varno::ParseAction(c.text, &d);
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << " -> " << error;
        EXPECT_EQ(d.items.size(), 1u) << "a refused file must leave the descriptor alone";
    }
}

TEST(Messages, OneLineNamingTheCode) {
    struct Case {
        int16_t code;
        const char* line;
    };
    const Case cases[] = {
        {-128, "varno: user cancelled (-128)"},
        {-30701, "varno: unsupported image mode (-30701)"},
        {-30915, "varno: unsupported depth conversion (-30915)"},
        {-108, "varno: out of memory (-108)"},
        {-30700, "varno: bad parameters (-30700)"},
        {-43, "varno: file not found (-43)"},
        {-61, "varno: no write permission (-61)"},
        {-34, "varno: disk full (-34)"},
        {-30910, "varno: a channel the image mode needs is missing (-30910)"},
        {-12345, "varno: plug-in error (-12345)"},
        {7, "varno: the plug-in reported an error of its own (7)"},
    };
    for (const Case& c : cases) EXPECT_EQ(varno::ResultLine(c.code), c.line);
    EXPECT_EQ(varno::ResultLine(-30904, "no memory for the preview"), "varno: no memory for the preview (-30904)");
}

}  // namespace
