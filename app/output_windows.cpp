#include "app/output.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

// What the system says of one end of a pipe (its FILE_PIPE_LOCAL_INFORMATION).
struct PipeEndInformation {
    ULONG type, configuration, maximumInstances, currentInstances, inboundQuota, readDataAvailable,
        outboundQuota, writeQuotaAvailable, state, end;
};
struct IoStatus {
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};
using QueryInformationFile = LONG(NTAPI*)(HANDLE, IoStatus*, PVOID, ULONG, int);
constexpr int PIPE_LOCAL_INFORMATION = 24;

// Bytes the pipe takes now without waiting for its reader, or -1 when the system cannot tell.
long long PipeRoom(HANDLE pipe)
{
    static const QueryInformationFile query = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll == nullptr ? nullptr
                                : reinterpret_cast<QueryInformationFile>(
                                      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")));
    }();
    if (query == nullptr)
        return -1;
    PipeEndInformation information{};
    IoStatus status{};
    if (query(pipe, &status, &information, sizeof information, PIPE_LOCAL_INFORMATION) < 0)
        return -1;
    return information.writeQuotaAvailable;
}

}  // namespace

// A game started from the desktop has no standard streams at all: they go to NUL, so that
// writes to them fail nowhere. Lines end as on Linux, whichever way they are written.
void PrepareStandardStreams()
{
    FILE* const streams[] = {stdin, stdout, stderr};
    for (int fd = 0; fd <= 2; ++fd)
        if (_get_osfhandle(fd) < 0)
            std::freopen("NUL", fd == 0 ? "r" : "w", streams[fd]);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
}

// A pipe that cannot take the whole line now drops it. Where the system does not say how much
// a pipe takes, the line is written, and a pipe nobody reads can then hold the game once full.
bool WriteLineWithoutWaiting(int fd, const char* line, std::size_t size)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return false;
    if (GetFileType(handle) == FILE_TYPE_PIPE) {
        const long long room = PipeRoom(handle);
        if (room >= 0 && room < static_cast<long long>(size))
            return true;
    }
    DWORD written = 0;
    return WriteFile(handle, line, static_cast<DWORD>(size), &written, nullptr) != 0;
}
