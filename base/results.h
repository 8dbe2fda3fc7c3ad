// Result codes of every plug-in function.
//
// Contract: results are signed 16-bit codes in the classic Mac numbering, 0 for success.
#pragma once

#include <cstdint>

enum : int16_t {
    kNoErr = 0,
    kErrDiskFull = -34,
    kErrIO = -36,
    kErrBadName = -37,
    kErrEndOfFile = -39,
    kErrBadPosition = -40,
    kErrTooManyFiles = -42,
    kErrFileNotFound = -43,
    kErrFileLocked = -45,
    kErrFileBusy = -49,
    kErrBadFileHandle = -51,
    kErrNoWritePermission = -61,
    kErrOutOfMemory = -108,
    kErrUserCancelled = -128,
    kErrBadParameters = -30700,        // unsupported selector, or a document the record cannot describe
    kErrUnsupportedMode = -30701,      // image mode or depth the plug-in does not read
    kErrHostInsufficient = -30900,     // the host lacks a suite the run needs
    kErrReportString = -30904,         // the host shows the text the plug-in left in errorString
    kErrChannelMissing = -30910,       // the document lacks a channel its mode needs (unknown port)
};
