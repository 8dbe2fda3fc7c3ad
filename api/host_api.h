// Host records of the published selection-module plug-in API, declared from the published layout.
//
// Contract: every record is binary-compatible with what a host passes on 32-bit and on 64-bit
// Windows (natural alignment, no pack pragmas). The offsets below are checked at compile time for
// both: the 32-bit layout in the i686 build, the 64-bit one in every 64-bit build (x86_64 Windows,
// and the native build, whose records have the same layout because no field is a `long`). The
// `data` slot of the entry point is pointer-sized (intptr_t) so that a 64-bit handle fits.
// Every callback and the entry point are plain cdecl. Portable code includes this header, never
// <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define PIAPI __cdecl
#else
#define PIAPI
#endif

typedef uint8_t Boolean;  // one byte; a host's Boolean return defines only the low byte
typedef int16_t OSErr;
typedef uint32_t OSType;
typedef int32_t Fixed;
typedef char** Handle;

// Four-character codes, most significant character first ('edgS' = 0x65646753).
constexpr uint32_t FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

struct VRect {
    int32_t top, left, bottom, right;
};
struct VPoint {
    int32_t v, h;
};
struct PSScaling {
    VRect sourceRect;
    VRect destinationRect;
};
// Sizes and offsets in bits: an 8-bit one-channel row of width W is rowBits 8W, colBits 8.
struct PixelMemoryDesc {
    void* data;
    int32_t rowBits;
    int32_t colBits;
    int32_t bitOffset;
    int32_t depth;
};

typedef struct PIChannelPortDesc* PIChannelPort;
typedef struct PIReadDescriptorToken* PIReadDescriptor;
typedef struct PIWriteDescriptorToken* PIWriteDescriptor;
typedef Handle PIDescriptorHandle;

typedef Boolean(PIAPI* TestAbortProc)(void);
typedef void(PIAPI* ProgressProc)(int32_t done, int32_t total);
typedef OSErr(PIAPI* ReadPixelsProc)(PIChannelPort port, const PSScaling* scaling,
                                     const VRect* writeRect, const PixelMemoryDesc* destination,
                                     VRect* wroteRect);
typedef OSErr(PIAPI* WriteBasePixelsProc)(PIChannelPort port, const VRect* writeRect,
                                          const PixelMemoryDesc* source);
typedef OSErr(PIAPI* ReadPortForWritePortProc)(PIChannelPort* readPort, PIChannelPort writePort);

struct ChannelPortProcs {
    int16_t channelPortProcsVersion;
    int16_t numChannelPortProcs;
    ReadPixelsProc readPixelsProc;
    WriteBasePixelsProc writeBasePixelsProc;
    ReadPortForWritePortProc readPortForWritePortProc;
};

typedef Handle(PIAPI* NewPIHandleProc)(int32_t size);
typedef void(PIAPI* DisposePIHandleProc)(Handle h);
typedef int32_t(PIAPI* GetPIHandleSizeProc)(Handle h);
typedef OSErr(PIAPI* SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef char*(PIAPI* LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void(PIAPI* UnlockPIHandleProc)(Handle h);
typedef void(PIAPI* RecoverSpaceProc)(int32_t size);
typedef void(PIAPI* DisposeRegularHandlePIHandleProc)(Handle h);

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};

typedef void* PIAnyProc;  // procedures this plug-in never calls

struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    PIReadDescriptor(PIAPI* openReadDescriptorProc)(PIDescriptorHandle, uint32_t* keyArray);
    OSErr(PIAPI* closeReadDescriptorProc)(PIReadDescriptor);
    Boolean(PIAPI* getKeyProc)(PIReadDescriptor, uint32_t* key, uint32_t* type, int32_t* flags);
    OSErr(PIAPI* getIntegerProc)(PIReadDescriptor, int32_t*);
    OSErr(PIAPI* getFloatProc)(PIReadDescriptor, double*);
    PIAnyProc getUnitFloatProc;
    PIAnyProc getBooleanProc;
    PIAnyProc getTextProc;
    PIAnyProc getAliasProc;
    OSErr(PIAPI* getEnumeratedProc)(PIReadDescriptor, uint32_t*);
    PIAnyProc getClassProc;
    PIAnyProc getSimpleReferenceProc;
    PIAnyProc getObjectProc;
    PIAnyProc getCountProc;
    PIAnyProc getStringProc;
    PIAnyProc getPinnedIntegerProc;
    PIAnyProc getPinnedFloatProc;
    PIAnyProc getPinnedUnitFloatProc;
};

struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    PIWriteDescriptor(PIAPI* openWriteDescriptorProc)(void);
    OSErr(PIAPI* closeWriteDescriptorProc)(PIWriteDescriptor, PIDescriptorHandle* out);
    OSErr(PIAPI* putIntegerProc)(PIWriteDescriptor, uint32_t key, int32_t value);
    PIAnyProc putFloatProc;
    PIAnyProc putUnitFloatProc;
    PIAnyProc putBooleanProc;
    PIAnyProc putTextProc;
    PIAnyProc putAliasProc;
    OSErr(PIAPI* putEnumeratedProc)(PIWriteDescriptor, uint32_t key, uint32_t type, uint32_t value);
    PIAnyProc putClassProc;
    PIAnyProc putSimpleReferenceProc;
    PIAnyProc putObjectProc;
    PIAnyProc putCountProc;
    PIAnyProc putStringProc;
    PIAnyProc putScopedClassProc;
    PIAnyProc putScopedObjectProc;
};

struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;    // 0 no dialog, 1 show the dialog, 2 silent
    int16_t recordInfo;  // 0 dialog optional, 1 required, 2 none
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

struct ReadChannelDesc {
    int32_t minVersion;
    int32_t maxVersion;
    ReadChannelDesc* next;
    PIChannelPort port;
    VRect bounds;
    int32_t depth;
    VPoint tileSize;
    VPoint tileOrigin;
    Boolean target;
    Boolean shown;
    int16_t channelType;
    void* contextInfo;
    const char* name;
    PIChannelPort writePort;
    uint32_t alphaID;
    const uint16_t* unicodeName;
    Boolean isEnabled;
    VRect limitBounds;
};

// The host's description of the new-selection channel. Hosts declare it as a write-channel
// record; its `port`, the only field the plug-in uses, sits at the same offset as in
// ReadChannelDesc.
struct WriteChannelDesc {
    int32_t minVersion;
    int32_t maxVersion;
    WriteChannelDesc* next;
    PIChannelPort port;
    VRect bounds;
    int32_t depth;
    VPoint tileSize;
    VPoint tileOrigin;
    int16_t channelType;
    int16_t padding;
    void* contextInfo;
    const char* name;
    const uint16_t* unicodeName;
};

struct ReadImageDocumentDesc {
    int32_t minVersion;
    int32_t maxVersion;
    int32_t imageMode;
    int32_t depth;
    VRect bounds;
    Fixed hResolution;
    Fixed vResolution;
    uint8_t redLUT[256];
    uint8_t greenLUT[256];
    uint8_t blueLUT[256];
    ReadChannelDesc* targetCompositeChannels;
    ReadChannelDesc* targetTransparency;
    ReadChannelDesc* targetLayerMask;
    ReadChannelDesc* mergedCompositeChannels;
    ReadChannelDesc* mergedTransparency;
    ReadChannelDesc* alphaChannels;
    ReadChannelDesc* selection;
    void* fileSpec;
    void* layersDescriptor;
    int32_t documentType;
    ReadImageDocumentDesc* next;
    void* iCCprofileData;
    int32_t iCCprofileSize;
    int32_t compositeChannelCount;
    int32_t layerCount;
    int32_t alphaChannelCount;
    ReadChannelDesc* targetSmartFilterMask;
    void* fileSpecW;
    void* fileSpecX;
};

struct PlugInMonitor {
    Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

// On Windows the owner window of the plug-in's dialog.
struct PlatformData {
    intptr_t hwnd;
};

struct SelectionRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    OSType hostSig;
    void* hostProc;
    void* bufferProcs;
    void* resourceProcs;
    void* processEvent;
    void* displayPixels;
    HandleProcs* handleProcs;
    void* colorServices;
    void* imageServicesProcs;
    void* propertyProcs;
    ChannelPortProcs* channelPortProcs;
    PIDescriptorParameters* descriptorParameters;
    unsigned char (*errorString)[256];
    PlugInMonitor monitor;
    void* platformData;
    char reserved[4];
    ReadImageDocumentDesc* documentInfo;
    WriteChannelDesc* newSelection;
    Handle newPath;
    int32_t treatment;
    int32_t supportedTreatments;
    void* sSPBasic;
    void* plugInRef;
    char reservedBlock[248];
};

struct AboutRecord {
    void* platformData;
    void* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

// The exported entry point. `record` is a SelectionRecord for Execute and an AboutRecord for About.
typedef void(PIAPI* PluginEntryProc)(int16_t selector, void* record, intptr_t* data, int16_t* result);

enum : int16_t {
    kSelectorAbout = 0,
    kSelectorExecute = 1,
};

enum : int16_t {
    kPlayDialogDontDisplay = 0,
    kPlayDialogDisplay = 1,
    kPlayDialogSilent = 2,
};

// Image modes and channel types, as the API numbers them.
enum : int32_t {
    kModeGrayScale = 1,
    kModeRGB = 3,
    kModeCMYK = 4,
    kModeLab = 9,
    kModeGray16 = 10,
    kModeRGB48 = 11,
    kModeLab48 = 12,
    kModeCMYK64 = 13,
};
enum : int16_t {
    kChannelRed = 1,
    kChannelGreen = 2,
    kChannelBlue = 3,
    kChannelCyan = 4,
    kChannelMagenta = 5,
    kChannelYellow = 6,
    kChannelBlack = 7,  // also the grey channel
    kChannelL = 8,
    kChannelA = 9,
    kChannelB = 10,
};

#if defined(_WIN32) && !defined(_WIN64)
#define PI_CHECK_OFFSET(T, f, o) static_assert(offsetof(T, f) == (o), #T "." #f)
PI_CHECK_OFFSET(SelectionRecord, abortProc, 4);
PI_CHECK_OFFSET(SelectionRecord, progressProc, 8);
PI_CHECK_OFFSET(SelectionRecord, hostSig, 12);
PI_CHECK_OFFSET(SelectionRecord, handleProcs, 36);
PI_CHECK_OFFSET(SelectionRecord, channelPortProcs, 52);
PI_CHECK_OFFSET(SelectionRecord, descriptorParameters, 56);
PI_CHECK_OFFSET(SelectionRecord, errorString, 60);
PI_CHECK_OFFSET(SelectionRecord, monitor, 64);
PI_CHECK_OFFSET(SelectionRecord, platformData, 104);
PI_CHECK_OFFSET(SelectionRecord, reserved, 108);
PI_CHECK_OFFSET(SelectionRecord, documentInfo, 112);
PI_CHECK_OFFSET(SelectionRecord, newSelection, 116);
PI_CHECK_OFFSET(SelectionRecord, newPath, 120);
PI_CHECK_OFFSET(SelectionRecord, treatment, 124);
PI_CHECK_OFFSET(SelectionRecord, supportedTreatments, 128);
PI_CHECK_OFFSET(SelectionRecord, sSPBasic, 132);
PI_CHECK_OFFSET(SelectionRecord, plugInRef, 136);
PI_CHECK_OFFSET(SelectionRecord, reservedBlock, 140);
static_assert(sizeof(SelectionRecord) == 388);
PI_CHECK_OFFSET(ReadImageDocumentDesc, imageMode, 8);
PI_CHECK_OFFSET(ReadImageDocumentDesc, depth, 12);
PI_CHECK_OFFSET(ReadImageDocumentDesc, bounds, 16);
PI_CHECK_OFFSET(ReadImageDocumentDesc, hResolution, 32);
PI_CHECK_OFFSET(ReadImageDocumentDesc, redLUT, 40);
PI_CHECK_OFFSET(ReadImageDocumentDesc, greenLUT, 296);
PI_CHECK_OFFSET(ReadImageDocumentDesc, blueLUT, 552);
PI_CHECK_OFFSET(ReadImageDocumentDesc, targetCompositeChannels, 808);
PI_CHECK_OFFSET(ReadImageDocumentDesc, mergedCompositeChannels, 820);
PI_CHECK_OFFSET(ReadImageDocumentDesc, alphaChannels, 828);
PI_CHECK_OFFSET(ReadImageDocumentDesc, selection, 832);
PI_CHECK_OFFSET(ReadImageDocumentDesc, fileSpec, 836);
PI_CHECK_OFFSET(ReadImageDocumentDesc, documentType, 844);
PI_CHECK_OFFSET(ReadImageDocumentDesc, targetSmartFilterMask, 872);
PI_CHECK_OFFSET(ReadImageDocumentDesc, fileSpecX, 880);
static_assert(sizeof(ReadImageDocumentDesc) == 884);
PI_CHECK_OFFSET(ReadChannelDesc, next, 8);
PI_CHECK_OFFSET(ReadChannelDesc, port, 12);
PI_CHECK_OFFSET(ReadChannelDesc, bounds, 16);
PI_CHECK_OFFSET(ReadChannelDesc, depth, 32);
PI_CHECK_OFFSET(ReadChannelDesc, tileSize, 36);
PI_CHECK_OFFSET(ReadChannelDesc, tileOrigin, 44);
PI_CHECK_OFFSET(ReadChannelDesc, target, 52);
PI_CHECK_OFFSET(ReadChannelDesc, shown, 53);
PI_CHECK_OFFSET(ReadChannelDesc, channelType, 54);
PI_CHECK_OFFSET(ReadChannelDesc, contextInfo, 56);
PI_CHECK_OFFSET(ReadChannelDesc, name, 60);
PI_CHECK_OFFSET(ReadChannelDesc, writePort, 64);
PI_CHECK_OFFSET(ReadChannelDesc, alphaID, 68);
PI_CHECK_OFFSET(ReadChannelDesc, unicodeName, 72);
PI_CHECK_OFFSET(ReadChannelDesc, isEnabled, 76);
PI_CHECK_OFFSET(ReadChannelDesc, limitBounds, 80);
static_assert(sizeof(ReadChannelDesc) == 96);
PI_CHECK_OFFSET(WriteChannelDesc, port, 12);
PI_CHECK_OFFSET(WriteChannelDesc, depth, 32);
PI_CHECK_OFFSET(WriteChannelDesc, channelType, 52);
PI_CHECK_OFFSET(WriteChannelDesc, contextInfo, 56);
PI_CHECK_OFFSET(WriteChannelDesc, unicodeName, 64);
static_assert(sizeof(WriteChannelDesc) == 68);
static_assert(sizeof(VRect) == 16 && sizeof(VPoint) == 8 && sizeof(PSScaling) == 32);
PI_CHECK_OFFSET(PixelMemoryDesc, rowBits, 4);
PI_CHECK_OFFSET(PixelMemoryDesc, depth, 16);
static_assert(sizeof(PixelMemoryDesc) == 20);
PI_CHECK_OFFSET(ChannelPortProcs, readPixelsProc, 4);
PI_CHECK_OFFSET(ChannelPortProcs, writeBasePixelsProc, 8);
static_assert(sizeof(ChannelPortProcs) == 16);
PI_CHECK_OFFSET(HandleProcs, newProc, 4);
PI_CHECK_OFFSET(HandleProcs, disposeProc, 8);
PI_CHECK_OFFSET(HandleProcs, disposeRegularHandleProc, 32);
static_assert(sizeof(HandleProcs) == 36);
PI_CHECK_OFFSET(PIDescriptorParameters, playInfo, 2);
PI_CHECK_OFFSET(PIDescriptorParameters, recordInfo, 4);
PI_CHECK_OFFSET(PIDescriptorParameters, descriptor, 8);
PI_CHECK_OFFSET(PIDescriptorParameters, writeDescriptorProcs, 12);
PI_CHECK_OFFSET(PIDescriptorParameters, readDescriptorProcs, 16);
static_assert(sizeof(PIDescriptorParameters) == 20);
PI_CHECK_OFFSET(ReadDescriptorProcs, getKeyProc, 12);
PI_CHECK_OFFSET(ReadDescriptorProcs, getIntegerProc, 16);
PI_CHECK_OFFSET(ReadDescriptorProcs, getEnumeratedProc, 40);
PI_CHECK_OFFSET(ReadDescriptorProcs, getPinnedUnitFloatProc, 72);
static_assert(sizeof(ReadDescriptorProcs) == 76);
PI_CHECK_OFFSET(WriteDescriptorProcs, putIntegerProc, 12);
PI_CHECK_OFFSET(WriteDescriptorProcs, putEnumeratedProc, 36);
PI_CHECK_OFFSET(WriteDescriptorProcs, putScopedObjectProc, 64);
static_assert(sizeof(WriteDescriptorProcs) == 68);
static_assert(sizeof(AboutRecord) == 256);
static_assert(sizeof(PlatformData) == 4);
#undef PI_CHECK_OFFSET
#endif

#if UINTPTR_MAX > 0xFFFFFFFFu
#define PI_CHECK_OFFSET(T, f, o) static_assert(offsetof(T, f) == (o), #T "." #f)
PI_CHECK_OFFSET(SelectionRecord, serialNumber, 0);
PI_CHECK_OFFSET(SelectionRecord, abortProc, 8);
PI_CHECK_OFFSET(SelectionRecord, progressProc, 16);
PI_CHECK_OFFSET(SelectionRecord, hostSig, 24);
PI_CHECK_OFFSET(SelectionRecord, hostProc, 32);
PI_CHECK_OFFSET(SelectionRecord, bufferProcs, 40);
PI_CHECK_OFFSET(SelectionRecord, resourceProcs, 48);
PI_CHECK_OFFSET(SelectionRecord, processEvent, 56);
PI_CHECK_OFFSET(SelectionRecord, displayPixels, 64);
PI_CHECK_OFFSET(SelectionRecord, handleProcs, 72);
PI_CHECK_OFFSET(SelectionRecord, colorServices, 80);
PI_CHECK_OFFSET(SelectionRecord, imageServicesProcs, 88);
PI_CHECK_OFFSET(SelectionRecord, propertyProcs, 96);
PI_CHECK_OFFSET(SelectionRecord, channelPortProcs, 104);
PI_CHECK_OFFSET(SelectionRecord, descriptorParameters, 112);
PI_CHECK_OFFSET(SelectionRecord, errorString, 120);
PI_CHECK_OFFSET(SelectionRecord, monitor, 128);
PI_CHECK_OFFSET(SelectionRecord, platformData, 168);
PI_CHECK_OFFSET(SelectionRecord, reserved, 176);
PI_CHECK_OFFSET(SelectionRecord, documentInfo, 184);
PI_CHECK_OFFSET(SelectionRecord, newSelection, 192);
PI_CHECK_OFFSET(SelectionRecord, newPath, 200);
PI_CHECK_OFFSET(SelectionRecord, treatment, 208);
PI_CHECK_OFFSET(SelectionRecord, supportedTreatments, 212);
PI_CHECK_OFFSET(SelectionRecord, sSPBasic, 216);
PI_CHECK_OFFSET(SelectionRecord, plugInRef, 224);
PI_CHECK_OFFSET(SelectionRecord, reservedBlock, 232);
static_assert(sizeof(SelectionRecord) == 480);
PI_CHECK_OFFSET(PlugInMonitor, gamma, 0);
PI_CHECK_OFFSET(PlugInMonitor, ambient, 36);
static_assert(sizeof(PlugInMonitor) == 40);
PI_CHECK_OFFSET(ReadImageDocumentDesc, maxVersion, 4);
PI_CHECK_OFFSET(ReadImageDocumentDesc, imageMode, 8);
PI_CHECK_OFFSET(ReadImageDocumentDesc, depth, 12);
PI_CHECK_OFFSET(ReadImageDocumentDesc, bounds, 16);
PI_CHECK_OFFSET(ReadImageDocumentDesc, hResolution, 32);
PI_CHECK_OFFSET(ReadImageDocumentDesc, vResolution, 36);
PI_CHECK_OFFSET(ReadImageDocumentDesc, redLUT, 40);
PI_CHECK_OFFSET(ReadImageDocumentDesc, greenLUT, 296);
PI_CHECK_OFFSET(ReadImageDocumentDesc, blueLUT, 552);
PI_CHECK_OFFSET(ReadImageDocumentDesc, targetCompositeChannels, 808);
PI_CHECK_OFFSET(ReadImageDocumentDesc, targetTransparency, 816);
PI_CHECK_OFFSET(ReadImageDocumentDesc, targetLayerMask, 824);
PI_CHECK_OFFSET(ReadImageDocumentDesc, mergedCompositeChannels, 832);
PI_CHECK_OFFSET(ReadImageDocumentDesc, mergedTransparency, 840);
PI_CHECK_OFFSET(ReadImageDocumentDesc, alphaChannels, 848);
PI_CHECK_OFFSET(ReadImageDocumentDesc, selection, 856);
PI_CHECK_OFFSET(ReadImageDocumentDesc, fileSpec, 864);
PI_CHECK_OFFSET(ReadImageDocumentDesc, layersDescriptor, 872);
PI_CHECK_OFFSET(ReadImageDocumentDesc, documentType, 880);
PI_CHECK_OFFSET(ReadImageDocumentDesc, next, 888);
PI_CHECK_OFFSET(ReadImageDocumentDesc, iCCprofileData, 896);
PI_CHECK_OFFSET(ReadImageDocumentDesc, iCCprofileSize, 904);
PI_CHECK_OFFSET(ReadImageDocumentDesc, compositeChannelCount, 908);
PI_CHECK_OFFSET(ReadImageDocumentDesc, layerCount, 912);
PI_CHECK_OFFSET(ReadImageDocumentDesc, alphaChannelCount, 916);
PI_CHECK_OFFSET(ReadImageDocumentDesc, targetSmartFilterMask, 920);
PI_CHECK_OFFSET(ReadImageDocumentDesc, fileSpecW, 928);
PI_CHECK_OFFSET(ReadImageDocumentDesc, fileSpecX, 936);
static_assert(sizeof(ReadImageDocumentDesc) == 944);
PI_CHECK_OFFSET(ReadChannelDesc, maxVersion, 4);
PI_CHECK_OFFSET(ReadChannelDesc, next, 8);
PI_CHECK_OFFSET(ReadChannelDesc, port, 16);
PI_CHECK_OFFSET(ReadChannelDesc, bounds, 24);
PI_CHECK_OFFSET(ReadChannelDesc, depth, 40);
PI_CHECK_OFFSET(ReadChannelDesc, tileSize, 44);
PI_CHECK_OFFSET(ReadChannelDesc, tileOrigin, 52);
PI_CHECK_OFFSET(ReadChannelDesc, target, 60);
PI_CHECK_OFFSET(ReadChannelDesc, shown, 61);
PI_CHECK_OFFSET(ReadChannelDesc, channelType, 62);
PI_CHECK_OFFSET(ReadChannelDesc, contextInfo, 64);
PI_CHECK_OFFSET(ReadChannelDesc, name, 72);
PI_CHECK_OFFSET(ReadChannelDesc, writePort, 80);
PI_CHECK_OFFSET(ReadChannelDesc, alphaID, 88);
PI_CHECK_OFFSET(ReadChannelDesc, unicodeName, 96);
PI_CHECK_OFFSET(ReadChannelDesc, isEnabled, 104);
PI_CHECK_OFFSET(ReadChannelDesc, limitBounds, 108);
static_assert(sizeof(ReadChannelDesc) == 128);
PI_CHECK_OFFSET(WriteChannelDesc, maxVersion, 4);
PI_CHECK_OFFSET(WriteChannelDesc, next, 8);
PI_CHECK_OFFSET(WriteChannelDesc, port, 16);
PI_CHECK_OFFSET(WriteChannelDesc, bounds, 24);
PI_CHECK_OFFSET(WriteChannelDesc, depth, 40);
PI_CHECK_OFFSET(WriteChannelDesc, tileSize, 44);
PI_CHECK_OFFSET(WriteChannelDesc, tileOrigin, 52);
PI_CHECK_OFFSET(WriteChannelDesc, channelType, 60);
PI_CHECK_OFFSET(WriteChannelDesc, padding, 62);
PI_CHECK_OFFSET(WriteChannelDesc, contextInfo, 64);
PI_CHECK_OFFSET(WriteChannelDesc, name, 72);
PI_CHECK_OFFSET(WriteChannelDesc, unicodeName, 80);
static_assert(sizeof(WriteChannelDesc) == 88);
static_assert(sizeof(VRect) == 16 && sizeof(VPoint) == 8 && sizeof(PSScaling) == 32);
PI_CHECK_OFFSET(VRect, left, 4);
PI_CHECK_OFFSET(VRect, right, 12);
PI_CHECK_OFFSET(VPoint, h, 4);
PI_CHECK_OFFSET(PSScaling, destinationRect, 16);
PI_CHECK_OFFSET(PixelMemoryDesc, rowBits, 8);
PI_CHECK_OFFSET(PixelMemoryDesc, colBits, 12);
PI_CHECK_OFFSET(PixelMemoryDesc, bitOffset, 16);
PI_CHECK_OFFSET(PixelMemoryDesc, depth, 20);
static_assert(sizeof(PixelMemoryDesc) == 24);
PI_CHECK_OFFSET(ChannelPortProcs, numChannelPortProcs, 2);
PI_CHECK_OFFSET(ChannelPortProcs, readPixelsProc, 8);
PI_CHECK_OFFSET(ChannelPortProcs, writeBasePixelsProc, 16);
PI_CHECK_OFFSET(ChannelPortProcs, readPortForWritePortProc, 24);
static_assert(sizeof(ChannelPortProcs) == 32);
PI_CHECK_OFFSET(HandleProcs, numHandleProcs, 2);
PI_CHECK_OFFSET(HandleProcs, newProc, 8);
PI_CHECK_OFFSET(HandleProcs, disposeProc, 16);
PI_CHECK_OFFSET(HandleProcs, getSizeProc, 24);
PI_CHECK_OFFSET(HandleProcs, setSizeProc, 32);
PI_CHECK_OFFSET(HandleProcs, lockProc, 40);
PI_CHECK_OFFSET(HandleProcs, unlockProc, 48);
PI_CHECK_OFFSET(HandleProcs, recoverSpaceProc, 56);
PI_CHECK_OFFSET(HandleProcs, disposeRegularHandleProc, 64);
static_assert(sizeof(HandleProcs) == 72);
PI_CHECK_OFFSET(PIDescriptorParameters, playInfo, 2);
PI_CHECK_OFFSET(PIDescriptorParameters, recordInfo, 4);
PI_CHECK_OFFSET(PIDescriptorParameters, descriptor, 8);
PI_CHECK_OFFSET(PIDescriptorParameters, writeDescriptorProcs, 16);
PI_CHECK_OFFSET(PIDescriptorParameters, readDescriptorProcs, 24);
static_assert(sizeof(PIDescriptorParameters) == 32);
PI_CHECK_OFFSET(ReadDescriptorProcs, numReadDescriptorProcs, 2);
PI_CHECK_OFFSET(ReadDescriptorProcs, openReadDescriptorProc, 8);
PI_CHECK_OFFSET(ReadDescriptorProcs, closeReadDescriptorProc, 16);
PI_CHECK_OFFSET(ReadDescriptorProcs, getKeyProc, 24);
PI_CHECK_OFFSET(ReadDescriptorProcs, getIntegerProc, 32);
PI_CHECK_OFFSET(ReadDescriptorProcs, getFloatProc, 40);
PI_CHECK_OFFSET(ReadDescriptorProcs, getUnitFloatProc, 48);
PI_CHECK_OFFSET(ReadDescriptorProcs, getBooleanProc, 56);
PI_CHECK_OFFSET(ReadDescriptorProcs, getTextProc, 64);
PI_CHECK_OFFSET(ReadDescriptorProcs, getAliasProc, 72);
PI_CHECK_OFFSET(ReadDescriptorProcs, getEnumeratedProc, 80);
PI_CHECK_OFFSET(ReadDescriptorProcs, getClassProc, 88);
PI_CHECK_OFFSET(ReadDescriptorProcs, getSimpleReferenceProc, 96);
PI_CHECK_OFFSET(ReadDescriptorProcs, getObjectProc, 104);
PI_CHECK_OFFSET(ReadDescriptorProcs, getCountProc, 112);
PI_CHECK_OFFSET(ReadDescriptorProcs, getStringProc, 120);
PI_CHECK_OFFSET(ReadDescriptorProcs, getPinnedIntegerProc, 128);
PI_CHECK_OFFSET(ReadDescriptorProcs, getPinnedFloatProc, 136);
PI_CHECK_OFFSET(ReadDescriptorProcs, getPinnedUnitFloatProc, 144);
static_assert(sizeof(ReadDescriptorProcs) == 152);
PI_CHECK_OFFSET(WriteDescriptorProcs, numWriteDescriptorProcs, 2);
PI_CHECK_OFFSET(WriteDescriptorProcs, openWriteDescriptorProc, 8);
PI_CHECK_OFFSET(WriteDescriptorProcs, closeWriteDescriptorProc, 16);
PI_CHECK_OFFSET(WriteDescriptorProcs, putIntegerProc, 24);
PI_CHECK_OFFSET(WriteDescriptorProcs, putFloatProc, 32);
PI_CHECK_OFFSET(WriteDescriptorProcs, putUnitFloatProc, 40);
PI_CHECK_OFFSET(WriteDescriptorProcs, putBooleanProc, 48);
PI_CHECK_OFFSET(WriteDescriptorProcs, putTextProc, 56);
PI_CHECK_OFFSET(WriteDescriptorProcs, putAliasProc, 64);
PI_CHECK_OFFSET(WriteDescriptorProcs, putEnumeratedProc, 72);
PI_CHECK_OFFSET(WriteDescriptorProcs, putClassProc, 80);
PI_CHECK_OFFSET(WriteDescriptorProcs, putSimpleReferenceProc, 88);
PI_CHECK_OFFSET(WriteDescriptorProcs, putObjectProc, 96);
PI_CHECK_OFFSET(WriteDescriptorProcs, putCountProc, 104);
PI_CHECK_OFFSET(WriteDescriptorProcs, putStringProc, 112);
PI_CHECK_OFFSET(WriteDescriptorProcs, putScopedClassProc, 120);
PI_CHECK_OFFSET(WriteDescriptorProcs, putScopedObjectProc, 128);
static_assert(sizeof(WriteDescriptorProcs) == 136);
PI_CHECK_OFFSET(AboutRecord, sSPBasic, 8);
PI_CHECK_OFFSET(AboutRecord, plugInRef, 16);
PI_CHECK_OFFSET(AboutRecord, reserved, 24);
static_assert(sizeof(AboutRecord) == 272);
static_assert(sizeof(PlatformData) == 8);
#undef PI_CHECK_OFFSET
#endif
