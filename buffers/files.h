// The file layer, the install-path rule and the string utilities.
//
// Contract: calls have the shape of the classic Mac file manager (open by name giving a handle,
// read and write with an in/out byte count, absolute positioning) and return 16-bit Mac result
// codes: 0 success, -34 disk full, -36 I/O error, -37 bad name, -40 bad position, -42 too many files,
// -43 not found, -45 locked, -49 busy, -51 bad handle, -61 no write permission. Nothing here throws
// or shows anything.
//
// Fixed names c:\NAME: on Windows they are real paths; on POSIX they map to NAME inside the
// directory standing for drive C ($VARNO_DRIVE_C, else $XDG_DATA_HOME/varno/drive_c, else
// ~/.local/share/varno/drive_c), so no file named c:\... ever appears in a working directory.
#pragma once

#include <cstdint>

typedef intptr_t FileHandle;
constexpr FileHandle kNoFile = -1;

// Only regular files are files: a FIFO, device, pipe, socket or directory at a name is refused by
// FileOpen (-61) and FileCreate without waiting on it, and is never read or written.
int16_t FileOpen(const char* name, FileHandle* handle);  // existing file, read/write
int16_t FileCreate(const char* name);                    // create or empty, then close
int16_t FileRead(FileHandle handle, int32_t* count, void* destination);
int16_t FileWrite(FileHandle handle, int32_t* count, const void* source);
int16_t FileSetPos(FileHandle handle, int32_t offset);  // from the start of the file
int16_t FileClose(FileHandle handle);
int16_t FileDelete(const char* name);
// Whether the file was opened for writing: FileOpen falls back to reading only when writing is
// not allowed.
bool FileWritable(FileHandle handle);
// Carries what was written to the file down to its storage: 0, or -36.
int16_t FileFlush(FileHandle handle);
// Puts the file `source` in the place of `target` in one step (rename, MoveFileEx): whoever opens
// `target` finds the old file or the new one, never a mix. Neither may be open. 0, or -43 no
// source, -61 no permission, -45 target locked, -34 disk full, -36 otherwise.
int16_t FileReplace(const char* source, const char* target);

// Moves to the end of the file, so that what is written next is appended without reading what
// is there: 0, or -40.
int16_t FileSetPosToEnd(FileHandle handle);
// The file's length in bytes; 0, or -36.
int16_t FileLength(FileHandle handle, int64_t* length);
// Moves to `offset` from the start, beyond what FileSetPos reaches: 0, or -40.
int16_t FileSetPosFar(FileHandle handle, int64_t offset);
// Cuts the file (or extends it with zeros) to `length` bytes: 0, or the code of the failure. A
// change of what is stored, as FileWrite is.
int16_t FileSetLength(FileHandle handle, int64_t length);
// Waits about `milliseconds`: the pause between tries of a file another program holds.
void FilePause(int32_t milliseconds);
// The name of the file `name` stands for once symbolic links are followed (on POSIX; elsewhere the
// name itself), so that a file replaced through a link is the link's target and the link stays.
// 0, or -37 when the result does not fit in `capacity` bytes.
int16_t FileLinkTarget(const char* name, char* out, int32_t capacity);

// Test hook: the call numbered `countdown` from now (1 = the next one) of those that change what
// is stored (FileWrite, FileFlush, FileReplace, FileSetLength), and every later one, fails with `code`, changing
// nothing. 0 switches failures off.
void FailFileChangesAfter(int32_t countdown, int16_t code);
// The platform layers ask before each change; true (and the code) when it is to fail.
bool FileChangeFails(int16_t* code);
// Changes asked for since the program started.
int32_t CountFileChanges(void);

// The platform's error numbers (Win32 last-error numbers for open, write and set position on
// Windows, the C runtime's errno for create and delete; errno throughout on POSIX) mapped onto
// result codes. Pure functions, so that every number can be tested on every build.
// OpenRetriesReadOnly: an open refused for lack of access is tried again for reading only.
bool OpenRetriesReadOnly(int32_t error);
int16_t MapOpenError(int32_t error);  // the code when the open (and any retry) failed
int16_t MapWriteError(int32_t error);
int16_t MapSetPosError(int32_t error);
int16_t MapCreateError(int32_t error);
int16_t MapDeleteError(int32_t error);
int16_t MapReplaceError(int32_t error);

#if !defined(_WIN32)
// The one place where a fixed name c:\NAME (drive letter in either case) becomes NAME inside the
// directory standing for drive C; any other name is copied unchanged. Returns 0, or -37 when the
// result does not fit `capacity` bytes. `directory` (may be none) receives the drive directory
// when the name was a fixed one, else an empty text.
int16_t MapFixedName(const char* name, char* mapped, int32_t capacity, char* directory);
#endif

// Rewrites a fixed name c:\NAME in place (the buffer holds 514 bytes) to the install directory
// followed by NAME. The install directory comes from the registry key, else from the path file
// c:\QUENPath.TXT; without either the path is left as it is. A directory too long for the result
// to fit the buffer is refused: the path is left as it is.
void ResolveInstallPath(char* path);

// Platform part of the rule: the install directory into `directory` (capacity 1025 bytes).
// Returns 1 when the registry key (or its stand-in) exists, whatever its value; 0 otherwise.
int32_t ReadInstallKey(char* directory);

void CopyTextBounded(const char* source, char* destination, int32_t capacity);
void JoinTexts(const char* first, const char* second, char* destination);
char* NewText(int32_t size);
void DisposeText(char* text);
