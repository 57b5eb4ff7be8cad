// The file calls of the quarantine store, gathered in one replaceable table.
// The program always uses the real calls; tests swap in failing ones to prove
// that a failed open, read, write or flush never costs the user a file (a
// disk cannot be made to fail on demand), and the benchmark sets the chunk
// size.
#pragma once
#include <windows.h>

// The copy loop's buffer; every read asks for at most this many bytes. Large
// reads and writes keep a big file's copy as fast as the system's own.
const DWORD QUARANTINE_MAX_CHUNK = 1024 * 1024;
// The smallest chunk: the first read must hold the 11-byte signature.
const DWORD QUARANTINE_MIN_CHUNK = 16;

struct QuarantineIo {
    HANDLE(WINAPI* createFile)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* flushFileBuffers)(HANDLE);
    // Bytes per read, kept within QUARANTINE_MIN_CHUNK..QUARANTINE_MAX_CHUNK.
    DWORD chunkSize;
};

// The real calls with the largest chunk.
QuarantineIo DefaultQuarantineIo();

// Read once at the start of every store operation. Change it only while no
// store operation runs.
extern QuarantineIo g_quarantineIo;
