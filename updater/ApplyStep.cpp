#include "updater/ApplyStep.h"

#include <windows.h>

#include "container/UZLIB.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/ShiftJis.h"

namespace {

std::string FolderOf(const std::string& path)
{
    const std::string folder = FolderPartOf(path);
    return folder.empty() ? "." : folder;
}

// Creates an empty file under a name no other file in the folder has;
// empty when the folder cannot take one.
std::string NewUniqueFile(const std::string& folder)
{
    char name[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "upd", 0, name))
        return {};
    return name;
}

// The new executable while it is being written beside the target. Removed
// again unless it has been moved in place of the target.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& target)
        : file_(NewUniqueFile(FolderOf(target))), handle_(OpenEmpty(file_.Path(), target))
    {
        if (!handle_)
            throw EFCreateError(target, GetLastError());
    }

    // One write, then flushed and closed: the file must be complete on disk
    // before it may take the target's place.
    void WriteAll(const void* data, std::int64_t size)
    {
        DWORD done = 0;
        if (size > 0 && !WriteFile(handle_.Get(), data, static_cast<DWORD>(size), &done, nullptr))
            throw EWriteError(GetLastError());
        if (done != size)
            throw EWriteError();
        const bool flushed = FlushFileBuffers(handle_.Get());
        const DWORD flushError = flushed ? 0 : GetLastError();
        const bool closed = handle_.Close();
        if (!flushed || !closed)
            throw EWriteError(flushed ? GetLastError() : flushError);
    }

    void MoveOver(const std::string& target)
    {
        const std::string& path = file_.Path();
        if (MoveFileExA(path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
            (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && ReplaceByRenaming(path, target))) {
            file_.Keep();
            return;
        }
        throw EFCreateError(target, GetLastError());
    }

private:
    static HANDLE OpenEmpty(const std::string& path, const std::string& target)
    {
        if (path.empty())
            throw EFCreateError(target, GetLastError());
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    // Declared first: the handle is closed before the file is deleted.
    TFileDeletion file_;
    TKernelHandle handle_;
};

} // namespace

EReadOnly::EReadOnly(std::string_view path) : Exception(std::string(path)) {}

void LoadPayload(TStream& destination, const char* name, const char* type)
{
    TResourceStream resource(GetModuleHandleA(nullptr), name, type);
    std::int32_t declaredSize = 0;
    const bool packed = ReadContainerHeader(resource, declaredSize);
    const std::int64_t start = destination.Position();
    const std::int64_t oldSize = destination.Size();
    const std::int64_t end = start + (packed ? declaredSize : resource.Size());
    try {
        // All the room at once: growing piece by piece would copy the content
        // again and again and hold an old and a new buffer side by side.
        if (end > oldSize)
            destination.SetSize(end);
        if (packed)
            DecompressContainer(resource, destination, declaredSize);
        else
            destination.CopyFrom(resource, 0);
    } catch (...) {
        destination.SetSize(oldSize);
        destination.SetPosition(start);
        throw;
    }
}

void CheckWritable(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw EReadOnly(path);
}

void ReplaceExecutable(const std::string& path, TCustomMemoryStream& content)
{
    TTemporaryFile file(path);
    file.WriteAll(content.Memory(), content.Size());
    file.MoveOver(path);
}

bool ReplaceByRenaming(const std::string& source, const std::string& target)
{
    if (GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return MoveFileA(source.c_str(), target.c_str());
    const std::string aside = NewUniqueFile(FolderOf(target));
    if (aside.empty())
        return false;
    // Only the unique name is wanted: MoveFile does not replace a file.
    DeleteFileA(aside.c_str());
    if (!MoveFileA(target.c_str(), aside.c_str()))
        return false;
    if (!MoveFileA(source.c_str(), target.c_str())) {
        MoveFileA(aside.c_str(), target.c_str());
        return false;
    }
    DeleteFileA(aside.c_str());
    return true;
}
