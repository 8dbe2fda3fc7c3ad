// The host's descriptor suites and the descriptor's bytes, exercised by a stand-in plug-in whose
// Execute runs a script given by each test.
#include <gtest/gtest.h>

#include <cstring>

#include "host/descriptor.h"
#include "host/handles.h"
#include "host/run.h"
#include "tests/host/scripted_plugin.h"

namespace {

using namespace hosttest;

constexpr uint32_t kMethod = FourCC("EdgM");
constexpr uint32_t kRadius = FourCC("edgR");
constexpr uint32_t kOther = FourCC("xtra");

RunOptions Playing(const varno::Descriptor& descriptor) {
    RunOptions options;
    options.playDescriptor = true;
    options.descriptor = descriptor;
    return options;
}

TEST(ReadDescriptor, KeysInOrderZeroedAsTheyComeAndMissingOnesReported) {
    varno::Descriptor played;
    played.PutEnumerated(kMethod, FourCC("rB45"), 6);
    played.PutInteger(kRadius, 3);
    Document document = Grey5x4();
    RunReport report = RunScript(
        &document,
        [](SelectionRecord* record) -> int16_t {
            PIDescriptorParameters* scripting = record->descriptorParameters;
            ReadDescriptorProcs* procs = scripting->readDescriptorProcs;
            uint32_t keys[] = {kMethod, kRadius, kOther, 0};
            PIReadDescriptor token = procs->openReadDescriptorProc(scripting->descriptor, keys);
            EXPECT_NE(token, nullptr);
            uint32_t key = 0, type = 0;
            int32_t flags = -1;
            EXPECT_TRUE(procs->getKeyProc(token, &key, &type, &flags));
            EXPECT_EQ(key, kMethod);
            EXPECT_EQ(type, varno::kDescEnumerated);
            EXPECT_EQ(flags, 0);
            EXPECT_EQ(keys[0], 0u);
            EXPECT_EQ(keys[1], kRadius);
            uint32_t method = 0;
            EXPECT_EQ(procs->getEnumeratedProc(token, &method), 0);
            EXPECT_EQ(method, 6u);
            EXPECT_TRUE(procs->getKeyProc(token, &key, &type, &flags));
            EXPECT_EQ(key, kRadius);
            EXPECT_EQ(keys[1], 0u);
            int32_t radius = 0;
            EXPECT_EQ(procs->getIntegerProc(token, &radius), 0);
            EXPECT_EQ(radius, 3);
            EXPECT_FALSE(procs->getKeyProc(token, &key, &type, &flags));
            EXPECT_EQ(keys[2], kOther);
            EXPECT_EQ(procs->closeReadDescriptorProc(token), -1715);
            record->handleProcs->disposeProc(scripting->descriptor);
            scripting->descriptor = nullptr;
            return 0;
        },
        Playing(played));
    EXPECT_FALSE(report.recorded);
    EXPECT_EQ(report.handlesLeft, 0);
    EXPECT_EQ(report.descriptorTokensLeft, 0);
}

TEST(ReadDescriptor, ValuesConvertOnlyWhereNothingButAFractionIsLost) {
    varno::Descriptor played;
    varno::DescriptorItem real;
    real.key = kRadius;
    real.type = varno::kDescFloat;
    real.real = 2.75;
    played.Put(real);
    played.PutInteger(kMethod, 6);
    Document document = Grey5x4();
    RunScript(
        &document,
        [](SelectionRecord* record) -> int16_t {
            PIDescriptorParameters* scripting = record->descriptorParameters;
            ReadDescriptorProcs* procs = scripting->readDescriptorProcs;
            uint32_t keys[] = {kRadius, kMethod, 0};
            PIReadDescriptor token = procs->openReadDescriptorProc(scripting->descriptor, keys);
            uint32_t key, type;
            int32_t flags;
            EXPECT_TRUE(procs->getKeyProc(token, &key, &type, &flags));
            int32_t integer = 0;
            EXPECT_EQ(procs->getIntegerProc(token, &integer), 0);
            EXPECT_EQ(integer, 2);
            auto pinned = reinterpret_cast<OSErr(PIAPI*)(PIReadDescriptor, int32_t, int32_t, int32_t*)>(
                procs->getPinnedIntegerProc);
            EXPECT_EQ(pinned(token, 3, 7, &integer), varno::kCoercedParameter);
            EXPECT_EQ(integer, 3);
            EXPECT_TRUE(procs->getKeyProc(token, &key, &type, &flags));
            uint32_t enumerated = 99;
            EXPECT_EQ(procs->getEnumeratedProc(token, &enumerated), varno::kErrCoercionFailed);
            EXPECT_EQ(enumerated, 99u);
            // The first error of the reader outranks nothing missing.
            EXPECT_EQ(procs->closeReadDescriptorProc(token), varno::kErrCoercionFailed);
            return 0;
        },
        Playing(played));
}

TEST(ReadDescriptor, NoneForAHandleThatIsNotADescriptor) {
    ReadDescriptorProcs* procs = varno::HostReadDescriptorProcs();
    uint32_t keys[] = {0};
    EXPECT_EQ(procs->openReadDescriptorProc(nullptr, keys), nullptr);
    Handle junk = varno::NewHostHandleWith({1, 2, 3});
    EXPECT_EQ(procs->openReadDescriptorProc(junk, keys), nullptr);
    varno::DisposeHostHandle(junk);
}

TEST(WriteDescriptor, TheNewDescriptorReachesTheHost) {
    varno::Descriptor played;
    played.PutInteger(kRadius, 1);
    Document document = Grey5x4();
    RunReport report = RunScript(
        &document,
        [](SelectionRecord* record) -> int16_t {
            PIDescriptorParameters* scripting = record->descriptorParameters;
            WriteDescriptorProcs* procs = scripting->writeDescriptorProcs;
            PIWriteDescriptor token = procs->openWriteDescriptorProc();
            EXPECT_EQ(procs->putEnumeratedProc(token, kMethod, FourCC("rB45"), 7), 0);
            EXPECT_EQ(procs->putIntegerProc(token, kRadius, 2), 0);
            EXPECT_EQ(procs->putIntegerProc(token, kRadius, 3), 0);  // the later value, in the first place
            auto putString = reinterpret_cast<OSErr(PIAPI*)(PIWriteDescriptor, uint32_t, const unsigned char*)>(
                procs->putStringProc);
            EXPECT_EQ(putString(token, kOther, reinterpret_cast<const unsigned char*>("\x02hi")), 0);
            record->handleProcs->disposeProc(scripting->descriptor);
            EXPECT_EQ(procs->closeWriteDescriptorProc(token, &scripting->descriptor), 0);
            scripting->recordInfo = 0;
            return 0;
        },
        Playing(played));
    ASSERT_TRUE(report.recorded);
    ASSERT_EQ(report.descriptor.items.size(), 3u);
    EXPECT_EQ(report.descriptor.items[0].key, kMethod);
    EXPECT_EQ(report.descriptor.items[0].detail, FourCC("rB45"));
    EXPECT_EQ(report.descriptor.items[0].integer, 7);
    EXPECT_EQ(report.descriptor.items[1].key, kRadius);
    EXPECT_EQ(report.descriptor.items[1].integer, 3);
    EXPECT_EQ(report.descriptor.items[2].bytes, (std::vector<uint8_t>{'h', 'i'}));
    EXPECT_EQ(report.handlesLeft, 0);
    EXPECT_EQ(report.descriptorTokensLeft, 0);
}

TEST(WriteDescriptor, APlayedDescriptorLeftInPlaceIsNotARecording) {
    varno::Descriptor played;
    played.PutInteger(kRadius, 1);
    Document document = Grey5x4();
    RunReport report = RunScript(&document, [](SelectionRecord*) -> int16_t { return 0; }, Playing(played));
    EXPECT_FALSE(report.recorded);
    EXPECT_EQ(report.handlesLeft, 0);
}

varno::Descriptor EveryKind() {
    varno::Descriptor d;
    auto item = [](const char (&key)[5], uint32_t type) {
        varno::DescriptorItem i;
        i.key = FourCC(key);
        i.type = type;
        return i;
    };
    varno::DescriptorItem i = item("int ", varno::kDescInteger);
    i.integer = -123456;
    d.Put(i);
    i = item("real", varno::kDescFloat);
    i.real = 0.1;
    d.Put(i);
    i = item("unit", varno::kDescUnitFloat);
    i.detail = FourCC("#Pxl");
    i.real = -2.5e-300;
    d.Put(i);
    i = item("bool", varno::kDescBoolean);
    i.integer = 1;
    d.Put(i);
    d.PutEnumerated(FourCC("EdgM"), FourCC("rB45"), 4000000000u);
    i = item("text", varno::kDescText);
    i.bytes = {'a', '"', '\\', 0, 200, ' '};
    d.Put(i);
    i = item("clss", varno::kDescClass);
    i.detail = FourCC("obj ");
    d.Put(i);
    i = item("glbc", varno::kDescScopedClass);
    i.detail = 0x01020304;
    d.Put(i);
    i = item("cont", varno::kDescCount);
    i.integer = 4294967295;
    d.Put(i);
    i = item("alis", varno::kDescAlias);
    i.bytes = {0, 1, 2, 255};
    d.Put(i);
    i = item("objc", varno::kDescObject);
    i.detail = FourCC("Dcmn");
    i.bytes = varno::SerializeDescriptor(varno::Descriptor());
    d.Put(i);
    i = item("glbo", varno::kDescScopedObject);
    i.detail = FourCC("Dcmn");
    d.Put(i);
    i = item("refr", varno::kDescReference);
    i.bytes.assign(varno::kSimpleReferenceSize, 7);
    d.Put(i);
    return d;
}

bool Same(const varno::Descriptor& a, const varno::Descriptor& b) {
    if (a.items.size() != b.items.size()) return false;
    for (size_t i = 0; i < a.items.size(); ++i) {
        const varno::DescriptorItem &x = a.items[i], &y = b.items[i];
        if (x.key != y.key || x.type != y.type || x.detail != y.detail || x.integer != y.integer ||
            std::memcmp(&x.real, &y.real, sizeof x.real) != 0 || x.bytes != y.bytes)
            return false;
    }
    return true;
}

TEST(DescriptorBytes, RoundTripAndRefuseEveryMalformedVariant) {
    const varno::Descriptor d = EveryKind();
    const std::vector<uint8_t> bytes = varno::SerializeDescriptor(d);
    varno::Descriptor back;
    ASSERT_TRUE(varno::ParseDescriptor(bytes, &back));
    EXPECT_TRUE(Same(d, back));
    for (size_t size = 0; size < bytes.size(); ++size) {
        varno::Descriptor cut;
        EXPECT_FALSE(varno::ParseDescriptor(std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(size)), &cut))
            << size;
    }
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(varno::ParseDescriptor(longer, &back));
    std::vector<uint8_t> huge = bytes;
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;  // a count no bytes can hold
    EXPECT_FALSE(varno::ParseDescriptor(huge, &back));
}

}  // namespace
